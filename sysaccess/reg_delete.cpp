#include "sysaccess/reg_delete.h"

#include <shlwapi.h>

#include <string>

#include "sysaccess/handles.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"

namespace {

bool Succeeded(LSTATUS result, DWORD* error) {
    if (error) *error = static_cast<DWORD>(result);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }

}  // namespace

bool DeleteRegKey(HKEY root, const wchar_t* keyPath, DWORD* error) {
    return Succeeded(SHDeleteKeyW(root, OrEmpty(keyPath)), error);
}

bool DeleteEmptyRegKey(HKEY root, const wchar_t* keyPath, DWORD* error) {
    // Wine's SHDeleteEmptyKeyW only looks for sub-keys; a key that gained a
    // value since it was listed must stay.
    if (const RegKey key = OpenRegKey(root, OrEmpty(keyPath), KEY_QUERY_VALUE)) {
        DWORD subKeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            (subKeys > 0 || values > 0))
            return Succeeded(ERROR_DIR_NOT_EMPTY, error);
    }  // the key is closed before it is deleted
    return Succeeded(SHDeleteEmptyKeyW(root, OrEmpty(keyPath)), error);
}

bool DeleteRegValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, DWORD* error) {
    return Succeeded(SHDeleteValueW(root, OrEmpty(keyPath), OrEmpty(valueName)), error);
}

bool DeleteOpenRegValue(HKEY key, const wchar_t* valueName, DWORD* error) {
    return Succeeded(RegDeleteValueW(key, OrEmpty(valueName)), error);
}

bool DeleteRegTreeContents(HKEY root, const wchar_t* keyPath, const IRunContext* plugin,
                           bool /*counted*/, unsigned* count) {
    unsigned deleted = 0;
    if (count) *count = 0;
    RegPairList pairs;
    StringList subKeys;
    GetRegValuesListRecPlugCancelProc walker(plugin, &pairs, nullptr, &subKeys);
    if (!WalkRegTree(root, keyPath, walker)) return false;

    bool result = true;
    for (const auto& [path, name] : pairs) {
        if (IsCancelled(plugin)) {
            if (count) *count = deleted;
            return false;
        }
        if (DeleteRegValue(root, path.c_str(), name.c_str()))
            ++deleted;
        else
            result = false;
    }
    for (const std::wstring& path : subKeys) {
        if (IsCancelled(plugin)) {
            if (count) *count = deleted;
            return false;
        }
        if (DeleteEmptyRegKey(root, path.c_str()))
            ++deleted;
        else
            result = false;
    }
    if (count) *count = deleted;
    return result;
}

bool DeleteNumberedValues(HKEY root, const wchar_t* keyPath, const wchar_t* nameFormat, int first,
                          int last, const IRunContext* plugin, unsigned* count) {
    if (count) *count = 0;
    RegKey key;
    LSTATUS opened = RegOpenKeyW(root, keyPath, key.Receive());
    if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND;
    if (last < first) return true;

    bool result = true;
    for (int number = first; number <= last; ++number) {
        if (IsCancelled(plugin)) return false;
        wchar_t name[1024];
        _snwprintf(name, _countof(name) - 1, nameFormat, number);
        name[_countof(name) - 1] = 0;
        if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        if (RegDeleteValueW(key.Get(), name) == ERROR_SUCCESS) {
            if (count) ++*count;
        } else {
            result = false;
        }
    }
    return result;
}
