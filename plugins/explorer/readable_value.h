#pragma once
// What a report shows for a value of one of Explorer's lists: a name or a
// text read from its data, never the data itself.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace veltrane {

// How Explorer lays out the data of a list's values.
enum class ValueLayout {
    kText,           // text: a string value, or UTF-16 in a binary one (search terms)
    kItemList,       // an absolute shell item list (the dialogs' files and folders)
    kLeadingName,    // a UTF-16 name, then data of Explorer's own (recent documents)
    kNameAndFolder,  // a program's name, then the item list of its last folder
    kProgramName,    // the value's name is the program, ROT13-encoded (UserAssist)
    kFolderItem,     // one item below the folder its key stands for (ShellBags' BagMRU)
    kViewSettings,   // a folder view's settings, never read (ShellBags' Bags)
};

// Whether the value is one of the list's entries ("0", "1", ...) rather than
// Explorer's bookkeeping beside them (MRUListEx, NodeSlot), whose data is
// not what the layout says and is never read.
bool IsListEntry(ValueLayout layout, const std::wstring& name);

// The text read from the value; empty when the value is not a list entry or
// nothing readable can be had. A kFolderItem value's `data` is the absolute
// list of its folder and itself.
std::wstring ReadableValueText(ValueLayout layout, const std::wstring& name, DWORD type,
                               const std::vector<uint8_t>& data);

// What the report shows for a value that gave `text`: the text; else for a
// list entry its name and "unreadable item"; else its name.
std::wstring ShownValueText(ValueLayout layout, const std::wstring& name, std::wstring text);

// The zero-terminated UTF-16 text at the start of `data`, readable as a
// name; empty otherwise. `end` (optional) receives where it stopped.
std::wstring LeadingText(const uint8_t* data, size_t size, size_t* end = nullptr);

}  // namespace veltrane
