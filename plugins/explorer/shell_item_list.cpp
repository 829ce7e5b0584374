#include "plugins/explorer/shell_item_list.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "sysaccess/text.h"

namespace {

uint16_t ReadWord(const uint8_t* data) { return static_cast<uint16_t>(data[0] | data[1] << 8); }

bool IsPrintable(wchar_t c) { return c >= 0x20 && c != 0x7F; }

// A zero-terminated name inside [data, data + size): UTF-16 or in the ANSI code page.
std::wstring TerminatedName(const uint8_t* data, size_t size, bool wide) {
    std::wstring name;
    if (wide) {
        for (size_t i = 0; i + 1 < size; i += 2) {
            wchar_t c = static_cast<wchar_t>(ReadWord(data + i));
            if (c == 0) return name;
            if (!IsPrintable(c)) return {};
            name += c;
        }
        return {};
    }
    std::string narrow;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            name = FromCodePage(narrow, CP_ACP);
            for (wchar_t c : name)
                if (!IsPrintable(c)) return {};
            return name;
        }
        narrow += static_cast<char>(data[i]);
    }
    return {};
}

}  // namespace

size_t ItemListLength(const uint8_t* data, size_t size) {
    size_t offset = 0;
    bool anyItem = false;
    while (data != nullptr && offset + 2 <= size) {
        uint16_t length = ReadWord(data + offset);
        if (length == 0) return anyItem ? offset + 2 : 0;
        // An item holds at least its length and a type byte.
        if (length < 3 || length > size - offset) return 0;
        offset += length;
        anyItem = true;
    }
    return 0;
}

std::wstring NameStoredInItem(const uint8_t* item, size_t size) {
    if (size < 3) return {};
    const uint8_t type = item[2];
    // Files and folders: size, date, time and attributes, then the name;
    // flag 0x04 marks a name kept in UTF-16.
    if ((type & 0x70) == 0x30 && size > 14)
        return TerminatedName(item + 14, size - 14, type & 0x04);
    // Drives: "C:\" right behind the type.
    if ((type & 0x70) == 0x20 && size > 3) return TerminatedName(item + 3, size - 3, false);
    return {};
}

std::wstring NameOfItemList(const uint8_t* data, size_t size) {
    const size_t length = ItemListLength(data, size);
    if (length == 0) return {};
    // The shell reads the list in place: it gets an aligned copy holding
    // exactly the list, terminator included.
    std::vector<uint8_t> copy(data, data + length);
    auto list = reinterpret_cast<PCIDLIST_ABSOLUTE>(copy.data());
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(list, path) && path[0] != 0) return path;
    SHFILEINFOW info = {};
    if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof(info),
                       SHGFI_PIDL | SHGFI_DISPLAYNAME) &&
        info.szDisplayName[0] != 0)
        return info.szDisplayName;
    std::wstring name;
    for (size_t offset = 0; offset + 2 < length;) {
        uint16_t itemLength = ReadWord(data + offset);
        std::wstring stored = NameStoredInItem(data + offset, itemLength);
        if (!stored.empty()) name = stored;
        offset += itemLength;
    }
    return name;
}
