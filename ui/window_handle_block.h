#pragma once
// A named block of shared memory whose first four bytes hold the main
// window's handle, so that other programs can find the running window.
#include <windows.h>

#include "sysaccess/handles.h"

namespace veltrane {

inline constexpr wchar_t kWindowHandleBlockName[] = L"VeltraneMapKey_1_0";

class CWindowHandleBlock {
public:
    static constexpr DWORD kSize = 1024;

    CWindowHandleBlock() = default;
    ~CWindowHandleBlock();
    CWindowHandleBlock(const CWindowHandleBlock&) = delete;
    CWindowHandleBlock& operator=(const CWindowHandleBlock&) = delete;

    // Creates the block (or opens the one that exists) and writes `window` into it.
    bool Publish(HWND window);

private:
    UniqueHandle mapping_;
    void* view_ = nullptr;
};

}  // namespace veltrane
