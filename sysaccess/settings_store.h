#pragma once
// The program's persistent state in the registry: single registry-backed
// values (read when the accessor is made, written back when it goes away)
// and a storable map mirroring one key, its string values and one level of
// sub-keys.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"

namespace veltrane {

class CRegistryProperty {
public:
    enum Error : DWORD {
        kNone = 0,
        kOpenOrCreate = 1,
        kClose = 2,
        kQuery = 3,
        kSet = 4,
    };

    CRegistryProperty(HKEY root, std::wstring keyPath, std::wstring valueName)
        : keyPath_(std::move(keyPath)), valueName_(std::move(valueName)), root_(root) {}
    virtual ~CRegistryProperty() = default;
    CRegistryProperty(const CRegistryProperty&) = delete;
    CRegistryProperty& operator=(const CRegistryProperty&) = delete;

    // The step that failed last (kNone when none did); the system's own code is not kept.
    DWORD FailedStep() const { return lastError_; }
    void SetNoWriteBack(bool flag) { noWriteBack_ = flag; }

protected:
    // Open or create the key; a failure is kept as the last error.
    bool OpenKey(RegKey& key);
    bool CreateKey(RegKey& key);
    // Closes now, so that a failed close is kept as the last error.
    void CloseKey(RegKey& key);
    bool WriteBackOnDestruction() const { return !noWriteBack_; }

    std::wstring keyPath_;
    std::wstring valueName_;
    DWORD lastError_ = kNone;
    HKEY root_;
    bool noWriteBack_ = false;
};

class CRPDWORD : public CRegistryProperty {
public:
    CRPDWORD(HKEY root, std::wstring keyPath, std::wstring valueName, DWORD defaultValue);
    ~CRPDWORD() override;

    void Read();
    void Write();
    DWORD Get() const { return value_; }
    void Set(DWORD value) { value_ = value; }

private:
    DWORD value_ = 0;
};

class CRPSTRING : public CRegistryProperty {
public:
    CRPSTRING(HKEY root, std::wstring keyPath, std::wstring valueName, std::wstring defaultValue);
    ~CRPSTRING() override;

    void Read();
    void Write();
    // Removes the value from the registry; the accessor then writes nothing back.
    void DeleteValue();
    const std::wstring& Get() const { return value_; }
    void Set(std::wstring value) { value_ = std::move(value); }
    DWORD GetType() const { return type_; }

private:
    std::wstring value_;
    DWORD type_ = REG_SZ;
};

// The outcome of reading or writing settings, with the system's code of a failure.
struct [[nodiscard]] SettingsOutcome {
    enum Kind : int {
        kDone = 0,
        kMissing = 1,  // no such key (a read) or value (a deletion)
        kFailed = 2,
    };
    Kind kind = kDone;
    DWORD error = ERROR_SUCCESS;
    bool Done() const { return kind == kDone; }
};

// A value that is there but cannot be taken as text: stored as another type
// (`error` ERROR_SUCCESS), or a read that failed with `error`.
struct UnreadableValue {
    DWORD type = REG_NONE;
    DWORD error = ERROR_SUCCESS;
};
using UnreadableValues = std::map<std::wstring, UnreadableValue>;

// Mirrors a key and one level of its sub-keys. The empty sub-key name stands
// for the key itself. Loading adds to the map; saving never deletes.
template <typename InnerMap>
class CStorableMap {
public:
    using OuterMap = std::map<std::wstring, InnerMap>;

    CStorableMap(HKEY root, std::wstring keyPath) : root_(root), keyPath_(std::move(keyPath)) {}
    virtual ~CStorableMap() = default;

    // kMissing without the key; kFailed when the key or any value could not
    // be read (what could be read is loaded all the same).
    [[nodiscard]] SettingsOutcome Load();
    // kFailed with the first failure; the values after it are written all the same.
    [[nodiscard]] SettingsOutcome Save();

    InnerMap& operator[](const std::wstring& subKey) { return map_[subKey]; }
    const OuterMap& Entries() const { return map_; }
    // The values of `subKey` that are there but could not be loaded.
    const UnreadableValues& Unreadable(const std::wstring& subKey) const;

protected:
    virtual SettingsOutcome WriteValues(const InnerMap& values, HKEY key) = 0;
    virtual SettingsOutcome ReadValues(InnerMap& values, UnreadableValues& unreadable,
                                       HKEY key) = 0;

private:
    OuterMap map_;
    std::map<std::wstring, UnreadableValues> unreadable_;
    HKEY root_;
    std::wstring keyPath_;
};

using StringValueMap = std::map<std::wstring, std::wstring>;

// The options: string values (REG_SZ) of any length; a value of another
// type, or one that cannot be read, is noted as unreadable and hides nothing.
class CSettings : public CStorableMap<StringValueMap> {
public:
    using CStorableMap::CStorableMap;

    // The text stored under `name` in the key itself; nothing when absent.
    std::optional<std::wstring> TryOption(const std::wstring& name) const;

protected:
    SettingsOutcome WriteValues(const StringValueMap& values, HKEY key) override;
    SettingsOutcome ReadValues(StringValueMap& values, UnreadableValues& unreadable,
                               HKEY key) override;
};

// Writes a REG_DWORD, creating the key when missing.
[[nodiscard]] SettingsOutcome WriteSettingNumber(HKEY root, const std::wstring& keyPath,
                                                 const std::wstring& name, DWORD value);
// Deletes the values named; values or a key already gone count as done.
[[nodiscard]] SettingsOutcome DeleteSettingValues(HKEY root, const std::wstring& keyPath,
                                                  const std::vector<std::wstring>& names);
// True when values may be set in the key, or, while it is missing, the
// nearest key above it may have keys created in it. Creates nothing.
[[nodiscard]] bool MayWriteKey(HKEY root, const std::wstring& keyPath);

// Where the program keeps its options and plug-in flags.
inline constexpr wchar_t kOptionsKey[] = L"SOFTWARE\\Veltrane\\Options";
inline constexpr wchar_t kPluginsKey[] = L"SOFTWARE\\Veltrane\\Plugins";
inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Veltrane";

}  // namespace veltrane

#include "sysaccess/settings_store.inl"
