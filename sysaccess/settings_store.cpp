#include "sysaccess/settings_store.h"

#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_text.h"

// RegOpenKeyW and RegCreateKeyW ask for whatever access the user is granted, so
// an option key the user may only read still gives its values.
bool CRegistryProperty::OpenKey(RegKey& key) {
    key = OpenRegKeyAsGranted(root_, keyPath_.c_str());
    if (!key) {
        lastError_ = kOpenOrCreate;
        return false;
    }
    return true;
}

bool CRegistryProperty::CreateKey(RegKey& key) {
    if (RegCreateKeyW(root_, keyPath_.c_str(), key.Receive()) != ERROR_SUCCESS) {
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

void CSettings::ReadValues(StringValueMap& values, HKEY key) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        wchar_t data[256 + 1] = {};  // 512 bytes of data, plus a terminator
        DWORD nameLength = _countof(name);
        DWORD dataSize = 512;
        DWORD type = REG_NONE;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS)
            break;
        if (type != REG_SZ) continue;
        data[dataSize / sizeof(wchar_t)] = 0;
        values[name] = data;
    }
}

void CSettings::WriteValues(const StringValueMap& values, HKEY key) {
    for (const auto& [name, data] : values) {
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
}

bool IsHideOnExit(CSettings& options) { return options.Option(L"HideOnExit") != L"0"; }
bool IsOverWrite(const CSettings& options) { return options.PeekOption(L"OverWrite") == L"1"; }

std::wstring CSettings::PeekOption(const std::wstring& name) const {
    auto entry = Entries().find(L"");
    if (entry == Entries().end()) return {};
    auto value = entry->second.find(name);
    return value == entry->second.end() ? std::wstring() : value->second;
}
bool IsBootStartup(CSettings& options) { return options.Option(L"BootStartup") != L"0"; }
