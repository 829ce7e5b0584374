#pragma once
// Path macros of the plug-in descriptions, expanded afresh at every call:
// "[PATH_SYS_TEMP]", "[PATH_SYS_SHELL_HISTORY]", "%AppData%", the known
// folders "[PATH_KNOWN_RECENT]", "[PATH_KNOWN_LOCALAPPDATA]" and
// "[PATH_KNOWN_PROGRAMDATA]", ... in file
// paths, and "[WIN_USERNAME]" in registry key paths.
#include <string>

namespace veltrane {

// `anyEmpty` (optional) is set when a macro present in `path` expanded to the
// empty string: such a path points at nothing the description meant (an
// application that is not installed) and must be treated as absent.
std::wstring ExpandPathMacros(const std::wstring& path, bool* anyEmpty = nullptr);
std::wstring ExpandUserNameMacro(const std::wstring& keyPath);

}  // namespace veltrane
