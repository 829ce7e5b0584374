#include "plugins/explorer/item_bytes.h"

#include <algorithm>

#include "sysaccess/text.h"

namespace veltrane {

ItemBytes ItemBytes::Part(size_t offset, size_t size) const {
    if (offset >= bytes_.size()) return {};
    return ItemBytes(bytes_.subspan(offset, std::min(size, bytes_.size() - offset)));
}

std::optional<uint8_t> ItemBytes::Byte(size_t offset) const {
    if (offset >= bytes_.size()) return std::nullopt;
    return bytes_[offset];
}

std::optional<uint16_t> ItemBytes::Word(size_t offset) const {
    if (offset >= bytes_.size() || bytes_.size() - offset < 2) return std::nullopt;
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
}

std::optional<uint32_t> ItemBytes::Dword(size_t offset) const {
    const auto low = Word(offset);
    const auto high = low ? Word(offset + 2) : std::nullopt;
    if (!high) return std::nullopt;
    return static_cast<uint32_t>(*low) | static_cast<uint32_t>(*high) << 16;
}

std::optional<uint64_t> ItemBytes::Qword(size_t offset) const {
    const auto low = Dword(offset);
    const auto high = low ? Dword(offset + 4) : std::nullopt;
    if (!high) return std::nullopt;
    return static_cast<uint64_t>(*low) | static_cast<uint64_t>(*high) << 32;
}

std::optional<GUID> ItemBytes::Guid(size_t offset) const {
    const auto data1 = Dword(offset);
    const auto data2 = data1 ? Word(offset + 4) : std::nullopt;
    const auto data3 = data2 ? Word(offset + 6) : std::nullopt;
    if (!data3 || bytes_.size() - offset < 16) return std::nullopt;
    GUID id{*data1, *data2, *data3, {}};
    for (size_t i = 0; i < 8; ++i) id.Data4[i] = bytes_[offset + 8 + i];
    return id;
}

std::optional<std::wstring> ItemBytes::Utf16(size_t offset, size_t* end) const {
    std::wstring text;
    for (size_t i = offset; Word(i); i += 2) {
        const wchar_t c = static_cast<wchar_t>(*Word(i));
        if (c == 0) {
            if (end) *end = i + 2;
            return text;
        }
        text += c;
    }
    return std::nullopt;
}

std::optional<std::wstring> ItemBytes::Ansi(size_t offset, size_t* end) const {
    for (size_t i = offset; i < bytes_.size(); ++i) {
        if (bytes_[i] != 0) continue;
        if (end) *end = i + 1;
        const auto* first = reinterpret_cast<const char*>(bytes_.data() + offset);
        return FromCodePage(std::string_view(first, i - offset), CP_ACP);
    }
    return std::nullopt;
}

std::optional<size_t> ItemBytes::Find(uint32_t signature, size_t from) const {
    for (size_t i = from; Dword(i); ++i)
        if (*Dword(i) == signature) return i;
    return std::nullopt;
}

}  // namespace veltrane
