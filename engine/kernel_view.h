#pragma once
// What the kernel needs from the window that shows a run. The main window
// implements it, and so does the unattended front end.
#include <windows.h>

#include <string>

class IKernelView {
public:
    // The window that receives the worker messages 1025 to 1027; null for none.
    virtual HWND GetMessageWindow() const = 0;
    // Without a window, the thread whose own queue receives them (0: none).
    // A front end with no window to show need not make one: under Wine the
    // first window of a process loads the display driver.
    virtual DWORD GetMessageThread() const { return 0; }
    // Refills the layout for the kernel's current mode; false when that failed.
    virtual bool RecomposeLayout() = 0;
    // Renders the process table again before a clean run starts.
    virtual void PrepareProcessArea() = 0;
    virtual void SetRowStatus(const std::wstring& pluginId, const std::wstring& text) = 0;
    virtual void ShowItemError(const std::wstring& title, const std::wstring& reason) = 0;
    // "Please reboot system to complete cleanup process."
    virtual void ShowRebootNotice() = 0;
    // A notice the user reads and confirms, such as a run that cannot start.
    virtual void ShowNotice(const std::wstring& text) { (void)text; }

protected:
    ~IKernelView() = default;
};
