#pragma once
// Shell item lists as Explorer keeps them in the registry (recent documents,
// the dialogs' folders, the folders whose views it remembers): checked for
// shape before any shell call reads them, then named.
#include <cstddef>
#include <cstdint>
#include <string>

// Length in bytes of the well-formed item list at the start of `data`,
// terminator included; 0 when there is none: no item at all, or an item
// that runs past the end of the data.
size_t ItemListLength(const uint8_t* data, size_t size);

// A readable name for an absolute item list: the path Windows gives for it,
// else the shell's display name, else the name stored in its last item.
// Empty when nothing readable can be had.
std::wstring NameOfItemList(const uint8_t* data, size_t size);

// The name one item stores itself: a file or folder name, or a drive
// ("C:\"). Empty for items only the shell can name (virtual folders).
std::wstring NameStoredInItem(const uint8_t* item, size_t size);
