#include "plugins/plugin_list.h"

#include "plugins/browser/chromium_plugins.h"
#include "plugins/browser/firefox_plugins.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "plugins/browser/ie_forms_plugin.h"
#include "plugins/browser/netscape_cache_plugin.h"
#include "plugins/browser/netscape_plugins.h"
#include "plugins/explorer/explorer_plugins.h"
#include "plugins/standard/catalogue.h"
#include "plugins/system/clipboard.h"
#include "plugins/system/message_history.h"
#include "plugins/system/office_recent.h"
#include "plugins/system/recycle_bin.h"
#include "plugins/system/windows_recent.h"

namespace {

template <typename Plugin>
std::unique_ptr<CPlugin> Make(CKernel& kernel, const PluginIdentity& identity) {
    return std::make_unique<Plugin>(kernel, identity);
}

}  // namespace

const std::vector<PluginListEntry>& GetPluginListTable() {
    // Order, id, category and weight of every plug-in.
    static const std::vector<PluginListEntry> table = {
        {{L"RecycleBin", 1, 0}, &Make<CPlgRecycleBin>},
        {{L"WinRecUsed", 1, 1}, &Make<CPlgWinRecUsed>},
        {{L"MSOfficeRecUsed", 1, 0}, &Make<CPlgMSOfficeRecUsed>},
        {{L"MessageHistory", 1, 0}, &Make<CPlgMessageHistory>},
        {{L"RunHistory", 1, 0}, &Make<CPlgRunHistory>},
        {{L"OrderHistory", 1, 0}, &Make<CPlgOrderHistory>},
        {{L"OpenHistory", 1, 0}, &Make<CPlgOpenHistory>},
        {{L"TempDir", 1, 0}, &Make<CPlgTempDir>},
        {{L"RegeditLastKey", 1, 0}, &Make<CPlgRegeditLastKey>},
        {{L"NetLastUserLogon", 1, 0}, &Make<CPlgNetLastUserLogon>},
        {{L"NetLastDomainLogon", 1, 0}, &Make<CPlgNetLastDomainLogon>},
        {{L"FindHistory", 1, 0}, &Make<CPlgFindHistory>},
        {{L"Clipboard", 1, 0}, &Make<CPlgClipboard>},
        {{L"IEHistory", 0, 0}, &Make<CPlgIEHistory>},
        {{L"IECookies", 0, 0}, &Make<CPlgIECookies>},
        {{L"IEFileCache", 0, 0}, &Make<CPlgIECache>},
        {{L"IEAutoCompletePsw", 0, 0}, &Make<CPlgIEAutoCompletePsw>},
        {{L"IEFormsAutocomplete", 0, 0}, &Make<CPlgIEFormsAutocomplete>},
        {{L"IEAddressBarHistory", 0, 3}, &Make<CPlgIEAddressBarHistory>},
        {{L"AOLAddressBarHistory", 0, 0}, &Make<CPlgAOLAddressBarHistory>},
        {{L"IEDownload", 0, 0}, &Make<CPlgIEDownload>},
        {{L"IEHelper", 0, 0}, &Make<CPlgIEHelper>},
        {{L"NetscapeHistory", 2, 2}, &Make<CPlgNetscapeHistory>},
        {{L"NetscapeCookies", 2, 0}, &Make<CPlgNetscapeCookies>},
        {{L"NetscapeFileCache", 2, 0}, &Make<CPlgNetscapeCache>},
        {{L"NetscapeFormsManager", 2, 0}, &Make<CPlgNetscapeFormsManager>},
        {{L"OperaCache", 3, 0}, &Make<CPlgOperaCache>},
        {{L"OperaCookies", 3, 0}, &Make<CPlgOperaCookies>},
        {{L"OperaAddressHistory", 3, 0}, &Make<CPlgOperaAddressHistory>},
        {{L"WCMediaHistory", 4, 0}, &Make<CPlgWCMediaHistory>},
        {{L"RealPlayerPlaylist", 4, 0}, &Make<CPlgRealPlayerPlaylist>},
        {{L"ACDSeeHistory", 4, 0}, &Make<CPlgACDSeeHistory>},
        {{L"ChromiumHistory", 6, 0}, &Make<CPlgChromiumHistory>},
        {{L"ChromiumCookies", 6, 0}, &Make<CPlgChromiumCookies>},
        {{L"ChromiumCache", 6, 0}, &Make<CPlgChromiumCache>},
        {{L"ChromiumFormData", 6, 0}, &Make<CPlgChromiumFormData>},
        {{L"ChromiumSessions", 6, 0}, &Make<CPlgChromiumSessions>},
        {{L"FirefoxHistory", 7, 0}, &Make<CPlgFirefoxHistory>},
        {{L"FirefoxCookies", 7, 0}, &Make<CPlgFirefoxCookies>},
        {{L"FirefoxCache", 7, 0}, &Make<CPlgFirefoxCache>},
        {{L"FirefoxFormHistory", 7, 0}, &Make<CPlgFirefoxFormHistory>},
        {{L"FirefoxSessions", 7, 0}, &Make<CPlgFirefoxSessions>},
        {{L"ExplorerRecentDocs", 8, 0}, &Make<CPlgExplorerRecentDocs>},
        {{L"OpenSavePidlHistory", 8, 0}, &Make<CPlgOpenSavePidlHistory>},
        {{L"ExplorerTypedPaths", 8, 0}, &Make<CPlgExplorerTypedPaths>},
        {{L"ExplorerSearchHistory", 8, 0}, &Make<CPlgExplorerSearchHistory>},
        {{L"UserAssist", 8, 0}, &Make<CPlgUserAssist>},
        {{L"ShellBags", 8, 0}, &Make<CPlgShellBags>},
        {{L"JumpLists", 8, 0}, &Make<CPlgJumpLists>},
        {{L"ThumbnailCache", 8, 0}, &Make<CPlgThumbnailCache>},
        {{L"ErrorReports", 8, 0}, &Make<CPlgErrorReports>},
    };
    return table;
}

PluginList CreatePlugins(CKernel& kernel) {
    PluginList plugins;
    for (const PluginListEntry& entry : GetPluginListTable())
        plugins.push_back(entry.create(kernel, entry.identity));
    return plugins;
}
