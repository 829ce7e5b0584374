#include "seedtraces/seed_util.h"

#include <shlobj.h>

#include <cstdio>

#include "sysaccess/handles.h"

bool SeedKey(HKEY root, const std::wstring& key) {
    RegKey created;
    return RegCreateKeyW(root, key.c_str(), created.Receive()) == ERROR_SUCCESS;
}

static bool SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                     const void* data, DWORD size) {
    RegKey created;
    if (RegCreateKeyW(root, key.c_str(), created.Receive()) != ERROR_SUCCESS) return false;
    return RegSetValueExW(created.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS;
}

bool SeedString(HKEY root, const std::wstring& key, const std::wstring& name,
                const std::wstring& data, DWORD type) {
    return SetValue(root, key, name, type, data.c_str(),
                    static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

bool SeedDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data) {
    return SetValue(root, key, name, REG_DWORD, &data, sizeof(data));
}

bool SeedBinary(HKEY root, const std::wstring& key, const std::wstring& name, const void* data,
                DWORD size) {
    return SetValue(root, key, name, REG_BINARY, data, size);
}

bool SeedFolder(const std::wstring& path) {
    int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS;
}

bool SeedFile(const std::wstring& path, const std::string& content) {
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) SeedFolder(path.substr(0, slash));
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return false;
    bool ok = fwrite(content.data(), 1, content.size(), file) == content.size();
    return fclose(file) == 0 && ok;
}
