#pragma once
// The About box: the program's version from its version resource and the
// links to the web site and the updates page.
#include <string>

#include "ui/dlg_base.h"

namespace veltrane {

inline constexpr wchar_t kAboutPage[] = L"Common\\about_layout.html";

class CDlgAbout : public CDlgBase {
public:
    CDlgAbout(const std::wstring& pageName, const std::wstring& language, CDlgBase* parent);

protected:
    void OnDocumentComplete(bool reattached) override;

private:
    std::wstring language_;
};

// "major.minor.build.revision" of a file's version resource; "0.0.0.0" when
// it has none. The last file asked for is remembered.
std::wstring GetFileVersionText(const std::wstring& path);
// The same for the running program.
std::wstring GetProgramVersionText();

}  // namespace veltrane
