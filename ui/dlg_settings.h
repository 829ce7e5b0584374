#pragma once
// The settings dialog: overwrite files, start with Windows, keep running in
// the notification area, the cookies to keep. OK puts the choices into the
// options map; the kernel stores the map after the next completed scan or at
// program end.
#include <optional>
#include <string>

#include "app/settings_store.h"
#include "engine/cookie_keep_list.h"
#include "ui/dlg_base.h"

inline constexpr wchar_t kSettingsPage[] = L"DlgSettings.htm";

class CDlgSettings : public CDlgBase {
public:
    CDlgSettings(const std::wstring& pageName, CSettings& options, CDlgBase* parent);

protected:
    void OnDocumentComplete(bool reattached) override;

private:
    void OnOk();
    void OnKeepAdd(const std::wstring& domain);
    void OnKeepRemove(const std::wstring& domain);
    // Shows the list of cookies to keep and `message` under the domain box.
    void RenderKeepList(const std::wstring& message);

    CSettings& options_;
    bool overWrite_ = false;
    bool bootStartup_ = false;
    bool trayHide_ = false;
    CookieKeepList keepList_;
    bool loaded_ = false;
};

// A check box's "checked" attribute as a boolean; nothing when it is not one.
std::optional<bool> ParseCheckedAttribute(const std::optional<std::wstring>& value);
