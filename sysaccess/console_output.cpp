#include "sysaccess/console_output.h"

#include <windows.h>

#include "sysaccess/text.h"

namespace veltrane {

namespace {

HANDLE OutputHandle() {
    static HANDLE handle = [] {
        HANDLE standard = GetStdHandle(STD_OUTPUT_HANDLE);
        if (standard != nullptr && standard != INVALID_HANDLE_VALUE) return standard;
        // A windowed program started from a console has no standard output of its own.
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
        return CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    }();
    return handle;
}

}  // namespace

void WriteOutput(const std::wstring& text) {
    HANDLE handle = OutputHandle();
    if (handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string utf8 = ToUtf8(text);
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace veltrane
