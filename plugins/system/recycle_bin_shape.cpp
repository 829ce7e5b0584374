#include "plugins/system/recycle_bin_shape.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>

#include "sysaccess/file_bytes.h"
#include "sysaccess/file_info.h"
#include "sysaccess/path_join.h"

namespace veltrane {

namespace {

enum class Generation {
    kInfo2,  // Windows 95 to XP: D<letter><number> items, INFO2
    kVista,  // Windows Vista to 11: $R items with their $I index
};

constexpr DWORD kBinAttributes = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN;
// The class id desktop.ini gives a bin, lower case.
constexpr char kBinClass[] = "645ff040-5081-101b-9f08-00aa002f954e";
constexpr uint64_t kLargestDesktopIni = 4096;

constexpr wchar_t kLinkReason[] =
    L"Not a recycle bin: it is a link, and what it leads to is not the bin's.";
constexpr wchar_t kAttributesReason[] =
    L"Not a recycle bin: it lacks the system and hidden attributes every recycle bin has.";
constexpr wchar_t kNoBinFilesReason[] =
    L"Not a recycle bin: it holds none of a bin's own files (INFO2, the bin's desktop.ini, "
    L"$I and $R pairs).";
constexpr wchar_t kNotUsersBinReason[] =
    L"Not a user's recycle bin: those are folders named by the user's SID.";
constexpr wchar_t kNotItemReason[] = L"Not named as the recycle bin names what it holds.";
constexpr wchar_t kUnlistedReason[] = L"What this folder holds could not be listed.";

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring UpperCase(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// "S-1-" and numbers joined by dashes.
bool IsSidName(const std::wstring& name) {
    if (name.size() < 5 || name.compare(0, 4, L"S-1-") != 0) return false;
    bool digit = false;
    for (size_t i = 4; i < name.size(); ++i) {
        if (IsAsciiDigit(name[i]))
            digit = true;
        else if (name[i] == L'-' && digit)
            digit = false;
        else
            return false;
    }
    return digit;
}

// D<drive letter><number>, then nothing or the extension ("Dc12.txt").
bool IsInfo2ItemName(const std::wstring& name) {
    if (name.size() < 3 || (name[0] != L'D' && name[0] != L'd') || !IsAsciiLetter(name[1]) ||
        !IsAsciiDigit(name[2]))
        return false;
    size_t i = 2;
    while (i < name.size() && IsAsciiDigit(name[i])) ++i;
    return i == name.size() || name[i] == L'.';
}

// What follows "$R" or "$I" (`kind`) in an item's name: six letters or
// digits, then nothing or the extension. Empty for any other name.
std::wstring VistaId(const std::wstring& name, wchar_t kind) {
    constexpr size_t kIdLength = 6;
    if (name.size() < 2 + kIdLength || name[0] != L'$' || std::towupper(name[1]) != kind) return {};
    for (size_t i = 2; i < 2 + kIdLength; ++i)
        if (!IsAsciiDigit(name[i]) && !IsAsciiLetter(name[i])) return {};
    if (name.size() > 2 + kIdLength && name[2 + kIdLength] != L'.') return {};
    return name.substr(2);
}

bool IsIndexFile(const std::wstring& name) {
    return EqualsNoCase(name, L"INFO2") || EqualsNoCase(name, L"INFO");
}

bool IsDesktopIni(const std::wstring& name) { return EqualsNoCase(name, L"desktop.ini"); }

// Whether a desktop.ini names the bin's class; Vista onwards write it in UTF-16.
bool NamesBinClass(const std::wstring& path) {
    const FileRead read = ReadFileBytes(path, kLargestDesktopIni);
    if (!read.Done()) return false;
    std::string text;
    for (char c : read.bytes)
        if (c != 0) text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find(kBinClass) != std::string::npos;
}

// The little-endian value of `size` bytes at `offset`; the bytes must hold it.
uint64_t ReadLittleEndian(const std::string& bytes, size_t offset, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

FILETIME AsFileTime(uint64_t ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The deletion time a $I index holds.
std::optional<FILETIME> ReadIndexTime(const std::wstring& indexPath) {
    constexpr size_t kTimeOffset = 16;
    constexpr uint64_t kLargestIndex = 64 * 1024;
    const FileRead read = ReadFileBytes(indexPath, kLargestIndex);
    const std::string& bytes = read.bytes;
    if (!read.Done() || bytes.size() < kTimeOffset + 8) return std::nullopt;
    const uint64_t version = ReadLittleEndian(bytes, 0, 8);
    if (version != 1 && version != 2) return std::nullopt;
    return AsFileTime(ReadLittleEndian(bytes, kTimeOffset, 8));
}

// The deletion times INFO2 keeps, by the number in the items' names; empty
// when the bin has no readable INFO2.
std::map<uint32_t, FILETIME> ReadInfo2Times(const std::wstring& folder) {
    constexpr size_t kHeader = 20;
    constexpr size_t kNumberOffset = 260;
    constexpr size_t kTimeOffset = 268;
    constexpr uint64_t kLargestInfo2 = 64 * 1024 * 1024;
    std::map<uint32_t, FILETIME> times;
    const FileRead read = ReadFileBytes(JoinPath(folder, L"INFO2"), kLargestInfo2);
    const std::string& bytes = read.bytes;
    if (!read.Done() || bytes.size() < kHeader) return times;
    const size_t recordSize = static_cast<size_t>(ReadLittleEndian(bytes, 12, 4));
    if (recordSize != 280 && recordSize != 800) return times;
    for (size_t at = kHeader; at + recordSize <= bytes.size(); at += recordSize) {
        const auto number = static_cast<uint32_t>(ReadLittleEndian(bytes, at + kNumberOffset, 4));
        times[number] = AsFileTime(ReadLittleEndian(bytes, at + kTimeOffset, 8));
    }
    return times;
}

// The number in an item's INFO2 name ("Dc12.txt": 12).
uint32_t Info2Number(const std::wstring& name) {
    return static_cast<uint32_t>(wcstoul(name.c_str() + 2, nullptr, 10));
}

// The entries of a folder without "." and "..".
std::vector<FolderEntry> EntriesOf(const std::wstring& folder) {
    std::vector<FolderEntry> entries = ListFolderEntries(folder);
    std::erase_if(entries, [](const FolderEntry& entry) {
        return entry.name == L"." || entry.name == L"..";
    });
    return entries;
}

// Why a folder is no bin by its attributes alone; nothing when it may be one.
const wchar_t* AttributeRefusal(DWORD attributes) {
    if (IsLink(attributes)) return kLinkReason;
    if ((attributes & kBinAttributes) != kBinAttributes) return kAttributesReason;
    return nullptr;
}

// A folder that is no bin is listed as left when it holds anything; a link
// always is, since what it holds is not looked at.
void Leave(const std::wstring& path, DWORD attributes, const wchar_t* reason, DriveBins& found) {
    if (IsLink(attributes) || !EntriesOf(path).empty()) found.left.push_back({path, reason});
}

bool HasBinFiles(const std::wstring& folder, const std::vector<FolderEntry>& entries,
                 Generation generation) {
    std::set<std::wstring> items;
    std::set<std::wstring> indexes;
    for (const FolderEntry& entry : entries) {
        const bool file = !IsFolder(entry.attributes);
        if (file && generation == Generation::kInfo2 && IsIndexFile(entry.name)) return true;
        if (file && IsDesktopIni(entry.name) && NamesBinClass(JoinPath(folder, entry.name)))
            return true;
        if (generation != Generation::kVista) continue;
        if (std::wstring id = VistaId(entry.name, L'R'); !id.empty())
            items.insert(UpperCase(std::move(id)));
        else if (std::wstring index = VistaId(entry.name, L'I'); !index.empty() && file)
            indexes.insert(UpperCase(std::move(index)));
    }
    return std::ranges::any_of(indexes,
                               [&items](const std::wstring& id) { return items.contains(id); });
}

// One item as the scan records it; false when cancelled.
bool AddItem(const std::wstring& path, DWORD attributes, std::wstring index,
             std::optional<FILETIME> deleted, const IRunContext* run, DriveBins& found) {
    BinItem item;
    item.path = path;
    item.index = std::move(index);
    item.deleted = deleted;
    item.isFolder = IsFolder(attributes);
    if (!item.isFolder) {
        IdentityReadOutcome read = ReadFileIdentity(path);
        if (read.kind == IdentityRead::kRefused) {
            // A file link, or a file reached through one: what it leads to is no bin's.
            found.left.push_back({path, std::move(read.reason)});
            return true;
        }
        if (read.kind == IdentityRead::kRead) {
            item.size = read.identity.size;
            item.file = std::move(read.identity);
        } else if (std::optional<FileFacts> facts = ReadFileFacts(path)) {
            item.size = facts->size;
        }
    } else if (!IsLink(attributes)) {
        // A link among the items goes as a link; nothing behind it is counted.
        auto listing = std::make_shared<FolderTreeListing>();
        const ListingOutcome listed =
            ListFolderItems(run, path, nullptr, ListingDepth::kTree, listing.get());
        if (listed.kind == ListingResult::kCancelled) return false;
        if (listed.kind != ListingResult::kListed) {
            // What cannot be listed through its own handle is not removed.
            found.left.push_back(
                {path, !listed.reason.empty() ? listed.reason : std::wstring(kUnlistedReason)});
            return true;
        }
        item.size = listing->TotalSize();
        item.count = std::max<uint64_t>(1, listing->files.size());
        item.listing = std::move(listing);
    }
    found.items.push_back(std::move(item));
    return true;
}

// The items of a recognised bin and what in it is not the bin's; false when cancelled.
bool ListBin(const std::wstring& folder, const std::vector<FolderEntry>& entries,
             Generation generation, const IRunContext* run, DriveBins& found) {
    std::map<std::wstring, std::wstring> indexById;  // upper-case id -> $I name
    std::set<std::wstring> itemIds;                  // upper-case ids of the $R names
    const std::map<uint32_t, FILETIME> info2Times =
        generation == Generation::kInfo2 ? ReadInfo2Times(folder) : std::map<uint32_t, FILETIME>();
    for (const FolderEntry& entry : entries) {
        if (std::wstring id = VistaId(entry.name, L'R'); !id.empty())
            itemIds.insert(UpperCase(std::move(id)));
        else if (std::wstring index = VistaId(entry.name, L'I');
                 !index.empty() && !IsFolder(entry.attributes))
            indexById[UpperCase(std::move(index))] = entry.name;
    }

    for (const FolderEntry& entry : entries) {
        if (IsCancelled(run)) return false;
        const std::wstring path = JoinPath(folder, entry.name);
        const bool file = !IsFolder(entry.attributes);
        if (file && (IsDesktopIni(entry.name) ||
                     (generation == Generation::kInfo2 && IsIndexFile(entry.name))))
            continue;  // the bin's own: the shell keeps them
        if (generation == Generation::kInfo2) {
            if (!IsInfo2ItemName(entry.name)) {
                found.left.push_back({path, kNotItemReason});
                continue;
            }
            const auto time = info2Times.find(Info2Number(entry.name));
            if (!AddItem(path, entry.attributes, L"",
                         time != info2Times.end() ? std::make_optional(time->second) : std::nullopt,
                         run, found))
                return false;
            continue;
        }
        if (std::wstring id = VistaId(entry.name, L'R'); !id.empty()) {
            auto index = indexById.find(UpperCase(id));
            std::wstring indexPath =
                index != indexById.end() ? JoinPath(folder, index->second) : std::wstring();
            std::optional<FILETIME> deleted =
                indexPath.empty() ? std::nullopt : ReadIndexTime(indexPath);
            if (!AddItem(path, entry.attributes, std::move(indexPath), deleted, run, found))
                return false;
            continue;
        }
        if (std::wstring id = VistaId(entry.name, L'I'); !id.empty() && file) {
            // An index goes with its item; one without is an item of its own.
            if (!itemIds.contains(UpperCase(id)) &&
                !AddItem(path, entry.attributes, L"", ReadIndexTime(path), run, found))
                return false;
            continue;
        }
        found.left.push_back({path, kNotItemReason});
    }
    return true;
}

// A folder that should be a bin by its place: listed when it has the shape.
bool ListBinFolder(const std::wstring& path, DWORD attributes, Generation generation,
                   const IRunContext* run, DriveBins& found) {
    if (const wchar_t* reason = AttributeRefusal(attributes)) {
        Leave(path, attributes, reason, found);
        return true;
    }
    const std::vector<FolderEntry> entries = EntriesOf(path);
    if (!HasBinFiles(path, entries, generation)) {
        if (!entries.empty()) found.left.push_back({path, kNoBinFilesReason});
        return true;
    }
    found.bins.push_back(path);
    return ListBin(path, entries, generation, run, found);
}

// RECYCLER and $Recycle.Bin: one bin per user inside.
bool ListUserBins(const std::wstring& top, DWORD attributes, Generation generation,
                  const IRunContext* run, DriveBins& found) {
    if (const wchar_t* reason = AttributeRefusal(attributes)) {
        Leave(top, attributes, reason, found);
        return true;
    }
    for (const FolderEntry& entry : EntriesOf(top)) {
        if (IsCancelled(run)) return false;
        const std::wstring path = JoinPath(top, entry.name);
        if (!IsFolder(entry.attributes)) {
            if (!IsDesktopIni(entry.name)) found.left.push_back({path, kNotUsersBinReason});
            continue;
        }
        if (!IsSidName(entry.name)) {
            Leave(path, entry.attributes, kNotUsersBinReason, found);
            continue;
        }
        if (!ListBinFolder(path, entry.attributes, generation, run, found)) return false;
    }
    return true;
}

}  // namespace

ItemRef BinItemRef(const BinItem& item) {
    // No write time: the age limit judges an item by its deletion time, at the scan.
    return item.isFolder ? FolderItemRef(item.path) : FileItemRef(item.path);
}

ItemRef ShellBinItemRef(const std::wstring& root) {
    return {ItemKind::kStoreEntry, L"The shell's Recycle Bin", root, {}};
}

bool ListDriveBins(const std::wstring& root, const IRunContext* run, DriveBins& found) {
    found = DriveBins();
    for (const FolderEntry& entry : EntriesOf(root)) {
        if (IsCancelled(run)) return false;
        // A file of a bin's name is nothing to empty.
        if (!IsFolder(entry.attributes)) continue;
        const std::wstring path = JoinPath(root, entry.name);
        bool listed = true;
        if (EqualsNoCase(entry.name, L"$Recycle.Bin"))
            listed = ListUserBins(path, entry.attributes, Generation::kVista, run, found);
        else if (EqualsNoCase(entry.name, L"RECYCLER"))
            listed = ListUserBins(path, entry.attributes, Generation::kInfo2, run, found);
        else if (EqualsNoCase(entry.name, L"Recycled"))
            listed = ListBinFolder(path, entry.attributes, Generation::kInfo2, run, found);
        if (!listed) return false;
    }
    return true;
}

bool HoldsUsersBin(const std::vector<std::wstring>& bins, const std::wstring& sid) {
    return std::ranges::any_of(bins, [&sid](const std::wstring& bin) {
        const size_t slash = bin.rfind(L'\\');
        const std::wstring name = slash == std::wstring::npos ? bin : bin.substr(slash + 1);
        return (!sid.empty() && EqualsNoCase(name, sid)) || EqualsNoCase(name, L"Recycled");
    });
}

}  // namespace veltrane
