#pragma once
// Internet Explorer's forms auto-complete: saved field values and web
// credentials, listed by domain and removed item key by item key. Each
// domain heads a group with a row per saved value, which the user may untick.
#include <string>

#include "plugins/browser/domain_plugin.h"
#include "plugins/browser/protected_storage.h"

namespace veltrane {

class CPlgIEFormsAutocomplete : public CDomainPlugin {
public:
    using CDomainPlugin::CDomainPlugin;
    Result Scan() override;
    Result Fix() override;

protected:
    // The domain's row as its items' group, and a row per saved value after
    // it; after the clean, only the values the run kept, each with why.
    void FillRow(std::wstring& row, const DomainInfo& domain) const override;

private:
    FormItemSeals seals_;  // what the scan's items held
    // The item row pages, read on first use.
    mutable std::wstring itemScanPage_;
    mutable std::wstring itemCleanPage_;
};

}  // namespace veltrane
