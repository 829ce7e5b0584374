#include "ui/dlg_about.h"

#include <cstdio>
#include <vector>

#include "engine/page_reader.h"
#include "sysaccess/module_path.h"
#include "sysaccess/text.h"
#include "ui/open_url.h"
#include "ui/urls.h"

namespace veltrane {

std::wstring GetFileVersionText(const std::wstring& path) {
    static std::wstring cachedPath;
    static std::wstring cachedText;
    if (!cachedText.empty() && path == cachedPath) return cachedText;

    std::wstring text = L"0.0.0.0";
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (size != 0 && GetFileVersionInfoW(path.c_str(), 0, size, block.data()) &&
        VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) && info &&
        infoSize >= sizeof(VS_FIXEDFILEINFO)) {
        wchar_t buffer[64];
        swprintf(buffer, 64, L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                 LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                 LOWORD(info->dwFileVersionLS));
        text = buffer;
    }
    cachedPath = path;
    cachedText = text;
    return text;
}

std::wstring GetProgramVersionText() { return GetFileVersionText(ExecutablePath()); }

CDlgAbout::CDlgAbout(const std::wstring& pageName, const std::wstring& language, CDlgBase* parent)
    : CDlgBase(pageName, L"About", parent), language_(language) {
    BindEvent(L"control", PageEventKind::kClick, [this](const PageEvent& event) {
        auto command = event.attributes.find(L"cid");
        if (command != event.attributes.end() && command->second == L"btn_close") EndDialog(IDOK);
    });
    BindEvent(L"url", PageEventKind::kClick, [](const PageEvent&) { OpenUrl(SITE_URL); });
    BindEvent(L"urlUpdates", PageEventKind::kClick, [](const PageEvent&) { OpenUrl(UPDATES_URL); });
}

void CDlgAbout::OnDocumentComplete(bool reattached) {
    CDlgBase::OnDocumentComplete(reattached);
    IHtmlDocument* document = GetDocument();
    if (auto info = document->GetElementById(L"AboutInfo")) {
        std::wstring text = ReadPage(L"html/" + language_ + L"/about_text.html");
        ReplaceAll(text, L"#versionnumber#", GetProgramVersionText());
        info->SetInnerHtml(text);
    }
    if (auto place = document->GetElementById(L"PlaceForOk"))
        place->SetInnerHtml(ReadPage(L"html/" + language_ + L"/btn_close.html"));
}

}  // namespace veltrane
