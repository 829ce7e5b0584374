#pragma once
// What a report shows for a value of one of Explorer's lists: a name or a
// text read from its data, never the data itself.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// How Explorer lays out the data of a list's values.
enum class ValueLayout {
    kText,           // text: a string value, or UTF-16 in a binary one (search terms)
    kItemList,       // an absolute shell item list (dialog and folder-view lists)
    kLeadingName,    // a UTF-16 name, then data of Explorer's own (recent documents)
    kNameAndFolder,  // a program's name, then the item list of its last folder
    kProgramName,    // the value's name is the program, ROT13-encoded (UserAssist)
};

// The text a report shows for the value; empty when nothing readable can be
// had, and then the report shows the value's name.
std::wstring ReadableValueText(ValueLayout layout, const std::wstring& name, DWORD type,
                               const std::vector<uint8_t>& data);

// The zero-terminated UTF-16 text at the start of `data`, all of it
// printable; empty otherwise. `end` (optional) receives where it stopped.
std::wstring LeadingText(const uint8_t* data, size_t size, size_t* end = nullptr);
