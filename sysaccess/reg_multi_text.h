#pragma once
// A REG_MULTI_SZ value as its list of texts: read and written through a key
// the caller opened (as itself, when a link there would matter), or by the
// key's path.
#include <windows.h>

#include <string>
#include <vector>

#include "sysaccess/reg_write_outcome.h"

namespace veltrane {

enum class MultiTextRead {
    kRead,     // `texts` holds the list
    kMissing,  // no such value (by path: or no such key)
    kNotList,  // it is there but not REG_MULTI_SZ (`type`)
    kFailed,   // it is there but could not be read (`error`)
};
struct [[nodiscard]] MultiTextOutcome {
    MultiTextRead kind = MultiTextRead::kFailed;
    DWORD error = ERROR_SUCCESS;      // kFailed
    DWORD type = REG_NONE;            // kNotList: what it is stored as
    std::vector<std::wstring> texts;  // kRead: the texts, in order
};
// The texts of `name`; a value of any other type than REG_MULTI_SZ is kNotList.
// Empty texts inside the list are kept (a list of pairs may hold them); the
// list ends at its double null or at the end of the data.
MultiTextOutcome ReadRegMultiText(HKEY key, const wchar_t* name);
// The texts of the value at `keyPath`, up to the first empty one: the list
// ends there, as the system reads it.
MultiTextOutcome ReadRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name);

// Writes `texts` (none may be empty: an empty text would end the list) as REG_MULTI_SZ.
RegWriteOutcome WriteRegMultiText(HKEY key, const wchar_t* name,
                                  const std::vector<std::wstring>& texts);
// Writes the texts that are not empty to the value at `keyPath`, creating the key when missing.
RegWriteOutcome WriteRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name,
                                  const std::vector<std::wstring>& texts);

}  // namespace veltrane
