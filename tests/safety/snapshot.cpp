#include "safety/snapshot.h"

#include <windows.h>

#include <knownfolders.h>

#include <cstdint>
#include <cstring>
#include <set>

#include "seedtraces/seed_util.h"
#include "support/registry_links.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"

namespace veltrane {

namespace {

// FNV-1a over 64-bit words: quick enough to hash the whole prefix twice.
class Hash {
public:
    void Add(const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            uint64_t word;
            memcpy(&word, bytes + i, 8);
            Mix(word);
        }
        for (; i < size; ++i) Mix(bytes[i]);
        Mix(size);
    }
    std::wstring Text() const {
        wchar_t text[17];
        swprintf(text, 17, L"%016llx", static_cast<unsigned long long>(value_));
        return text;
    }

private:
    void Mix(uint64_t word) {
        value_ ^= word;
        value_ *= 0x100000001B3ull;
        value_ ^= value_ >> 29;
    }

    uint64_t value_ = 0xCBF29CE484222325ull;
};

std::wstring FileFingerprint(const std::wstring& path, uint64_t size) {
    std::wstring prefix = L"file " + std::to_wstring(size) + L" ";
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return prefix + L"unreadable";
    static std::vector<char> buffer(1 << 20);
    Hash hash;
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
           got > 0)
        hash.Add(buffer.data(), got);
    return prefix + hash.Text();
}

class Walker {
public:
    explicit Walker(Snapshot& snapshot) : snapshot_(snapshot) {}

    // Wine links the profile's Documents, Desktop, Music, ... to the sandbox's
    // home folder, often all to the same one. Each such folder is walked once,
    // under the first of these names that reaches it.
    void LinkedUserFolders() {
        for (const KNOWNFOLDERID* id :
             {&FOLDERID_Documents, &FOLDERID_Desktop, &FOLDERID_Downloads, &FOLDERID_Music,
              &FOLDERID_Pictures, &FOLDERID_Videos, &FOLDERID_PublicDocuments}) {
            std::wstring folder = GetKnownFolderPath(*id);
            DWORD attributes = GetFileAttributesW(folder.c_str());
            if (folder.empty() || attributes == INVALID_FILE_ATTRIBUTES ||
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            UniqueHandle handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                            nullptr));
            BY_HANDLE_FILE_INFORMATION info = {};
            if (!handle || !GetFileInformationByHandle(handle.Get(), &info)) continue;
            uint64_t identity =
                (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
            if (!walkedLinks_.insert({info.dwVolumeSerialNumber, identity}).second) continue;
            Files(folder);
        }
    }

    void Files(const std::wstring& folder) {
        WIN32_FIND_DATAW entry;
        FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0));
        if (!find) return;
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            Entry(folder + L"\\" + name, entry);
        } while (FindNextFileW(find.Get(), &entry));
    }

    // One file, or one folder with everything below it.
    void Item(const std::wstring& path) {
        WIN32_FIND_DATAW entry;
        FindHandle find(FindFirstFileExW(path.c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0));
        if (find) Entry(path, entry);
    }

    void Entry(const std::wstring& path, const WIN32_FIND_DATAW& entry) {
        std::wstring item = TraceItemName(path);
        std::wstring attributes = L" attributes " + std::to_wstring(entry.dwFileAttributes);
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            uint64_t size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
            uint64_t written = (static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                               entry.ftLastWriteTime.dwLowDateTime;
            snapshot_[item] =
                FileFingerprint(path, size) + attributes + L" written " + std::to_wstring(written);
            return;
        }
        // Links are seen, never entered: what they lead to is seen where it lies.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            snapshot_[item] = L"link";
            return;
        }
        // A folder's write time follows its content, which the places below judge.
        snapshot_[item] = L"folder" + attributes;
        Files(path);
    }

    void Keys(HKEY root, const std::wstring& path) {
        RegKey key;
        if (RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.Receive()) !=
            ERROR_SUCCESS)
            return;
        std::wstring keyName = TraceItemName(root, path);
        // A link key is seen with where it leads, never entered.
        if (std::optional<std::wstring> target = RegistryLinkTarget(key.Get())) {
            snapshot_[keyName] = L"link " + *target;
            return;
        }
        snapshot_[keyName] = L"key";
        std::vector<wchar_t> name(16384);
        std::vector<BYTE> data(1 << 16);
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD size = static_cast<DWORD>(data.size());
            DWORD type = 0;
            LONG result = RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr, &type,
                                        data.data(), &size);
            if (result == ERROR_MORE_DATA) {
                data.resize(size);
                --index;
                continue;
            }
            if (result != ERROR_SUCCESS) break;
            Hash hash;
            hash.Add(data.data(), size);
            snapshot_[TraceItemName(root, path, std::wstring(name.data(), nameLength))] =
                L"value " + std::to_wstring(type) + L" " + std::to_wstring(size) + L" " +
                hash.Text();
        }
        std::vector<std::wstring> subKeys;
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            if (RegEnumKeyExW(key.Get(), index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            subKeys.emplace_back(name.data(), nameLength);
        }
        key.Close();
        for (const std::wstring& subKey : subKeys)
            Keys(root, path.empty() ? subKey : path + L"\\" + subKey);
    }

private:
    Snapshot& snapshot_;
    std::set<std::pair<DWORD, uint64_t>> walkedLinks_;
};

}  // namespace

Snapshot TakeSnapshot() {
    Snapshot snapshot;
    Walker walker(snapshot);
    walker.Files(L"C:");
    walker.LinkedUserFolders();
    walker.Keys(HKEY_CURRENT_USER, L"");
    walker.Keys(HKEY_LOCAL_MACHINE, L"");
    return snapshot;
}

void Retake(Snapshot& snapshot, const std::wstring& path) {
    const std::wstring name = TraceItemName(path);
    std::erase_if(snapshot, [&name](const auto& entry) { return IsAtOrBelow(entry.first, name); });
    Walker(snapshot).Item(path);
}

void RetakeKey(Snapshot& snapshot, HKEY root, const std::wstring& key) {
    const std::wstring name = TraceItemName(root, key);
    std::erase_if(snapshot, [&name](const auto& entry) { return IsAtOrBelow(entry.first, name); });
    Walker(snapshot).Keys(root, key);
}

std::vector<Damage> CompareSnapshots(const Snapshot& before, const Snapshot& after) {
    std::vector<Damage> damage;
    for (const auto& [name, fingerprint] : before) {
        auto found = after.find(name);
        if (found == after.end())
            damage.push_back({name, L"removed"});
        else if (found->second != fingerprint)
            damage.push_back({name, L"changed"});
    }
    return damage;
}

bool IsAtOrBelow(const std::wstring& name, const std::wstring& place) {
    if (name.compare(0, place.size(), place) != 0) return false;
    if (name.size() == place.size()) return true;
    wchar_t next = name[place.size()];
    return next == L'\\' || next == L'\t' || (!place.empty() && place.back() == L'\\');
}

}  // namespace veltrane
