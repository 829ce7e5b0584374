#pragma once
// The dialog shown over the first page while "ShowWelcome" is 1: what a scan
// and a cleaning do, a link to the updates page, and "Do not show this again".
#include <windows.h>

#include "ui/dlg_base.h"

inline constexpr wchar_t kShowWelcomeValue[] = L"ShowWelcome";
inline constexpr wchar_t kWelcomePage[] = L"DlgWelcome.htm";

class CDlgWelcome : public CDlgBase {
public:
    explicit CDlgWelcome(CDlgBase* owner);

    // Whether the options ask for the dialog: "ShowWelcome" is a REG_DWORD 1.
    static bool IsDue();

private:
    // "Begin" stores the box's choice; closing the dialog stores nothing.
    void OnBegin();

    bool dontShow_ = false;
};
