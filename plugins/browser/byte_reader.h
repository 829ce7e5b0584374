#pragma once
// Little-endian and variable-length numbers and length-prefixed bytes, as
// LevelDB's files and protocol buffers (Cache Storage's index) hold them.
// A read past the end leaves the reader failed and gives zeroes.
#include <cstdint>
#include <string_view>

namespace veltrane {

class ByteReader {
public:
    explicit ByteReader(std::string_view data) : data_(data) {}

    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ >= data_.size(); }
    size_t Position() const { return pos_; }

    uint64_t Fixed(size_t bytes) {
        if (!Need(bytes)) return 0;
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i)
            value |= static_cast<uint64_t>(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
        pos_ += bytes;
        return value;
    }
    uint64_t Varint(int maxBytes = 10) {
        uint64_t value = 0;
        for (int shift = 0, count = 0; count < maxBytes; shift += 7, ++count) {
            if (!Need(1)) return 0;
            const unsigned char byte = static_cast<unsigned char>(data_[pos_++]);
            value |= static_cast<uint64_t>(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0) return value;
        }
        ok_ = false;
        return 0;
    }
    std::string_view Bytes(uint64_t count) {
        if (!Need(count)) return {};
        std::string_view bytes = data_.substr(pos_, static_cast<size_t>(count));
        pos_ += static_cast<size_t>(count);
        return bytes;
    }
    std::string_view Prefixed() { return Bytes(Varint(5)); }
    unsigned char Byte() { return static_cast<unsigned char>(Fixed(1)); }

private:
    bool Need(uint64_t count) {
        if (ok_ && count <= data_.size() - pos_) return true;
        ok_ = false;
        return false;
    }

    std::string_view data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace veltrane
