#include "plugins/plugin_list.h"

#include "plugins/browser/ie_cache_plugins.h"
#include "plugins/browser/ie_forms_plugin.h"
#include "plugins/browser/netscape_plugins.h"
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
        {{L"Clipboard", 1, 0}, &Make<CPlgClipboard>},
        {{L"IEHistory", 0, 0}, &Make<CPlgIEHistory>},
        {{L"IECookies", 0, 0}, &Make<CPlgIECookies>},
        {{L"IEFileCache", 0, 0}, &Make<CPlgIECache>},
        {{L"IEFormsAutocomplete", 0, 0}, &Make<CPlgIEFormsAutocomplete>},
        {{L"NetscapeHistory", 2, 2}, &Make<CPlgNetscapeHistory>},
        {{L"NetscapeCookies", 2, 0}, &Make<CPlgNetscapeCookies>},
        {{L"NetscapeFormsManager", 2, 0}, &Make<CPlgNetscapeFormsManager>},
    };
    return table;
}

PluginList CreatePlugins(CKernel& kernel) {
    PluginList plugins;
    for (const PluginListEntry& entry : GetPluginListTable())
        plugins.push_back(entry.create(kernel, entry.identity));
    return plugins;
}
