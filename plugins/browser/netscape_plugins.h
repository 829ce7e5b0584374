#pragma once
// Netscape 4, Mozilla suite and Firefox history, cookies and saved forms,
// listed by domain.
#include <vector>

#include "plugins/browser/domain_plugin.h"
#include "plugins/browser/netscape_files.h"

namespace veltrane {

class CNetscapePlugin : public CDomainPlugin {
public:
    using CDomainPlugin::CDomainPlugin;
    Result Scan() override;

protected:
    virtual bool ReadDomains() = 0;
};

// History and form files go whole, the files the scan read and no other;
// the domains only give the report its rows.
class CNetscapeWholeFilePlugin : public CNetscapePlugin {
public:
    using CNetscapePlugin::CNetscapePlugin;
    Result Fix() override;

protected:
    std::vector<WholeFile> files_;  // as the scan read them
};

class CPlgNetscapeHistory : public CNetscapeWholeFilePlugin {
public:
    using CNetscapeWholeFilePlugin::CNetscapeWholeFilePlugin;

protected:
    bool ReadDomains() override;
};

class CPlgNetscapeFormsManager : public CNetscapeWholeFilePlugin {
public:
    using CNetscapeWholeFilePlugin::CNetscapeWholeFilePlugin;

protected:
    bool ReadDomains() override;
};

class CPlgNetscapeCookies : public CNetscapePlugin {
public:
    using CNetscapePlugin::CNetscapePlugin;
    Result Fix() override;
    bool UsesCookieKeepList() const override { return true; }

protected:
    bool ReadDomains() override;
};

}  // namespace veltrane
