#pragma once
// A shape check of shortcut (.lnk) files before the shell reads them: the
// shell's loader trusts the sizes and offsets inside the file, and a damaged
// shortcut in the Recent folder must not bring the program down.
#include <string>
#include <string_view>

namespace veltrane {

// True when every size and offset of the header, item list, link info,
// strings and extra blocks stays inside the file and every string inside its
// block ends where it should.
bool IsSoundShortcut(std::string_view bytes);
// The same for the file at `path`; false when it cannot be read or is
// larger than any shortcut (1 MiB).
bool IsSoundShortcutFile(const std::wstring& path);

}  // namespace veltrane
