// Reading and writing REG_MULTI_SZ lists.
#include "sysaccess/registry_multi_text.h"

#include "sysaccess/handles.h"

namespace {
constexpr int kReadAttempts = 4;  // a value that keeps growing between the size and the read
}

RegMultiText ReadRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name) {
    RegMultiText result;
    auto fromStatus = [&result](LSTATUS status) {
        result.kind = status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND
                          ? RegMultiText::Kind::kMissing
                          : RegMultiText::Kind::kFailed;
        result.error = static_cast<DWORD>(status);
        return result;
    };
    RegKey key;
    LSTATUS status = RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Receive());
    if (status != ERROR_SUCCESS) return fromStatus(status);
    DWORD size = 0;
    status = RegQueryValueExW(key.Get(), name, nullptr, &result.type, nullptr, &size);
    if (status != ERROR_SUCCESS) return fromStatus(status);
    if (result.type != REG_MULTI_SZ) {
        result.kind = RegMultiText::Kind::kWrongType;
        return result;
    }
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        // Two more for terminators the data may lack.
        std::vector<wchar_t> buffer((size + 1) / sizeof(wchar_t) + 2, L'\0');
        DWORD got = size;
        status = RegQueryValueExW(key.Get(), name, nullptr, &result.type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (status != ERROR_SUCCESS) return fromStatus(status);
        const size_t stored = (got + 1) / sizeof(wchar_t);
        size_t position = 0;
        while (position < stored) {
            const size_t length = wcsnlen(buffer.data() + position, stored - position);
            if (length == 0) break;
            result.strings.emplace_back(buffer.data() + position, length);
            position += length + 1;
        }
        result.kind = RegMultiText::Kind::kRead;
        return result;
    }
    return fromStatus(ERROR_MORE_DATA);
}

DWORD WriteRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name,
                        const std::vector<std::wstring>& strings) {
    std::wstring data;
    for (const std::wstring& text : strings) {
        if (text.empty()) continue;
        data += text;
        data += L'\0';
    }
    data += L'\0';
    RegKey key;
    LSTATUS status = RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
    status =
        RegSetValueExW(key.Get(), name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    return static_cast<DWORD>(status);
}
