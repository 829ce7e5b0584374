// Template members of CStorableMap; included by settings_store.h.

template <typename InnerMap, int Levels>
bool CStorableMap<InnerMap, Levels>::Load() {
    RegKey key;
    if (RegOpenKeyW(root_, keyPath_.c_str(), key.Receive()) != ERROR_SUCCESS) return false;
    ReadValues(map_[L""], key.Get());
    for (DWORD index = 0;; ++index) {
        wchar_t name[1024];
        DWORD length = _countof(name);
        if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        RegKey subKey;
        if (RegOpenKeyW(key.Get(), name, subKey.Receive()) != ERROR_SUCCESS) continue;
        ReadValues(map_[name], subKey.Get());
    }
    return true;
}

template <typename InnerMap, int Levels>
bool CStorableMap<InnerMap, Levels>::Save() {
    RegKey key;
    if (RegCreateKeyW(root_, keyPath_.c_str(), key.Receive()) != ERROR_SUCCESS) return false;
    for (const auto& [name, values] : map_) {
        if (name.empty()) {
            WriteValues(values, key.Get());
            continue;
        }
        RegKey subKey;
        if (RegCreateKeyW(key.Get(), name.c_str(), subKey.Receive()) != ERROR_SUCCESS) return false;
        WriteValues(values, subKey.Get());
    }
    return true;
}
