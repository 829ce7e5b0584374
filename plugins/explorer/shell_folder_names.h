#pragma once
// The shell's own folders that items name only by an id: the root folders
// (Computer, Network, Libraries, the user's files), This PC's folders of
// Windows 10 and later, known folders and Control Panel's categories.
#include <windows.h>

#include <cstdint>
#include <string>

namespace veltrane {

// What a report shows for a folder the shell names by `id` (a class id or a
// known-folder id): the folder's path where it has one on this machine, else
// its name. Empty for an id not known here.
std::wstring ShellFolderText(const GUID& id);

// A Control Panel category's name; empty for a number not known here.
std::wstring ControlPanelCategoryName(uint32_t category);

}  // namespace veltrane
