#include "plugins/system/shortcut_shape.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "sysaccess/file_bytes.h"

namespace veltrane {

namespace {

// Bounds-checked little-endian reads over one stretch of the file.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool Has(size_t at, size_t count) const {
        return at <= bytes_.size() && count <= bytes_.size() - at;
    }
    uint32_t U16(size_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }
    // A NUL-terminated string of `unitSize`-byte units starting at `at`.
    bool Terminated(size_t at, size_t unitSize) const {
        for (; Has(at, unitSize); at += unitSize)
            if (unitSize == 1 ? Byte(at) == 0 : U16(at) == 0) return true;
        return false;
    }
    std::string_view Part(size_t at, size_t count) const { return bytes_.substr(at, count); }

private:
    uint32_t Byte(size_t at) const { return static_cast<unsigned char>(bytes_[at]); }
    std::string_view bytes_;
};

constexpr unsigned char kShellLinkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kHasTargetIdList = 0x1, kHasLinkInfo = 0x2, kIsUnicode = 0x80;
constexpr uint32_t kStringFlags[] = {0x4, 0x8, 0x10, 0x20, 0x40};

bool SoundIdList(const Reader& list, size_t size) {
    size_t at = 0;
    for (;;) {
        if (!list.Has(at, 2)) return false;
        uint32_t itemSize = list.U16(at);
        if (itemSize == 0) return at + 2 == size;
        if (itemSize < 2 || !list.Has(at, itemSize)) return false;
        at += itemSize;
    }
}

// An offset field naming a string inside `info` (0 means none where allowed).
bool SoundString(const Reader& info, size_t size, uint32_t offset, size_t unitSize) {
    return offset < size && info.Terminated(offset, unitSize);
}

bool SoundVolume(const Reader& volume, size_t size) {
    if (size < 0x10) return false;
    uint32_t labelOffset = volume.U32(12);
    if (labelOffset == 0x14) return size >= 0x14 && SoundString(volume, size, volume.U32(16), 2);
    return SoundString(volume, size, labelOffset, 1);
}

bool SoundNetworkLink(const Reader& link, size_t size) {
    if (size < 0x14 || !SoundString(link, size, link.U32(8), 1)) return false;
    uint32_t deviceOffset = link.U32(12);
    return deviceOffset == 0 || SoundString(link, size, deviceOffset, 1);
}

bool SoundLinkInfo(const Reader& info, size_t size) {
    if (size < 0x1C) return false;
    uint32_t headerSize = info.U32(4);
    if (headerSize < 0x1C || headerSize > size) return false;
    uint32_t flags = info.U32(8);
    if (flags & 0x1) {
        uint32_t volumeOffset = info.U32(12);
        if (volumeOffset < headerSize || !info.Has(volumeOffset, 4)) return false;
        uint32_t volumeSize = info.U32(volumeOffset);
        if (volumeOffset + uint64_t{volumeSize} > size) return false;
        if (!SoundVolume(Reader(info.Part(volumeOffset, volumeSize)), volumeSize)) return false;
        if (!SoundString(info, size, info.U32(16), 1)) return false;
        if (headerSize >= 0x24 && info.U32(28) != 0 && !SoundString(info, size, info.U32(28), 2))
            return false;
    }
    if (flags & 0x2) {
        uint32_t linkOffset = info.U32(20);
        if (linkOffset < headerSize || !info.Has(linkOffset, 4)) return false;
        uint32_t linkSize = info.U32(linkOffset);
        if (linkOffset + uint64_t{linkSize} > size) return false;
        if (!SoundNetworkLink(Reader(info.Part(linkOffset, linkSize)), linkSize)) return false;
    }
    if (!SoundString(info, size, info.U32(24), 1)) return false;
    return headerSize < 0x24 || info.U32(32) == 0 || SoundString(info, size, info.U32(32), 2);
}

// The extra blocks that hold fixed-size path fields must be whole.
bool SoundExtraBlock(uint32_t signature, uint32_t size) {
    switch (signature) {
        case 0xA0000001:  // environment variables
        case 0xA0000006:  // Darwin
        case 0xA0000007:  // icon environment
            return size == 0x314;
        default:
            return size >= 8;
    }
}

}  // namespace

bool IsSoundShortcut(std::string_view bytes) {
    Reader file(bytes);
    if (!file.Has(0, 0x4C) || file.U32(0) != 0x4C ||
        memcmp(bytes.data() + 4, kShellLinkClassId, sizeof(kShellLinkClassId)) != 0)
        return false;
    const uint32_t flags = file.U32(0x14);
    size_t at = 0x4C;
    if (flags & kHasTargetIdList) {
        if (!file.Has(at, 2)) return false;
        uint32_t size = file.U16(at);
        at += 2;
        if (!file.Has(at, size) || !SoundIdList(Reader(file.Part(at, size)), size)) return false;
        at += size;
    }
    if (flags & kHasLinkInfo) {
        if (!file.Has(at, 4)) return false;
        uint32_t size = file.U32(at);
        if (!file.Has(at, size) || !SoundLinkInfo(Reader(file.Part(at, size)), size)) return false;
        at += size;
    }
    for (uint32_t stringFlag : kStringFlags) {
        if (!(flags & stringFlag)) continue;
        if (!file.Has(at, 2)) return false;
        size_t length = size_t{file.U16(at)} * ((flags & kIsUnicode) ? 2 : 1);
        at += 2;
        if (!file.Has(at, length)) return false;
        at += length;
    }
    // Extra blocks up to the terminal one (a size below 4); a file may end without it.
    while (file.Has(at, 4)) {
        uint32_t size = file.U32(at);
        if (size < 4) break;
        if (!file.Has(at, size) || size < 8 || !SoundExtraBlock(file.U32(at + 4), size))
            return false;
        at += size;
    }
    return true;
}

bool IsSoundShortcutFile(const std::wstring& path) {
    // A shortcut is a few kilobytes: a file of more than a megabyte is none.
    const FileRead read = ReadFileBytes(path, 1 << 20);
    return read.Done() && IsSoundShortcut(read.bytes);
}

}  // namespace veltrane
