#pragma once
// The program's icon in the notification area: its tip, the menu on a right
// click, the default command on a double click. The commands go to a target
// window as WM_COMMAND.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <functional>
#include <string>

#include "ui/window_thunk.h"

namespace veltrane {

class CSystemTray {
public:
    // The notification message the icon sends to the tray's own window.
    static constexpr UINT kNotifyMessage = 40102;

    CSystemTray() = default;
    ~CSystemTray();
    CSystemTray(const CSystemTray&) = delete;
    CSystemTray& operator=(const CSystemTray&) = delete;

    // Adds the icon; `id` names both the icon and the menu resource. True when
    // the icon was added. Without a parent the tray's own window owns it.
    bool Create(HWND parent, UINT notifyMessage, const std::wstring& tip, HICON icon, UINT id);
    bool RemoveIcon();

    void SetMenuDefaultItem(UINT item, bool byPosition);
    void SetTargetWindow(HWND target) { target_ = target; }
    // Called with the menu just before it is shown.
    void SetPreMenuHook(std::function<void(HMENU)> hook) { preMenuHook_ = std::move(hook); }

    bool IsIconShown() const { return !removed_; }
    HWND GetWindow() const { return window_; }

    // The icon's mouse notification (wParam: icon id, lParam: mouse message).
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);

private:
    friend class WindowThunk<CSystemTray>;
    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool AddIcon();
    void ShowMenu(HWND target);

    NOTIFYICONDATAW data_ = {};
    HWND window_ = nullptr;
    HWND target_ = nullptr;
    std::function<void(HMENU)> preMenuHook_;
    UINT defaultItem_ = 0;
    bool defaultByPosition_ = false;
    bool created_ = false;
    bool removed_ = true;
    // Set by Create and cleared by RemoveIcon: an icon that belongs in the
    // taskbar comes back after a failed add or a new taskbar.
    bool wanted_ = false;
};

}  // namespace veltrane
