#pragma once
// Paths that Windows writes with a known folder's id in place of the folder
// ("{6D809377-...}\Notepad++\notepad++.exe"), as its usage counters and the
// Timeline name programs, made readable.
#include <string>
#include <string_view>

namespace veltrane {

// `path` with a leading known-folder id replaced by that folder's path on
// this machine; unchanged when it starts with no id Windows knows here.
std::wstring ExpandKnownFolderPrefix(std::wstring_view path);

}  // namespace veltrane
