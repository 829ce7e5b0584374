#pragma once
// Registry fixtures: every test works under a key of its own and removes it.
#include <windows.h>

#include <string>
#include <vector>

namespace veltrane {

// HKEY_CURRENT_USER\Software\VeltraneTests\<name>, created fresh and deleted afterwards.
class ScopedTestKey {
public:
    explicit ScopedTestKey(const std::wstring& name, HKEY root = HKEY_CURRENT_USER);
    ~ScopedTestKey();
    ScopedTestKey(const ScopedTestKey&) = delete;
    ScopedTestKey& operator=(const ScopedTestKey&) = delete;

    HKEY Root() const { return root_; }
    // Path below the root, without a trailing backslash.
    const std::wstring& Path() const { return path_; }
    std::wstring Sub(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    HKEY root_;
    std::wstring path_;
};

// Denies everyone `rights` on an existing key while it lives (everything else
// stays allowed); the key's own access list comes back afterwards. Wine
// enforces key access lists on reading and setting values.
class ScopedKeyDenial {
public:
    ScopedKeyDenial(HKEY root, const std::wstring& key, DWORD rights);
    ~ScopedKeyDenial();
    ScopedKeyDenial(const ScopedKeyDenial&) = delete;
    ScopedKeyDenial& operator=(const ScopedKeyDenial&) = delete;

    bool Applied() const { return applied_; }

private:
    HKEY root_;
    std::wstring key_;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

// Small direct registry helpers for arranging and checking test data.
void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& data, DWORD type = REG_SZ);
void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data);
void SetBinary(HKEY root, const std::wstring& key, const std::wstring& name, const void* data,
               DWORD size);
void CreateKey(HKEY root, const std::wstring& key);
bool KeyExists(HKEY root, const std::wstring& key);
bool ValueExists(HKEY root, const std::wstring& key, const std::wstring& name);
// The data of a string value, or nothing when it cannot be read.
bool GetString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& data,
               DWORD* type = nullptr);
bool GetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& data);
// Removes the key and everything below it; a registry link in it is removed
// as a link, never followed.
void DeleteTree(HKEY root, const std::wstring& key);
// Makes `link` (which must not exist) a registry link to `target`, both below
// `root` (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE); false when it could not.
bool MakeRegLink(HKEY root, const std::wstring& link, const std::wstring& target);
// The system's list of renames and deletions for the next start, its names
// separated by nulls; empty when there is none.
std::wstring PendingRenameOperations();
// The key's access list, one "<sid> <mask> <ace flags>" text per entry
// ("S-1-1-0 0xf003f 0x3"), in list order; empty when it cannot be read.
std::vector<std::wstring> KeyAccessList(HKEY root, const std::wstring& key);

}  // namespace veltrane
