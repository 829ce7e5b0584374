#include "sysaccess/trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "sysaccess/file_bytes.h"
#include "sysaccess/text.h"
#include "sysaccess/thread_entry.h"

namespace veltrane {

namespace {

std::mutex& TraceFileLock() {
    static std::mutex lock;
    return lock;
}

void AppendToTraceFile(const std::wstring& text) {
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VELTRANE_TRACE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    std::lock_guard<std::mutex> guard(TraceFileLock());
    // A trace line that cannot be written has nowhere else to go.
    (void)WriteWholeFile(path, ToUtf8(text), FileWriteMode::kAppend);
}

}  // namespace

void Trace(const wchar_t* format, ...) {
    wchar_t buffer[2048];
    va_list args;
    va_start(args, format);
    int length = _vsnwprintf(buffer, _countof(buffer) - 1, format, args);
    va_end(args);
    buffer[_countof(buffer) - 1] = 0;
    if (length < 0) length = static_cast<int>(wcslen(buffer));
    OutputDebugStringW(buffer);
    AppendToTraceFile(std::wstring(buffer, static_cast<size_t>(length)));
}

void TraceThrownAtThreadEntry(const wchar_t* where, const char* what) noexcept {
    try {
        Trace(L"%ls: stopped by an exception: %hs\n", where, what);
    } catch (...) {
        // Tracing needs memory; a thread that ran out of it still ends quietly.
    }
}

}  // namespace veltrane
