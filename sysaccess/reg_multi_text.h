#pragma once
// A REG_MULTI_SZ value as its list of texts, read and written through a key
// the caller opened (as itself, when a link there would matter).
#include <windows.h>

#include <string>
#include <vector>

namespace veltrane {

enum class MultiTextRead { kRead, kMissing, kNotList, kFailed };
struct [[nodiscard]] MultiTextOutcome {
    MultiTextRead kind = MultiTextRead::kFailed;
    DWORD error = ERROR_SUCCESS;      // kFailed
    DWORD type = REG_NONE;            // kNotList: what it is stored as
    std::vector<std::wstring> texts;  // kRead: every text, empty ones kept, in order
};
// The texts of `name`; a value of any other type than REG_MULTI_SZ is kNotList.
// Empty texts inside the list are kept (a list of pairs may hold them); the
// list ends at its double null or at the end of the data.
MultiTextOutcome ReadRegMultiText(HKEY key, const wchar_t* name);

enum class RegWrite { kWritten, kFailed };
struct [[nodiscard]] RegWriteOutcome {
    RegWrite kind = RegWrite::kFailed;
    DWORD error = ERROR_SUCCESS;

    bool Written() const { return kind == RegWrite::kWritten; }
    // What a registry call's status says of a write.
    static RegWriteOutcome Of(LSTATUS status) {
        if (status == ERROR_SUCCESS) return {RegWrite::kWritten, ERROR_SUCCESS};
        return {RegWrite::kFailed, static_cast<DWORD>(status)};
    }
};
// Writes `texts` (none may be empty: an empty text would end the list) as REG_MULTI_SZ.
RegWriteOutcome WriteRegMultiText(HKEY key, const wchar_t* name,
                                  const std::vector<std::wstring>& texts);

}  // namespace veltrane
