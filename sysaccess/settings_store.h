#pragma once
// The program's persistent state in the registry: single registry-backed
// values (read when the accessor is made, written back when it goes away)
// and a storable map mirroring one key, its string values and one level of
// sub-keys.
#include <windows.h>

#include <map>
#include <string>

#include "sysaccess/handles.h"

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

    DWORD GetLastError() const { return lastError_; }
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

// Mirrors a key and one level of its sub-keys. The empty sub-key name stands
// for the key itself. Loading adds to the map; saving never deletes.
template <typename InnerMap, int Levels>
class CStorableMap {
public:
    using OuterMap = std::map<std::wstring, InnerMap>;

    CStorableMap(HKEY root, std::wstring keyPath) : root_(root), keyPath_(std::move(keyPath)) {}
    virtual ~CStorableMap() = default;

    bool Load();
    bool Save();

    InnerMap& operator[](const std::wstring& subKey) { return map_[subKey]; }
    const OuterMap& Entries() const { return map_; }

protected:
    virtual void WriteValues(const InnerMap& values, HKEY key) = 0;
    virtual void ReadValues(InnerMap& values, HKEY key) = 0;

private:
    OuterMap map_;
    HKEY root_;
    std::wstring keyPath_;
};

using StringValueMap = std::map<std::wstring, std::wstring>;

// The options: string values only.
class CSettings : public CStorableMap<StringValueMap, 1> {
public:
    using CStorableMap::CStorableMap;

    // The option value stored under `name` in the key itself; created empty
    // when absent, so that the next save writes it.
    std::wstring& Option(const std::wstring& name) { return (*this)[L""][name]; }
    // The same without creating anything, for readers on worker threads.
    std::wstring PeekOption(const std::wstring& name) const;

protected:
    void WriteValues(const StringValueMap& values, HKEY key) override;
    void ReadValues(StringValueMap& values, HKEY key) override;
};

// Where the program keeps its options and plug-in flags.
inline constexpr wchar_t kOptionsKey[] = L"SOFTWARE\\Veltrane\\Options";
inline constexpr wchar_t kPluginsKey[] = L"SOFTWARE\\Veltrane\\Plugins";
inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Veltrane";

// The options' meanings: absent text reads as the default of each.
bool IsHideOnExit(CSettings& options);
bool IsOverWrite(const CSettings& options);
bool IsBootStartup(CSettings& options);

#include "sysaccess/settings_store.inl"
