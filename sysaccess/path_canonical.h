#pragma once
// One spelling for every way of naming a place on this machine's drives, so
// that the guard compares places, not spellings, and an item's recorded path
// can be compared with the final path of its open handle.
#include <string>
#include <string_view>

namespace veltrane {

// The drive-letter form of `path`: "\\?\", "\??\" and "\\.\" dropped,
// "\\?\UNC\server\share" read as "\\server\share", an administrative share of
// this machine (\\localhost\C$, \\127.0.0.1\C$, \\<its name>\C$) and a subst
// drive replaced by the folder they stand for, "." and ".." resolved, "/" read
// as "\", short (8.3) names made long, no trailing separator but after a drive
// ("C:\"). The case is kept. Empty when the path is not valid.
std::wstring CanonicalPath(const std::wstring& path);

// Whether two canonical paths name the same place: names differ only in case.
bool SamePath(std::wstring_view first, std::wstring_view second);

// Whether `inner` lies below `outer` (both canonical), at any depth.
bool IsPathBelow(std::wstring_view inner, std::wstring_view outer);

// The form of a canonical path that opens it whatever its length, read by the
// system as it stands: "\\?\C:\..." or "\\?\UNC\server\share\...".
std::wstring ExtendedLengthPath(const std::wstring& canonical);

}  // namespace veltrane
