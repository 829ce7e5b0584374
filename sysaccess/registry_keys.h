#pragma once
// Opening (or making) a registry key, and listing the keys directly below one.
#include <windows.h>

#include <string>
#include <vector>

#include "sysaccess/handles.h"

namespace veltrane {

// The key opened with `access`; an empty owner when it cannot be opened.
RegKey OpenRegKey(HKEY root, const wchar_t* keyPath, REGSAM access);
// The key opened with whatever access the user is granted: a key that grants
// less than KEY_READ still opens, where OpenRegKey(.., KEY_READ) would fail.
RegKey OpenRegKeyAsGranted(HKEY root, const wchar_t* keyPath);
// The key opened, or made when it is not there, with whatever access the user
// is granted; an empty owner when it can be neither.
RegKey CreateRegKeyAsGranted(HKEY root, const wchar_t* keyPath);
// The names of the keys directly below `key`, in the registry's order. A name
// longer than a key name may be is passed over; any other failure ends the list.
std::vector<std::wstring> ListSubKeyNames(HKEY key);

}  // namespace veltrane
