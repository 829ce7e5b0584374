#include "sysaccess/registry_text.h"

#include <cwchar>
#include <vector>

#include "sysaccess/handles.h"

namespace veltrane {

namespace {

// A value that another program rewrites while we read it is asked for again,
// a few times, rather than without end.
constexpr int kReadAttempts = 4;

RegTextRead FromStatus(LSTATUS status, RegText& value) {
    value.error = static_cast<DWORD>(status);
    return status == ERROR_FILE_NOT_FOUND ? RegTextRead::kMissing : RegTextRead::kFailed;
}

}  // namespace

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

RegTextRead ReadRegText(HKEY key, const wchar_t* name, RegText& value, RegTextTypes types) {
    value = RegText{};
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
    if (status != ERROR_SUCCESS) return FromStatus(status, value);
    if (types == RegTextTypes::kStringsOnly && !IsStringType(value.type)) return RegTextRead::kRead;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        // Rounded up for an odd size, and one more for a terminator the data may lack.
        std::vector<wchar_t> buffer((size + 1) / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        status = RegQueryValueExW(key, name, nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (status != ERROR_SUCCESS) return FromStatus(status, value);
        const size_t stored = (got + 1) / sizeof(wchar_t);
        value.text.assign(buffer.data(), wcsnlen(buffer.data(), stored));
        return RegTextRead::kRead;
    }
    return FromStatus(ERROR_MORE_DATA, value);
}

RegTextRead ReadRegText(HKEY root, const wchar_t* keyPath, const wchar_t* name, RegText& value,
                        RegTextTypes types) {
    value = RegText{};
    RegKey key;
    const LSTATUS status = RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE, key.Receive());
    if (status != ERROR_SUCCESS) return FromStatus(status, value);
    return ReadRegText(key.Get(), name, value, types);
}

std::optional<std::wstring> TryReadBoundedRegText(HKEY key, const wchar_t* name, DWORD largest) {
    DWORD size = 0;
    RegText value;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size > largest ||
        ReadRegText(key, name, value, RegTextTypes::kAnyType) != RegTextRead::kRead)
        return std::nullopt;
    return std::move(value.text);
}

}  // namespace veltrane
