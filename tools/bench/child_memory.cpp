#include "bench/child_memory.h"

#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

ChildResult RunAndMeasure(const std::wstring& commandLine) {
    ChildResult result;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring mutableLine = commandLine;
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return result;
    result.started = true;
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters)))
        result.peakWorkingSet = counters.PeakWorkingSetSize;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
