#include "plugins/explorer/shell_item.h"

#include <objbase.h>

#include <optional>

#include "plugins/explorer/property_store.h"
#include "plugins/explorer/readable_text.h"
#include "plugins/explorer/shell_folder_names.h"
#include "sysaccess/registry_text.h"

namespace veltrane {

namespace {

using Kind = ShellItemName::Kind;

// Class type indicators: the high bits give the kind of item, the low ones
// its flags.
constexpr uint8_t kKindMask = 0x70;
constexpr uint8_t kRootFolder = 0x1F;
constexpr uint8_t kVolume = 0x20;
constexpr uint8_t kFileEntry = 0x30;
constexpr uint8_t kNetworkPlace = 0x40;
constexpr uint8_t kUri = 0x61;
constexpr uint8_t kControlPanelItem = 0x71;
constexpr uint8_t kDelegate = 0x74;
constexpr uint8_t kVolumeHasName = 0x01;
constexpr uint8_t kUnicodeNames = 0x04;
constexpr uint8_t kUnicodeUri = 0x80;

constexpr uint32_t kFileEntryBlock = 0xBEEF0004;
constexpr uint32_t kKnownFolderData = 0x23FEBBEE;
constexpr uint32_t kControlPanelCategory = 0x39DE2184;
constexpr uint32_t kDelegateFileEntry = 0x46534643;  // "CFSF"

// Properties that name an item of a library or of the network.
constexpr GUID kStorageProperties = {
    0xB725F130, 0x47EF, 0x101A, {0xA5, 0xF1, 0x02, 0x60, 0x8C, 0x9E, 0xEB, 0xAC}};
constexpr GUID kShellProperties = {
    0x28636AA6, 0x953D, 0x11D2, {0xB5, 0xD6, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
constexpr GUID kSearchProperties = {
    0x1E3EE840, 0xBC2B, 0x476C, {0x82, 0x37, 0x2A, 0xCD, 0x1A, 0x83, 0x9B, 0x22}};
constexpr PropertyKey kDisplayName = {kStorageProperties, 10};
constexpr PropertyKey kParsingName = {kShellProperties, 24};
constexpr PropertyKey kParsingPath = {kShellProperties, 30};
// The item's full path, which Explorer keeps with the items of libraries.
constexpr PropertyKey kStoredPath = {kSearchProperties, 8};

ShellItemName Named(Kind kind, std::wstring text) {
    if (!IsReadableText(text)) return {Kind::kUnreadable, {}};
    return {kind, std::move(text)};
}

ShellItemName Child(std::wstring text) { return Named(Kind::kChild, std::move(text)); }
ShellItemName Place(std::wstring text) { return Named(Kind::kPlace, std::move(text)); }

// A folder the shell names by an id: known here, or left to the shell.
ShellItemName ShellFolder(const std::optional<GUID>& id) {
    if (!id) return {Kind::kUnreadable, {}};
    std::wstring text = ShellFolderText(*id);
    if (text.empty()) return {};
    return Place(std::move(text));
}

bool IsAbsolutePath(const std::wstring& path) {
    return (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || path.starts_with(L"\\\\");
}

// The long name in a file entry's extension block 0xbeef0004, which follows
// the primary name (often the 8.3 name); nothing when the item has no such
// block. Its offset grows with the block's version: Windows XP wrote 3,
// Vista 7, Windows 7 and 8 wrote 8, 8.1 and later 9.
std::optional<std::wstring> LongName(const ItemBytes& item, size_t from) {
    for (auto at = item.Find(kFileEntryBlock, from); at; at = item.Find(kFileEntryBlock, *at + 1)) {
        if (*at < from + 4) continue;
        const ItemBytes block = item.Part(*at - 4, item.Word(*at - 4).value_or(0));
        const uint16_t version = block.Word(2).value_or(0);
        if (block.Size() < 8 || version < 3) continue;
        size_t name = 20;
        if (version >= 7) name += 18;
        if (version >= 8) name += 4;
        if (version >= 9) name += 4;
        // A block cut short holds no name: the item is not what it claims.
        return block.Utf16(name).value_or(L"");
    }
    return std::nullopt;
}

// A file or folder: its primary name at `nameAt`, then the extension block,
// whose long name is the one shown; the primary name only without one.
ShellItemName FileEntry(const ItemBytes& item, uint8_t type, size_t nameAt) {
    size_t end = 0;
    std::optional<std::wstring> primary =
        type & kUnicodeNames ? item.Utf16(nameAt, &end) : item.Ansi(nameAt, &end);
    if (!primary) return {Kind::kUnreadable, {}};
    std::optional<std::wstring> longName = LongName(item, end);
    return Child(longName ? std::move(*longName) : std::move(*primary));
}

ShellItemName Volume(const ItemBytes& item, uint8_t type) {
    if (!(type & kVolumeHasName) && item.Byte(4) != ':') return ShellFolder(item.Guid(4));
    std::optional<std::wstring> drive = item.Ansi(3);
    return drive ? Place(std::move(*drive)) : ShellItemName{Kind::kUnreadable, {}};
}

// A domain, a server or a share: the last two as UNC paths.
ShellItemName NetworkPlace(const ItemBytes& item) {
    std::optional<std::wstring> location = item.Ansi(5);
    if (!location) return {Kind::kUnreadable, {}};
    return location->starts_with(L"\\\\") ? Place(std::move(*location))
                                          : Child(std::move(*location));
}

// The address follows the item's own data (times, user names for FTP).
ShellItemName Uri(const ItemBytes& item) {
    const auto flags = item.Byte(3);
    const auto dataSize = item.Word(4);
    if (!flags || !dataSize) return {Kind::kUnreadable, {}};
    const size_t at = 6 + *dataSize;
    std::optional<std::wstring> uri = *flags & kUnicodeUri ? item.Utf16(at) : item.Ansi(at);
    return uri ? Place(std::move(*uri)) : ShellItemName{Kind::kUnreadable, {}};
}

// A Control Panel applet, named by the class registered for it.
ShellItemName ControlPanelItem(const ItemBytes& item) {
    const std::optional<GUID> id = item.Guid(14);
    wchar_t text[40] = {};
    if (!id || !StringFromGUID2(*id, text, 40)) return {Kind::kUnreadable, {}};
    RegText name;
    const std::wstring key = std::wstring(L"CLSID\\") + text;
    if (ReadRegText(HKEY_CLASSES_ROOT, key.c_str(), L"", name) != RegTextRead::kRead ||
        name.text.empty() || name.text.starts_with(L"@"))
        return {};
    return Child(std::move(name.text));
}

// The names a property store gives: a full path where it keeps one, else the
// name the item has in its folder.
ShellItemName PropertyStoreItem(const ItemBytes& stores) {
    for (const PropertyKey& key : {kStoredPath, kParsingPath}) {
        std::optional<std::wstring> path = FindTextProperty(stores, key);
        if (path && IsAbsolutePath(*path)) return Place(std::move(*path));
    }
    if (std::optional<std::wstring> name = FindTextProperty(stores, kParsingName)) {
        GUID id;
        // Known folders are parsed by their id: "{FDD39AD0-...}".
        const bool isId = name->starts_with(L"{") && SUCCEEDED(CLSIDFromString(name->c_str(), &id));
        std::wstring folder = isId ? ShellFolderText(id) : L"";
        if (!folder.empty()) return Place(std::move(folder));
        if (!isId && IsReadableText(*name)) return Child(std::move(*name));
    }
    if (std::optional<std::wstring> name = FindTextProperty(stores, kDisplayName))
        return Child(std::move(*name));
    // Stores of other properties, or items of type 0 that hold none.
    return {};
}

// Items of type 0: a data size and a signature, then an identifier and
// property stores, each with its size.
ShellItemName PropertyViewItem(const ItemBytes& item) {
    const auto signature = item.Dword(6);
    const auto storeSize = item.Word(10);
    const auto idSize = item.Word(12);
    if (!signature || !storeSize || !idSize) return {};
    if (*signature == kKnownFolderData)
        return *idSize == 16 ? ShellFolder(item.Guid(14)) : ShellItemName{Kind::kUnreadable, {}};
    if (*storeSize == 0) return {};
    return PropertyStoreItem(item.Part(14 + *idSize, *storeSize));
}

ShellItemName ControlPanelCategory(const ItemBytes& item) {
    std::wstring name = ControlPanelCategoryName(item.Dword(8).value_or(UINT32_MAX));
    if (name.empty()) return {Kind::kUnreadable, {}};
    return Child(std::move(name));
}

}  // namespace

ShellItemName NameOfShellItem(const ItemBytes& item) {
    const auto type = item.Byte(2);
    if (!type) return {Kind::kUnreadable, {}};
    if (*type == kRootFolder) return ShellFolder(item.Guid(4));
    if (*type == kUri) return Uri(item);
    if (*type == kControlPanelItem) return ControlPanelItem(item);
    if (*type == kDelegate && item.Dword(6) == kDelegateFileEntry)
        return FileEntry(item, item.Byte(12).value_or(0), 24);
    if (*type == 0x00) return PropertyViewItem(item);
    if (*type == 0x01 && item.Dword(4) == kControlPanelCategory) return ControlPanelCategory(item);
    switch (*type & kKindMask) {
        case kVolume:
            return Volume(item, *type);
        case kFileEntry:
            return FileEntry(item, *type, 14);
        case kNetworkPlace:
            return NetworkPlace(item);
        default:
            return {};
    }
}

}  // namespace veltrane
