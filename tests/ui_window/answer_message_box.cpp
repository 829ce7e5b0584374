// A helper for the browser tests: waits for a message box with the given
// caption from any program of the sandbox, prints its text and answers OK.
// Exits 1 when none came in time.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

struct Search {
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t name[64] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, name, 64);
    GetWindowTextW(window, title, 256);
    if (wcscmp(name, L"#32770") != 0 || wcscmp(title, search->caption) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    DWORD timeout = argc > 2 ? wcstoul(argv[2], nullptr, 10) : 30000;
    Search search = {argv[1], nullptr};
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeout; Sleep(100)) {
        EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&search));
        if (!search.found) continue;
        wchar_t text[1024] = {};
        GetDlgItemTextW(search.found, 0xFFFF, text, 1024);
        char utf8[4096] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
        printf("%s\n", utf8);
        PostMessageW(search.found, WM_COMMAND, IDOK, 0);
        return 0;
    }
    return 1;
}
