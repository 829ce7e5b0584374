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
    // The store whose rows the report lists (kNetscape...Store).
    virtual const wchar_t* RowStore() const = 0;
    // Each domain row gets a box; the clean asks about each before it removes.
    bool OffersRowChoice() const override { return true; }
    void FillRow(std::wstring& row, const DomainInfo& domain) const override;
};

// History and form files go whole, the files the scan read and no other;
// the domains give the report its rows, and a row kept keeps its files.
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
    const wchar_t* RowStore() const override { return kNetscapeHistoryStore; }
};

class CPlgNetscapeFormsManager : public CNetscapeWholeFilePlugin {
public:
    using CNetscapeWholeFilePlugin::CNetscapeWholeFilePlugin;

protected:
    bool ReadDomains() override;
    const wchar_t* RowStore() const override { return kNetscapeFormsStore; }
};

class CPlgNetscapeCookies : public CNetscapePlugin {
public:
    using CNetscapePlugin::CNetscapePlugin;
    Result Fix() override;
    bool UsesCookieKeepList() const override { return true; }

protected:
    bool ReadDomains() override;
    const wchar_t* RowStore() const override { return kNetscapeCookiesStore; }
};

}  // namespace veltrane
