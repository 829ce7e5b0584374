#pragma once
// The classic dialog shown at start while "ShowWelcome" is 1: what a scan
// and a cleaning do, a link to the updates page, and "Do not show this again".
#include <windows.h>

inline constexpr wchar_t kShowWelcomeValue[] = L"ShowWelcome";

class CDlgWelcome {
public:
    explicit CDlgWelcome(HWND parent) : parent_(parent) {}
    ~CDlgWelcome();
    CDlgWelcome(const CDlgWelcome&) = delete;
    CDlgWelcome& operator=(const CDlgWelcome&) = delete;

    INT_PTR DoModal();

    // Whether the options ask for the dialog: "ShowWelcome" is a REG_DWORD 1.
    static bool IsDue();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    void OnBegin(HWND dialog);

    HWND parent_;
    HFONT underlined_ = nullptr;
};
