#pragma once
// What the kernel needs from the window that shows a run. The main window
// implements it, and so does the unattended front end.
#include <windows.h>

#include <string>

namespace veltrane {

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
    // What the running plug-in works on, as plain text, and how far it is
    // (-1 when it does not count its steps).
    virtual void ShowProgress(const std::wstring& text, int step, int stepCount) = 0;
    // New markup for one element of the report on show (a report that redraws
    // a part of itself after a click); false when there is no such element.
    virtual bool RefillReportPart(const std::wstring& elementId, const std::wstring& html) = 0;

protected:
    ~IKernelView() = default;
};

}  // namespace veltrane
