#pragma once
// One registry value read as text: the size-then-read dance done once, the
// text ending at its first NUL however the value was stored (with or without
// a terminator, or with several).
#include <windows.h>

#include <optional>
#include <string>

namespace veltrane {

enum class [[nodiscard]] RegTextRead{
    kRead,     // the value exists; its type and (for the types asked for) its text are set
    kMissing,  // no such value, or no such key
    kFailed,   // it exists but could not be read (access, a value that kept growing)
};

enum class RegTextTypes {
    kStringsOnly,  // REG_SZ and REG_EXPAND_SZ give their text; other types only their type
    kAnyType,      // every type's data is taken as text
};

struct RegText {
    DWORD type = REG_NONE;
    std::wstring text;
    DWORD error = ERROR_SUCCESS;  // the system's code when the read failed
};

// REG_SZ or REG_EXPAND_SZ.
bool IsStringType(DWORD type);

RegTextRead ReadRegText(HKEY key, const wchar_t* name, RegText& value,
                        RegTextTypes types = RegTextTypes::kStringsOnly);
// The same below `root`, the key opened for reading only for this.
RegTextRead ReadRegText(HKEY root, const wchar_t* keyPath, const wchar_t* name, RegText& value,
                        RegTextTypes types = RegTextTypes::kStringsOnly);
// Any type's data taken as text, for a value of at most `largest` bytes;
// nothing when the value is missing, cannot be read or is larger.
[[nodiscard]] std::optional<std::wstring> TryReadBoundedRegText(HKEY key, const wchar_t* name,
                                                                DWORD largest);

}  // namespace veltrane
