#include "ui/window_handle_block.h"

#include <cstdint>

namespace veltrane {

CWindowHandleBlock::~CWindowHandleBlock() {
    if (view_) UnmapViewOfFile(view_);
}

bool CWindowHandleBlock::Publish(HWND window) {
    if (!view_) {
        mapping_.Attach(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize,
                                           kWindowHandleBlockName));
        if (!mapping_) return false;
        view_ = MapViewOfFile(mapping_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!view_) return false;
    }
    // Window handles fit in 32 bits on every Windows, 64-bit ones included.
    *static_cast<volatile uint32_t*>(view_) =
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
    return true;
}

}  // namespace veltrane
