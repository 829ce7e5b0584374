#include "plugins/explorer/property_store.h"

namespace veltrane {

namespace {

constexpr uint32_t kStoreVersion = 0x53505331;  // "1SPS"
// Stores of this format name their values by strings instead of ids.
constexpr GUID kNamedValues = {
    0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
constexpr uint16_t kTextType = 0x001F;  // VT_LPWSTR

// A store: its size, version and format id, then its values, each with its
// size; a size of 0 ends both lists.
std::optional<std::wstring> FindInStore(const ItemBytes& store, const PropertyKey& key) {
    for (size_t offset = 24; auto valueSize = store.Dword(offset);) {
        if (*valueSize == 0 || *valueSize > store.Size() - offset) return std::nullopt;
        const ItemBytes value = store.Part(offset, *valueSize);
        offset += *valueSize;
        // Size, id and a reserved byte, then the type and its padding.
        if (value.Dword(4) != key.id) continue;
        if (value.Word(9) != kTextType) return std::nullopt;
        const auto characters = value.Dword(13);
        if (!characters || *characters == 0 || *characters > (value.Size() - 17) / 2)
            return std::nullopt;
        return value.Part(17, *characters * 2).Utf16(0);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::wstring> FindTextProperty(const ItemBytes& stores, const PropertyKey& key) {
    for (size_t offset = 0; auto size = stores.Dword(offset);) {
        if (*size < 24 || *size > stores.Size() - offset) return std::nullopt;
        const ItemBytes store = stores.Part(offset, *size);
        offset += *size;
        const auto formatId = store.Guid(8);
        if (store.Dword(4) != kStoreVersion || !formatId) return std::nullopt;
        if (IsEqualGUID(*formatId, kNamedValues) || !IsEqualGUID(*formatId, key.formatId)) continue;
        return FindInStore(store, key);
    }
    return std::nullopt;
}

}  // namespace veltrane
