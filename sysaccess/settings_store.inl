// Template members of CStorableMap; included by settings_store.h.

template <typename InnerMap, int Levels>
bool CStorableMap<InnerMap, Levels>::Load() {
    HKEY key = nullptr;
    if (RegOpenKeyW(root_, keyPath_.c_str(), &key) != ERROR_SUCCESS) return false;
    ReadValues(map_[L""], key);
    for (DWORD index = 0;; ++index) {
        wchar_t name[1024];
        DWORD length = _countof(name);
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY subKey = nullptr;
        if (RegOpenKeyW(key, name, &subKey) != ERROR_SUCCESS) continue;
        ReadValues(map_[name], subKey);
        RegCloseKey(subKey);
    }
    RegCloseKey(key);
    return true;
}

template <typename InnerMap, int Levels>
bool CStorableMap<InnerMap, Levels>::Save() {
    HKEY key = nullptr;
    if (RegCreateKeyW(root_, keyPath_.c_str(), &key) != ERROR_SUCCESS) return false;
    for (const auto& [name, values] : map_) {
        if (name.empty()) {
            WriteValues(values, key);
            continue;
        }
        HKEY subKey = nullptr;
        if (RegCreateKeyW(key, name.c_str(), &subKey) != ERROR_SUCCESS) {
            RegCloseKey(key);
            return false;
        }
        WriteValues(values, subKey);
        RegCloseKey(subKey);
    }
    RegCloseKey(key);
    return true;
}
