#pragma once
// What a write to the registry came to: written, or failed with the
// system's code.
#include <windows.h>

namespace veltrane {

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

}  // namespace veltrane
