#pragma once
// The window that explains one failed item of a clean report: its title and
// its reason. One per kernel; it opens over the main page when an error link
// is clicked and goes away with its close button.
#include <string>

#include "ui/dlg_base.h"

namespace veltrane {

inline constexpr wchar_t kErrorPage[] = L"DlgError.htm";

class CDlgError : public CDlgBase {
public:
    explicit CDlgError(CDlgBase* owner);

    // Shows both texts; with either one empty the window is hidden instead.
    void ShowError(const std::wstring& title, const std::wstring& reason);
    void Hide() { ShowError({}, {}); }
    bool IsShown() const { return GetSafeHwnd() != nullptr; }

protected:
    void OnDocumentComplete(bool reattached) override;

private:
    void Refresh();

    std::wstring title_;
    std::wstring reason_;
    bool ready_ = false;
};

}  // namespace veltrane
