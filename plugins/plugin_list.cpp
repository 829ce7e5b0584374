#include "plugins/plugin_list.h"

#include "plugins/browser/chromium_plugins.h"
#include "plugins/browser/firefox_plugins.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "plugins/browser/ie_forms_plugin.h"
#include "plugins/browser/netscape_cache_plugin.h"
#include "plugins/browser/netscape_plugins.h"
#include "plugins/browser/site_data_plugin.h"
#include "plugins/explorer/explorer_plugins.h"
#include "plugins/standard/catalogue.h"
#include "plugins/system/clipboard.h"
#include "plugins/system/message_history.h"
#include "plugins/system/office_recent.h"
#include "plugins/system/recycle_bin.h"
#include "plugins/system/windows_recent.h"
#include "plugins/windows/feature_usage.h"
#include "plugins/windows/office_recent_files.h"
#include "plugins/windows/windows_timeline.h"

namespace veltrane {

namespace {

template <typename Plugin>
std::unique_ptr<CPlugin> Make(CKernel& kernel, const PluginIdentity& identity) {
    return std::make_unique<Plugin>(kernel, identity);
}

}  // namespace

const std::vector<PluginListEntry>& GetPluginListTable() {
    using enum PluginCategory;
    // Every plug-in in list order. Weight (0 unless given) picks the report
    // shown after a run.
    static const std::vector<PluginListEntry> table = {
        {.identity = {.id = L"RecycleBin", .category = kSystem}, .create = &Make<CPlgRecycleBin>},
        {.identity = {.id = L"WinRecUsed", .category = kSystem, .weight = 1},
         .create = &Make<CPlgWinRecUsed>},
        {.identity = {.id = L"MSOfficeRecUsed", .category = kSystem},
         .create = &Make<CPlgMSOfficeRecUsed>},
        {.identity = {.id = L"MessageHistory", .category = kSystem},
         .create = &Make<CPlgMessageHistory>},
        {.identity = {.id = L"RunHistory", .category = kSystem}, .create = &Make<CPlgRunHistory>},
        {.identity = {.id = L"OrderHistory", .category = kSystem},
         .create = &Make<CPlgOrderHistory>},
        {.identity = {.id = L"OpenHistory", .category = kSystem}, .create = &Make<CPlgOpenHistory>},
        {.identity = {.id = L"TempDir", .category = kSystem}, .create = &Make<CPlgTempDir>},
        {.identity = {.id = L"RegeditLastKey", .category = kSystem},
         .create = &Make<CPlgRegeditLastKey>},
        {.identity = {.id = L"NetLastUserLogon", .category = kSystem},
         .create = &Make<CPlgNetLastUserLogon>},
        {.identity = {.id = L"NetLastDomainLogon", .category = kSystem},
         .create = &Make<CPlgNetLastDomainLogon>},
        {.identity = {.id = L"FindHistory", .category = kSystem}, .create = &Make<CPlgFindHistory>},
        {.identity = {.id = L"Clipboard", .category = kSystem}, .create = &Make<CPlgClipboard>},
        {.identity = {.id = L"IEHistory", .category = kIeAndAol}, .create = &Make<CPlgIEHistory>},
        {.identity = {.id = L"IECookies", .category = kIeAndAol}, .create = &Make<CPlgIECookies>},
        {.identity = {.id = L"IEFileCache", .category = kIeAndAol}, .create = &Make<CPlgIECache>},
        {.identity = {.id = L"IEAutoCompletePsw", .category = kIeAndAol},
         .create = &Make<CPlgIEAutoCompletePsw>},
        {.identity = {.id = L"IEFormsAutocomplete", .category = kIeAndAol},
         .create = &Make<CPlgIEFormsAutocomplete>},
        {.identity = {.id = L"IEAddressBarHistory", .category = kIeAndAol, .weight = 3},
         .create = &Make<CPlgIEAddressBarHistory>},
        {.identity = {.id = L"AOLAddressBarHistory", .category = kIeAndAol},
         .create = &Make<CPlgAOLAddressBarHistory>},
        {.identity = {.id = L"IEDownload", .category = kIeAndAol}, .create = &Make<CPlgIEDownload>},
        {.identity = {.id = L"IEHelper", .category = kIeAndAol}, .create = &Make<CPlgIEHelper>},
        {.identity = {.id = L"NetscapeHistory", .category = kNetscape, .weight = 2},
         .create = &Make<CPlgNetscapeHistory>},
        {.identity = {.id = L"NetscapeCookies", .category = kNetscape},
         .create = &Make<CPlgNetscapeCookies>},
        {.identity = {.id = L"NetscapeFileCache", .category = kNetscape},
         .create = &Make<CPlgNetscapeCache>},
        {.identity = {.id = L"NetscapeFormsManager", .category = kNetscape},
         .create = &Make<CPlgNetscapeFormsManager>},
        {.identity = {.id = L"OperaCache", .category = kOpera}, .create = &Make<CPlgOperaCache>},
        {.identity = {.id = L"OperaCookies", .category = kOpera},
         .create = &Make<CPlgOperaCookies>},
        {.identity = {.id = L"OperaAddressHistory", .category = kOpera},
         .create = &Make<CPlgOperaAddressHistory>},
        {.identity = {.id = L"WCMediaHistory", .category = kMultimedia},
         .create = &Make<CPlgWCMediaHistory>},
        {.identity = {.id = L"RealPlayerPlaylist", .category = kMultimedia},
         .create = &Make<CPlgRealPlayerPlaylist>},
        {.identity = {.id = L"ACDSeeHistory", .category = kMultimedia},
         .create = &Make<CPlgACDSeeHistory>},
        {.identity = {.id = L"ChromiumHistory", .category = kChromium},
         .create = &Make<CPlgChromiumHistory>},
        {.identity = {.id = L"ChromiumCookies", .category = kChromium},
         .create = &Make<CPlgChromiumCookies>},
        {.identity = {.id = L"ChromiumCache", .category = kChromium},
         .create = &Make<CPlgChromiumCache>},
        {.identity = {.id = L"ChromiumFormData", .category = kChromium},
         .create = &Make<CPlgChromiumFormData>},
        {.identity = {.id = L"ChromiumSessions", .category = kChromium},
         .create = &Make<CPlgChromiumSessions>},
        {.identity = {.id = L"ChromiumSiteData", .category = kChromium},
         .create = &Make<CPlgChromiumSiteData>},
        {.identity = {.id = L"FirefoxHistory", .category = kFirefox},
         .create = &Make<CPlgFirefoxHistory>},
        {.identity = {.id = L"FirefoxCookies", .category = kFirefox},
         .create = &Make<CPlgFirefoxCookies>},
        {.identity = {.id = L"FirefoxCache", .category = kFirefox},
         .create = &Make<CPlgFirefoxCache>},
        {.identity = {.id = L"FirefoxFormHistory", .category = kFirefox},
         .create = &Make<CPlgFirefoxFormHistory>},
        {.identity = {.id = L"FirefoxSessions", .category = kFirefox},
         .create = &Make<CPlgFirefoxSessions>},
        {.identity = {.id = L"FirefoxSiteData", .category = kFirefox},
         .create = &Make<CPlgFirefoxSiteData>},
        {.identity = {.id = L"ExplorerRecentDocs", .category = kWindows},
         .create = &Make<CPlgExplorerRecentDocs>},
        {.identity = {.id = L"OpenSavePidlHistory", .category = kWindows},
         .create = &Make<CPlgOpenSavePidlHistory>},
        {.identity = {.id = L"ExplorerTypedPaths", .category = kWindows},
         .create = &Make<CPlgExplorerTypedPaths>},
        {.identity = {.id = L"ExplorerSearchHistory", .category = kWindows},
         .create = &Make<CPlgExplorerSearchHistory>},
        {.identity = {.id = L"UserAssist", .category = kWindows}, .create = &Make<CPlgUserAssist>},
        {.identity = {.id = L"ShellBags", .category = kWindows}, .create = &Make<CPlgShellBags>},
        {.identity = {.id = L"JumpLists", .category = kWindows}, .create = &Make<CPlgJumpLists>},
        {.identity = {.id = L"ThumbnailCache", .category = kWindows},
         .create = &Make<CPlgThumbnailCache>},
        {.identity = {.id = L"ErrorReports", .category = kWindows},
         .create = &Make<CPlgErrorReports>},
        {.identity = {.id = L"WindowsTimeline", .category = kWindows},
         .create = &Make<CPlgWindowsTimeline>},
        {.identity = {.id = L"OfficeRecentFiles", .category = kWindows},
         .create = &Make<CPlgOfficeRecentFiles>},
        {.identity = {.id = L"FeatureUsage", .category = kWindows},
         .create = &Make<CPlgFeatureUsage>},
    };
    return table;
}

PluginList CreatePlugins(CKernel& kernel) {
    PluginList plugins;
    for (const PluginListEntry& entry : GetPluginListTable())
        plugins.push_back(entry.create(kernel, entry.identity));
    return plugins;
}

}  // namespace veltrane
