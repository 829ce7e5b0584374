#include "plugins/plugin_list.h"

namespace {

template <typename Plugin>
std::unique_ptr<CPlugin> Make(CKernel& kernel, const PluginIdentity& identity) {
    return std::make_unique<Plugin>(kernel, identity);
}

}  // namespace

const std::vector<PluginListEntry>& GetPluginListTable() {
    // Order, id, category and weight of every plug-in.
    static const std::vector<PluginListEntry> table = {};
    return table;
}

PluginList CreatePlugins(CKernel& kernel) {
    PluginList plugins;
    for (const PluginListEntry& entry : GetPluginListTable())
        plugins.push_back(entry.create(kernel, entry.identity));
    return plugins;
}
