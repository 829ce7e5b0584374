#pragma once
// Internet Explorer's forms auto-complete: saved field values and web
// credentials, listed by domain and removed item key by item key.
#include "plugins/browser/domain_plugin.h"
#include "plugins/browser/protected_storage.h"

class CPlgIEFormsAutocomplete : public CDomainPlugin {
public:
    using CDomainPlugin::CDomainPlugin;
    Result Scan() override;
    Result Fix() override;

private:
    FormItemSeals seals_;  // what the scan's items held
};
