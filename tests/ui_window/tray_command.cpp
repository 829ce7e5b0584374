// A helper for the browser tests: sends a command of the notification-area
// menu (its id) to the program's main window, as a click in the menu does.
// Exits 1 when there is no such window.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HWND window = FindWindowW(L"VeltraneHtmlDialog", L"Veltrane");
    if (!window) return 1;
    UINT command = static_cast<UINT>(wcstoul(argv[1], nullptr, 10));
    return PostMessageW(window, WM_COMMAND, command, 0) ? 0 : 1;
}
