#pragma once
// Shell item lists as Explorer keeps them in the registry (the dialogs' files
// and folders, the folders whose views it remembers): checked for shape, then
// read item by item into the path they stand for.
#include <cstddef>
#include <cstdint>
#include <string>

namespace veltrane {

// Length in bytes of the well-formed item list at the start of `data`,
// terminator included; 0 when there is none: no item at all, or an item
// that runs past the end of the data.
size_t ItemListLength(const uint8_t* data, size_t size);

// The path or name an absolute item list stands for ("C:\Users\Ann\report.docx",
// "\\server\share", "Libraries\Documents"), each item read by our own decoder;
// only an item of a kind it does not know is named by the shell. Empty when
// the list is not well formed or any part of it is not readable.
std::wstring NameOfItemList(const uint8_t* data, size_t size);

}  // namespace veltrane
