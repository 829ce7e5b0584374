#pragma once
// A message box as a page: a text, an icon and the buttons of a message-box
// type, shown as a modal frame over its owner's page and answered there with
// the same results as the system's box.
#include <windows.h>

#include <string>

#include "ui/dlg_base.h"

namespace veltrane {

inline constexpr wchar_t kNoticePage[] = L"DlgNotice.htm";

class CDlgNotice : public CDlgBase {
public:
    // `type` takes the MB_ button and icon flags of MessageBoxW.
    CDlgNotice(std::wstring text, std::wstring title, UINT type, CDlgBase* owner);

protected:
    void OnDocumentComplete(bool reattached) override;
    // The close box and Esc: Cancel where there is one, OK on a box with OK
    // alone, nothing on a Yes/No box (the system's box behaves the same).
    void OnCancel() override;

private:
    std::wstring text_;
    UINT type_;
};

// Shows a notice the user must answer: in the owner's page while one is
// attached, else as the system's message box. Returns what MessageBoxW would.
int ShowNotice(CDlgBase* owner, const std::wstring& text, const std::wstring& title, UINT type);

}  // namespace veltrane
