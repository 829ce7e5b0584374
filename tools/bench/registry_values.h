#pragma once
// The registry benchmark: a key with many values under HKEY_CURRENT_USER.
#include <string>

namespace veltrane {

struct ValueCounts {
    long values = 0;
    long failures = 0;
};

// Writes `count` string values to `key`: names "url1", "url2", ... holding
// typed addresses, or with `letterNames` "aaa", "aab", ... holding commands
// (the shape of the Run list), followed by its "MRUList".
ValueCounts SeedRegistryValues(const std::wstring& key, int count, bool letterNames);
// Lists every value with its data.
ValueCounts ScanRegistryValues(const std::wstring& key);
// Lists the value names, then deletes each.
ValueCounts DeleteRegistryValues(const std::wstring& key);

}  // namespace veltrane
