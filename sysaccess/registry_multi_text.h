#pragma once
// A REG_MULTI_SZ value as its list of strings, read and written whole.
#include <windows.h>

#include <string>
#include <vector>

#include "sysaccess/reg_multi_text.h"

namespace veltrane {

struct [[nodiscard]] RegMultiText {
    enum class Kind {
        kRead,       // `strings` holds the list
        kMissing,    // no such value, or no such key
        kWrongType,  // it is there but not REG_MULTI_SZ (`type`)
        kFailed,     // it is there but could not be read (`error`)
    };
    Kind kind = Kind::kFailed;
    DWORD type = REG_NONE;
    DWORD error = ERROR_SUCCESS;
    std::vector<std::wstring> strings;
};

// The strings of the value, empty ones dropped (the list ends at the first
// empty string the system writes; one stored without it ends at its size).
RegMultiText ReadRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name);

// Writes `strings` (none empty) as a REG_MULTI_SZ, creating the key when missing.
[[nodiscard]] RegWriteOutcome WriteRegMultiText(HKEY root, const std::wstring& keyPath,
                                                const wchar_t* name,
                                                const std::vector<std::wstring>& strings);

}  // namespace veltrane
