#include "support/child_process.h"

#include <vector>

#include "support/test_files.h"
#include "sysaccess/handles.h"

namespace veltrane {

bool StartPipedChild(const std::wstring& commandLine, const wchar_t* folder, PipedChild& child) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inherit, 0)) return false;
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder, &startup,
                        &process))
        return false;
    child.process = UniqueHandle(process.hProcess);
    child.thread = UniqueHandle(process.hThread);
    child.output = std::move(readEnd);
    // Our copy of the write end goes, so that the pipe ends with the child.
    writeEnd.Close();
    return true;
}

ChildResult RunChild(const std::wstring& commandLine, DWORD timeoutMs, const wchar_t* folder) {
    PipedChild child;
    if (!StartPipedChild(commandLine, folder, child)) return {};
    return FinishChild(child, timeoutMs);
}

ChildResult FinishChild(PipedChild& child, DWORD timeoutMs) {
    ChildResult result;
    result.started = true;
    const HANDLE readEnd = child.output.Get();
    const HANDLE processHandle = child.process.Get();

    // Read until the child has ended and its output is drained. Waiting for
    // the pipe to close is not enough: a program Wine starts on the child's
    // behalf (the desktop's explorer.exe) may inherit it and keep it open.
    char buffer[4096];
    DWORD start = GetTickCount();
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available > 0) {
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) || got == 0) break;
            result.output.append(buffer, got);
            continue;
        }
        if (WaitForSingleObject(processHandle, 20) == WAIT_OBJECT_0) {
            DWORD left = 0;
            if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &left, nullptr) && left > 0) continue;
            break;
        }
        if (GetTickCount() - start > timeoutMs) break;
    }
    GetExitCodeProcess(processHandle, &result.exitCode);
    return result;
}

std::wstring VeltraneCommand(const std::wstring& arguments) {
    return L"\"" + std::wstring(kInstalledProgramFolder) + L"\\veltrane.exe\" " + arguments;
}

}  // namespace veltrane
