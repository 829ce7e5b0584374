#pragma once
// Bounded reads of the little-endian fields in Explorer's binary data (shell
// items, their extension blocks, property stores): every read names its
// offset and gives nothing, rather than reading past the end.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace veltrane {

class ItemBytes {
public:
    ItemBytes() = default;
    explicit ItemBytes(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    ItemBytes(const uint8_t* data, size_t size) : bytes_(data, data ? size : 0) {}

    size_t Size() const { return bytes_.size(); }
    const uint8_t* Data() const { return bytes_.data(); }
    // The bytes from `offset`, at most `size` of them; empty past the end.
    ItemBytes Part(size_t offset, size_t size = SIZE_MAX) const;

    [[nodiscard]] std::optional<uint8_t> Byte(size_t offset) const;
    [[nodiscard]] std::optional<uint16_t> Word(size_t offset) const;
    [[nodiscard]] std::optional<uint32_t> Dword(size_t offset) const;
    [[nodiscard]] std::optional<uint64_t> Qword(size_t offset) const;
    [[nodiscard]] std::optional<GUID> Guid(size_t offset) const;
    // The zero-terminated text at `offset`, UTF-16 or in the ANSI code page;
    // nothing without a terminator. `end` receives the offset past it.
    [[nodiscard]] std::optional<std::wstring> Utf16(size_t offset, size_t* end = nullptr) const;
    [[nodiscard]] std::optional<std::wstring> Ansi(size_t offset, size_t* end = nullptr) const;
    // Where `signature` (four bytes) first stands at or after `from`.
    [[nodiscard]] std::optional<size_t> Find(uint32_t signature, size_t from) const;

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace veltrane
