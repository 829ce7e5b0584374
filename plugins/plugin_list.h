#pragma once
// The plug-in list: every plug-in of the program, in its fixed order, with
// its id, category and weight. The one place that names them all.
#include <memory>
#include <vector>

#include "engine/kernel.h"

namespace veltrane {

struct PluginListEntry {
    PluginIdentity identity;
    std::unique_ptr<CPlugin> (*create)(CKernel& kernel, const PluginIdentity& identity);
};

const std::vector<PluginListEntry>& GetPluginListTable();

// Creates every plug-in of the table, in order, for `kernel`.
PluginList CreatePlugins(CKernel& kernel);

}  // namespace veltrane
