#include "sysaccess/registry_keys.h"

namespace veltrane {

RegKey OpenRegKey(HKEY root, const wchar_t* keyPath, REGSAM access) {
    HKEY key = nullptr;
    return RegKey(RegOpenKeyExW(root, keyPath, 0, access, &key) == ERROR_SUCCESS ? key : nullptr);
}

RegKey OpenRegKeyAsGranted(HKEY root, const wchar_t* keyPath) {
    HKEY key = nullptr;
    return RegKey(RegOpenKeyW(root, keyPath, &key) == ERROR_SUCCESS ? key : nullptr);
}

RegKey CreateRegKeyAsGranted(HKEY root, const wchar_t* keyPath) {
    HKEY key = nullptr;
    return RegKey(RegCreateKeyW(root, keyPath, &key) == ERROR_SUCCESS ? key : nullptr);
}

std::vector<std::wstring> ListSubKeyNames(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        // A key name has at most 255 characters.
        wchar_t name[256] = {};
        DWORD length = 256;
        const LSTATUS status =
            RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace veltrane
