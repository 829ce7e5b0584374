#pragma once
// The serialized property stores that Explorer keeps inside some shell items
// (library and network items): a text property found by its format id and
// property id.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "plugins/explorer/item_bytes.h"

namespace veltrane {

struct PropertyKey {
    GUID formatId;
    uint32_t id;
};

// The text (VT_LPWSTR) of `key` in the stores held by `stores`; nothing when
// it is not there or the stores are not well formed.
[[nodiscard]] std::optional<std::wstring> FindTextProperty(const ItemBytes& stores,
                                                           const PropertyKey& key);

}  // namespace veltrane
