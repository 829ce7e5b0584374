#pragma once
// One shell item, as Explorer stores it in its lists: what it adds to the
// path of its list, read from the item's own bytes. The layouts are those of
// Windows XP to 11: root folders, drives, file entries (with the long name of
// their extension block), network places, URIs, Control Panel items, known
// folders and the property-store items of libraries and network computers.
#include <string>

#include "plugins/explorer/item_bytes.h"

namespace veltrane {

struct ShellItemName {
    enum class Kind {
        kUnknown,     // a kind of item this decoder does not read
        kUnreadable,  // a kind it reads, with no readable name in it
        kChild,       // a name below what came before it ("Alloy Research")
        kPlace,       // a place that stands on its own ("C:\", "\\server\share", a folder's path)
    };
    Kind kind = Kind::kUnknown;
    std::wstring text;
};

// `item` holds one item, its size field included.
ShellItemName NameOfShellItem(const ItemBytes& item);

}  // namespace veltrane
