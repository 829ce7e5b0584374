#include "sysaccess/settings_store.h"

#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_text.h"

namespace veltrane {

namespace {

// The longest name a registry value may have.
constexpr size_t kMaxValueName = 16383;

}  // namespace

// Both ask for whatever access the user is granted, so an option key the user
// may only read still gives its values.
bool CRegistryProperty::OpenKey(RegKey& key) {
    key = OpenRegKeyAsGranted(root_, keyPath_.c_str());
    if (!key) {
        lastError_ = kOpenOrCreate;
        return false;
    }
    return true;
}

bool CRegistryProperty::CreateKey(RegKey& key) {
    key = CreateRegKeyAsGranted(root_, keyPath_.c_str());
    if (!key) {
        lastError_ = kOpenOrCreate;
        return false;
    }
    return true;
}

void CRegistryProperty::CloseKey(RegKey& key) {
    if (!key.Close()) lastError_ = kClose;
}

CRPDWORD::CRPDWORD(HKEY root, std::wstring keyPath, std::wstring valueName, DWORD defaultValue)
    : CRegistryProperty(root, std::move(keyPath), std::move(valueName)) {
    Read();
    if (lastError_ != kNone) value_ = defaultValue;
}

CRPDWORD::~CRPDWORD() {
    if (WriteBackOnDestruction()) Write();
}

void CRPDWORD::Read() {
    lastError_ = kNone;
    RegKey key;
    if (!OpenKey(key)) return;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key.Get(), valueName_.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS)
        value_ = data;
    else
        lastError_ = kQuery;
    CloseKey(key);
}

void CRPDWORD::Write() {
    lastError_ = kNone;
    RegKey key;
    if (!CreateKey(key)) return;
    if (RegSetValueExW(key.Get(), valueName_.c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&value_), sizeof(value_)) != ERROR_SUCCESS)
        lastError_ = kSet;
    CloseKey(key);
}

CRPSTRING::CRPSTRING(HKEY root, std::wstring keyPath, std::wstring valueName,
                     std::wstring defaultValue)
    : CRegistryProperty(root, std::move(keyPath), std::move(valueName)) {
    Read();
    if (lastError_ != kNone) value_ = std::move(defaultValue);
}

CRPSTRING::~CRPSTRING() {
    if (WriteBackOnDestruction()) Write();
}

void CRPSTRING::Read() {
    lastError_ = kNone;
    RegKey key;
    if (!OpenKey(key)) return;
    // Whatever its type, the value is kept as text and written back with that type.
    RegText stored;
    if (ReadRegText(key.Get(), valueName_.c_str(), stored, RegTextTypes::kAnyType) ==
        RegTextRead::kRead) {
        value_ = std::move(stored.text);
        type_ = stored.type;
    } else {
        lastError_ = kQuery;
    }
    CloseKey(key);
}

void CRPSTRING::Write() {
    lastError_ = kNone;
    RegKey key;
    if (!CreateKey(key)) return;
    DWORD bytes = static_cast<DWORD>((value_.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.Get(), valueName_.c_str(), 0, type_,
                       reinterpret_cast<const BYTE*>(value_.c_str()), bytes) != ERROR_SUCCESS)
        lastError_ = kSet;
    CloseKey(key);
}

void CRPSTRING::DeleteValue() {
    RegKey key;
    if (OpenKey(key)) {
        RegDeleteValueW(key.Get(), valueName_.c_str());
        CloseKey(key);
    }
    noWriteBack_ = true;
}

SettingsOutcome CSettings::ReadValues(StringValueMap& values, UnreadableValues& unreadable,
                                      HKEY key) {
    // Names first, then each value by its name at whatever length it has: a
    // long or unreadable value is noted and the listing goes on past it.
    std::vector<wchar_t> name(kMaxValueName + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status =
            RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return {};
        // The listing itself fails (the key denies reading): what follows is unknown.
        if (status != ERROR_SUCCESS) return {SettingsOutcome::kFailed, static_cast<DWORD>(status)};
        const std::wstring valueName(name.data(), length);
        RegText value;
        switch (ReadRegText(key, valueName.c_str(), value)) {
            case RegTextRead::kRead:
                if (value.type == REG_SZ)
                    values[valueName] = std::move(value.text);
                else
                    unreadable[valueName] = {value.type, ERROR_SUCCESS};
                break;
            case RegTextRead::kFailed:
                unreadable[valueName] = {value.type, value.error};
                break;
            case RegTextRead::kMissing:  // deleted since it was listed
                break;
        }
    }
}

SettingsOutcome CSettings::WriteValues(const StringValueMap& values, HKEY key) {
    SettingsOutcome outcome;
    for (const auto& [name, data] : values) {
        const LSTATUS status = RegSetValueExW(
            key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS && outcome.Done())
            outcome = {SettingsOutcome::kFailed, static_cast<DWORD>(status)};
    }
    return outcome;
}

std::optional<std::wstring> CSettings::TryOption(const std::wstring& name) const {
    const auto entry = Entries().find(L"");
    if (entry == Entries().end()) return std::nullopt;
    const auto value = entry->second.find(name);
    if (value == entry->second.end()) return std::nullopt;
    return value->second;
}

SettingsOutcome WriteSettingNumber(HKEY root, const std::wstring& keyPath, const std::wstring& name,
                                   DWORD value) {
    RegKey key;
    LSTATUS status = RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                     key.Receive(), nullptr);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof(value));
    if (status != ERROR_SUCCESS) return {SettingsOutcome::kFailed, static_cast<DWORD>(status)};
    return {};
}

SettingsOutcome DeleteSettingValues(HKEY root, const std::wstring& keyPath,
                                    const std::vector<std::wstring>& names) {
    RegKey key;
    LSTATUS status = RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_SET_VALUE, key.Receive());
    if (status == ERROR_FILE_NOT_FOUND) return {};
    if (status != ERROR_SUCCESS) return {SettingsOutcome::kFailed, static_cast<DWORD>(status)};
    SettingsOutcome outcome;
    for (const std::wstring& name : names) {
        status = RegDeleteValueW(key.Get(), name.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && outcome.Done())
            outcome = {SettingsOutcome::kFailed, static_cast<DWORD>(status)};
    }
    return outcome;
}

bool MayWriteKey(HKEY root, const std::wstring& keyPath) {
    RegKey key;
    LSTATUS status = RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_SET_VALUE, key.Receive());
    // A missing key is created in the nearest one above it that exists.
    for (std::wstring above = keyPath; status == ERROR_FILE_NOT_FOUND;) {
        const size_t slash = above.rfind(L'\\');
        if (slash == std::wstring::npos) return false;
        above.resize(slash);
        status = RegOpenKeyExW(root, above.c_str(), 0, KEY_CREATE_SUB_KEY, key.Receive());
    }
    return status == ERROR_SUCCESS;
}

}  // namespace veltrane
