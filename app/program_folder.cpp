#include "app/program_folder.h"

#include <windows.h>

std::wstring GetProgramFolder() {
    wchar_t path[520] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, _countof(path));
    std::wstring folder(path, length);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

bool SetProgramFolderAsCurrentDirectory() {
    std::wstring folder = GetProgramFolder();
    // A drive root needs its backslash to name the root.
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return !folder.empty() && SetCurrentDirectoryW(folder.c_str()) != FALSE;
}
