#pragma once
// The entries of Office's recent lists as Office 2007 and later write them:
// values "Item 1", "Item 2", ... holding "[F00000000][T01D9A3C4B5E6F700]
// [O00000000]*C:\path\file.docx" (flags, the time the entry was last used as a
// FILETIME in hexadecimal, more flags, then the path), each beside an
// "Item Metadata N" of the same number.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

struct OfficeMruItem {
    std::wstring path;
    FILETIME used = {};  // zero when the entry carries no time
};

// The path and time of an entry; a plain path (the older lists) is taken as
// it is. Nothing for data that is no entry (empty, no path after the flags,
// a malformed flag).
[[nodiscard]] std::optional<OfficeMruItem> ParseOfficeMruItem(std::wstring_view data);

// N when `name` is `prefix` followed by a number and nothing else ("Item 12"
// for "Item "); nothing otherwise.
[[nodiscard]] std::optional<unsigned> NumberAfter(std::wstring_view name, std::wstring_view prefix);

}  // namespace veltrane
