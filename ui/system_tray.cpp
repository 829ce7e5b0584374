#include "ui/system_tray.h"

namespace veltrane {

namespace {

constexpr wchar_t kWindowClass[] = L"VeltraneTrayWindow";

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

}  // namespace

CSystemTray::~CSystemTray() {
    RemoveIcon();
    if (window_) DestroyWindow(window_);
}

bool CSystemTray::Create(HWND parent, UINT notifyMessage, const std::wstring& tip, HICON icon,
                         UINT id) {
    // Shells before version 4 have no notification area.
    if (LOBYTE(LOWORD(GetVersion())) < 4) return false;

    TaskbarCreatedMessage();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    if (!GetClassInfoW(instance, kWindowClass, &windowClass)) {
        windowClass.lpfnWndProc = &WindowThunk<CSystemTray>::Proc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassW(&windowClass);
    }
    window_ = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              instance, this);
    if (!window_) return false;
    created_ = true;

    data_.cbSize = sizeof(data_);
    data_.hWnd = parent ? parent : window_;
    data_.uID = id;
    data_.uCallbackMessage = notifyMessage;
    data_.hIcon = icon;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    lstrcpynW(data_.szTip, tip.c_str(), 128);
    wanted_ = true;
    return AddIcon();
}

bool CSystemTray::AddIcon() {
    if (Shell_NotifyIconW(NIM_ADD, &data_)) {
        removed_ = false;
        return true;
    }
    // Still there from before a taskbar restart: make sure it is ours as it stands.
    removed_ = !Shell_NotifyIconW(NIM_MODIFY, &data_);
    return !removed_;
}

bool CSystemTray::RemoveIcon() {
    wanted_ = false;
    if (created_ && !removed_) {
        NOTIFYICONDATAW remove = data_;
        remove.uFlags = 0;
        if (Shell_NotifyIconW(NIM_DELETE, &remove)) removed_ = true;
    }
    return removed_;
}

void CSystemTray::SetMenuDefaultItem(UINT item, bool byPosition) {
    defaultItem_ = item;
    defaultByPosition_ = byPosition;
}

LRESULT CSystemTray::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    if (wParam != data_.uID) return 0;
    HWND target = target_;
    if (!target) return 0;

    switch (LOWORD(lParam)) {
        case WM_RBUTTONUP:
            ShowMenu(target);
            return 1;
        case WM_LBUTTONDBLCLK: {
            SetForegroundWindow(target);
            UINT command = defaultItem_;
            if (defaultByPosition_) {
                HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(data_.uID));
                command = menu ? GetMenuItemID(GetSubMenu(menu, 0), defaultItem_) : 0;
                if (menu) DestroyMenu(menu);
            }
            if (command != 0 && command != static_cast<UINT>(-1))
                SendMessageW(target, WM_COMMAND, command, 0);
            return 1;
        }
    }
    return 0;
}

void CSystemTray::ShowMenu(HWND target) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(data_.uID));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        ::SetMenuDefaultItem(popup, defaultItem_, defaultByPosition_);
        POINT cursor = {};
        GetCursorPos(&cursor);
        SetForegroundWindow(target);
        if (preMenuHook_) preMenuHook_(popup);
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, target,
                       nullptr);
        // Lets the menu close when the user clicks elsewhere.
        PostMessageW(target, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
}

LRESULT CSystemTray::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == data_.uCallbackMessage && message != 0)
        return OnTrayNotification(wParam, lParam);
    // A new taskbar (Explorer restarted) has no icons; a changed setting
    // may have brought back a taskbar that refused the first add.
    if ((message == TaskbarCreatedMessage() || message == WM_SETTINGCHANGE) && wanted_ &&
        (message != WM_SETTINGCHANGE || removed_))
        AddIcon();
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace veltrane
