#pragma once
// The texts that stand for registry data that is not text, wherever such data
// is shown or matched against a description.
#include <windows.h>

namespace veltrane {

inline constexpr wchar_t kBinaryDataMarker[] = L"#BINARY DATA#";
inline constexpr wchar_t kUnsupportedDataMarker[] = L"#UNSUPPORTED FORMAT DATA#";

// The marker for data of `type`; nothing for REG_SZ, which is shown as it is.
// REG_EXPAND_SZ counts as unsupported here, as it always has.
inline const wchar_t* DataMarkerFor(DWORD type) {
    if (type == REG_SZ) return nullptr;
    return type == REG_BINARY ? kBinaryDataMarker : kUnsupportedDataMarker;
}

}  // namespace veltrane
