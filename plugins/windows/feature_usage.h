#pragma once
// Explorer's usage counters of Windows 10 and 11 (Explorer\FeatureUsage):
// how often each program was switched to, started from the taskbar, had its
// Jump List opened or its button badged, and each taskbar button clicked.
// The counters go, one value each; the keys and anything else in them stay.
#include "plugins/windows/registry_rows_plugin.h"

namespace veltrane {

class CPlgFeatureUsage : public CRegistryRowsPlugin {
public:
    CPlgFeatureUsage(CKernel& kernel, const PluginIdentity& identity);

protected:
    bool ScanValues() override;
};

}  // namespace veltrane
