#include "plugins/explorer/shell_item_list.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "plugins/explorer/item_bytes.h"
#include "plugins/explorer/readable_text.h"
#include "plugins/explorer/shell_item.h"

namespace veltrane {

namespace {

using Kind = ShellItemName::Kind;

// The shell's name for the last item of the first `length` bytes of a list:
// for items our decoder does not know. The shell reads the list in place,
// so it gets an aligned copy that ends there.
std::wstring ShellNameOfItem(const uint8_t* data, size_t length) {
    std::vector<uint8_t> copy(data, data + length);
    copy.resize(length + 2, 0);
    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(copy.data()), 0, &info, sizeof(info),
                        SHGFI_PIDL | SHGFI_DISPLAYNAME))
        return {};
    return info.szDisplayName;
}

void Append(std::wstring& path, const std::wstring& name) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += name;
}

}  // namespace

size_t ItemListLength(const uint8_t* data, size_t size) {
    const ItemBytes list(data, size);
    size_t offset = 0;
    while (const auto length = list.Word(offset)) {
        if (*length == 0) return offset == 0 ? 0 : offset + 2;
        // An item holds at least its length and a type byte.
        if (*length < 3 || *length > size - offset) return 0;
        offset += *length;
    }
    return 0;
}

std::wstring NameOfItemList(const uint8_t* data, size_t size) {
    const size_t length = ItemListLength(data, size);
    if (length == 0) return {};
    const ItemBytes list(data, length);
    std::wstring path;
    for (size_t offset = 0; offset + 2 < length;) {
        const size_t itemLength = *list.Word(offset);
        ShellItemName name = NameOfShellItem(list.Part(offset, itemLength));
        offset += itemLength;
        if (name.kind == Kind::kUnknown) {
            std::wstring shellName = ShellNameOfItem(data, offset);
            if (!IsReadableText(shellName)) return {};
            name = {Kind::kChild, std::move(shellName)};
        }
        if (name.kind == Kind::kUnreadable) return {};
        if (name.kind == Kind::kPlace) path.clear();
        Append(path, name.text);
    }
    return IsReadableText(path) ? path : std::wstring();
}

}  // namespace veltrane
