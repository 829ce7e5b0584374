#include "bench/registry_values.h"

#include <windows.h>

#include <vector>

namespace veltrane {

namespace {

std::wstring LetterName(int index) {
    std::wstring name(3, L'a');
    for (int i = 2; i >= 0; --i, index /= 26) name[i] = static_cast<wchar_t>(L'a' + index % 26);
    return name;
}

bool SetString(HKEY key, const std::wstring& name, const std::wstring& data) {
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Calls `visit` with each value's name and data size; false when listing failed.
template <typename Visit>
bool ForEachValue(HKEY key, bool withData, Visit visit) {
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(withData ? 65536 : 0);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG status =
            RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                          withData ? data.data() : nullptr, withData ? &dataSize : nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) return false;
        visit(std::wstring(name.data(), nameLength));
    }
}

}  // namespace

ValueCounts SeedRegistryValues(const std::wstring& keyPath, int count, bool letterNames) {
    ValueCounts counts;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        counts.failures = count;
        return counts;
    }
    std::wstring order;
    for (int i = 0; i < count; ++i) {
        std::wstring name = letterNames ? LetterName(i) : L"url" + std::to_wstring(i + 1);
        std::wstring data = letterNames
                                ? L"notepad C:\\docs\\note" + std::to_wstring(i) + L".txt\\1"
                                : L"http://www.site" + std::to_wstring(i) + L".example/";
        if (SetString(key, name, data))
            ++counts.values;
        else
            ++counts.failures;
        if (letterNames && i < 26) order += name;
    }
    if (letterNames) SetString(key, L"MRUList", order);
    RegCloseKey(key);
    return counts;
}

ValueCounts ScanRegistryValues(const std::wstring& keyPath) {
    ValueCounts counts;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return counts;
    if (!ForEachValue(key, true, [&](const std::wstring&) { ++counts.values; })) ++counts.failures;
    RegCloseKey(key);
    return counts;
}

ValueCounts DeleteRegistryValues(const std::wstring& keyPath) {
    ValueCounts counts;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return counts;
    std::vector<std::wstring> names;
    if (!ForEachValue(key, false, [&](const std::wstring& name) { names.push_back(name); }))
        ++counts.failures;
    for (const std::wstring& name : names) {
        if (RegDeleteValueW(key, name.c_str()) == ERROR_SUCCESS)
            ++counts.values;
        else
            ++counts.failures;
    }
    RegCloseKey(key);
    return counts;
}

}  // namespace veltrane
