#pragma once
// The dialog shown over the first page while the option "ShowWelcome" is on:
// what a scan and a cleaning do, a link to the updates page, and "Do not show
// this again".
#include <windows.h>

#include "engine/kernel.h"
#include "ui/dlg_base.h"

namespace veltrane {

inline constexpr wchar_t kWelcomePage[] = L"DlgWelcome.htm";

class CDlgWelcome : public CDlgBase {
public:
    CDlgWelcome(CDlgBase* owner, CKernel& kernel);

private:
    // "Begin" hands the box's choice to the kernel; closing the dialog changes nothing.
    void OnBegin();

    CKernel& kernel_;
    bool dontShow_ = false;
};

}  // namespace veltrane
