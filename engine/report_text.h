#pragma once
// Byte counts as every report shows them. (Placeholders are filled with
// ReplaceAll, and text from the machine is escaped with EscapeHtml, both in
// sysaccess/text.h.)
#include <cstdint>
#include <string>

namespace veltrane {

// "0 B", "499 B", "0.50 KB", "1.99 MB", "5.00 GB": decimal units, two
// decimals, the rest cut off (not rounded).
std::wstring FormatSize(uint64_t bytes);

// How a report marks what the window's check boxes act on. A row a clean
// would remove carries its item's key (ItemKey) in data-item and the key of
// the group it belongs to in data-in-group. A group header (the element that
// heads a folder's, profile's or domain's rows) carries its own key in
// data-group and its enclosing group's in data-in-group. The outermost group
// is the plug-in's whole report, "plugin:<Id>" (PluginGroupKey), carried by
// the report's section; a group inside it is "<Id>/<kind>:<text>"
// (SubGroupKey). Unticking a group unticks every row and group naming it.
// Both answers begin with a space and are escaped.
std::wstring ItemRowAttributes(const std::wstring& itemKey, const std::wstring& groupKey);
std::wstring GroupAttributes(const std::wstring& groupKey, const std::wstring& parentGroupKey = {});
std::wstring PluginGroupKey(const std::wstring& pluginId);
std::wstring SubGroupKey(const std::wstring& pluginId, const wchar_t* kind,
                         const std::wstring& text);

}  // namespace veltrane
