// Template members of CStorableMap; included by settings_store.h.

namespace veltrane {

template <typename InnerMap>
SettingsOutcome CStorableMap<InnerMap>::Load() {
    RegKey key;
    const LSTATUS opened = RegOpenKeyExW(root_, keyPath_.c_str(), 0,
                                         KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) return {SettingsOutcome::kMissing, ERROR_FILE_NOT_FOUND};
    if (opened != ERROR_SUCCESS) return {SettingsOutcome::kFailed, static_cast<DWORD>(opened)};
    SettingsOutcome outcome = ReadValues(map_[L""], unreadable_[L""], key.Get());
    for (const std::wstring& name : ListSubKeyNames(key.Get())) {
        RegKey subKey;
        const LSTATUS status =
            RegOpenKeyExW(key.Get(), name.c_str(), 0, KEY_QUERY_VALUE, subKey.Receive());
        const SettingsOutcome read =
            status == ERROR_SUCCESS
                ? ReadValues(map_[name], unreadable_[name], subKey.Get())
                : SettingsOutcome{SettingsOutcome::kFailed, static_cast<DWORD>(status)};
        if (outcome.Done()) outcome = read;
    }
    return outcome;
}

template <typename InnerMap>
SettingsOutcome CStorableMap<InnerMap>::Save() {
    RegKey key;
    LSTATUS status =
        RegCreateKeyExW(root_, keyPath_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                        nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) return {SettingsOutcome::kFailed, static_cast<DWORD>(status)};
    SettingsOutcome outcome;
    for (const auto& [name, values] : map_) {
        SettingsOutcome written;
        if (name.empty()) {
            written = WriteValues(values, key.Get());
        } else {
            RegKey subKey;
            status = RegCreateKeyExW(key.Get(), name.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     subKey.Receive(), nullptr);
            written = status == ERROR_SUCCESS
                          ? WriteValues(values, subKey.Get())
                          : SettingsOutcome{SettingsOutcome::kFailed, static_cast<DWORD>(status)};
        }
        if (outcome.Done()) outcome = written;
    }
    return outcome;
}

template <typename InnerMap>
const UnreadableValues& CStorableMap<InnerMap>::Unreadable(const std::wstring& subKey) const {
    static const UnreadableValues kNone;
    const auto found = unreadable_.find(subKey);
    return found == unreadable_.end() ? kNone : found->second;
}

}  // namespace veltrane
