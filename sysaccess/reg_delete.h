#pragma once
// Registry deletion. Something that is already gone counts as deleted.
#include <windows.h>

#include "sysaccess/run_context.h"

// A null or empty key path means the root itself. `error` receives the Windows code.
bool DeleteRegKey(HKEY root, const wchar_t* keyPath, DWORD* error = nullptr);
bool DeleteEmptyRegKey(HKEY root, const wchar_t* keyPath, DWORD* error = nullptr);
bool DeleteRegValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                    DWORD* error = nullptr);
// The same on a key already opened with KEY_SET_VALUE, for loops over many values.
bool DeleteOpenRegValue(HKEY key, const wchar_t* valueName, DWORD* error = nullptr);

// Deletes every value in and below the key, then every sub-key (deepest
// first), leaving the key itself. True when nothing failed; false also when
// cancelled, keeping what was not deleted yet. `count` (may be null) receives
// the values and keys deleted; `counted`, as for the folder deletions, changes nothing.
bool DeleteRegTreeContents(HKEY root, const wchar_t* keyPath, const IRunContext* plugin,
                           bool counted, unsigned* count);

// Deletes the values named by `nameFormat` (one integer conversion) filled
// with first..last; `count` (may be null) receives how many went.
bool DeleteNumberedValues(HKEY root, const wchar_t* keyPath, const wchar_t* nameFormat, int first,
                          int last, const IRunContext* plugin, unsigned* count);
