#pragma once
// The one window procedure that hands a window's messages to the C++ object
// behind it. The object is CreateWindowExW's creation parameter; it is kept
// in GWLP_USERDATA from WM_NCCREATE on and forgotten at WM_NCDESTROY, which
// the object still receives. Messages before WM_NCCREATE (WM_GETMINMAXINFO)
// and any after WM_NCDESTROY go to DefWindowProcW.
//
//   windowClass.lpfnWndProc = &WindowThunk<CMyWindow>::Proc;
//   LRESULT CMyWindow::OnWindowMessage(HWND, UINT, WPARAM, LPARAM);
//
// An owner that keeps OnWindowMessage private names the thunk its friend.
#include <windows.h>

namespace veltrane {

template <typename Owner>
class WindowThunk {
public:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!owner) return DefWindowProcW(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return owner->OnWindowMessage(window, message, wParam, lParam);
    }
};

}  // namespace veltrane
