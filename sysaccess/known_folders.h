#pragma once
// Known folders of the user and of the machine, on every Windows the program
// starts on: Vista and later answer by folder id, older systems by CSIDL.
#include <windows.h>

#include <shlobj.h>

#include <string>

namespace veltrane {

// The path of a known folder: SHGetKnownFolderPath, or SHGetFolderPathW with the matching CSIDL
// on systems without it (resolve SHGetKnownFolderPath with GetProcAddress so the program still
// starts on systems that lack it). Empty when the system has no such folder.
std::wstring GetKnownFolderPath(const KNOWNFOLDERID& id);

}  // namespace veltrane
