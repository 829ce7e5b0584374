#include "sysaccess/registry_values.h"

#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"

bool ReadRegDword(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD& value) {
    const RegKey key = OpenRegKey(root, keyPath, KEY_READ);
    if (!key) return false;
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    value = data;
    return true;
}

bool SetRegDwordInExistingKey(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD value) {
    const RegKey key = OpenRegKey(root, keyPath, KEY_SET_VALUE);
    return key &&
           RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

bool SetRegValue(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD type,
                 const void* data, DWORD size) {
    RegKey key;
    return RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                           nullptr) == ERROR_SUCCESS &&
           RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) ==
               ERROR_SUCCESS;
}

bool ReadRegBytes(HKEY key, const wchar_t* name, DWORD& type, std::vector<uint8_t>& data,
                  DWORD largest) {
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        size > largest)
        return false;
    data.assign(size, 0);
    if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    return true;
}
