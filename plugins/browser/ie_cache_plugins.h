#pragma once
// Internet Explorer's cached files, cookies and history, cleaned through
// the WinInet URL cache, one row per domain.
#include "plugins/browser/domain_plugin.h"
#include "plugins/browser/url_cache.h"

class CIEUrlCachePlugin : public CDomainPlugin {
public:
    CIEUrlCachePlugin(CKernel& kernel, const PluginIdentity& identity, UrlCacheKind kind);
    Result Scan() override;
    Result Fix() override;

protected:
    virtual void OrderDomains() = 0;

    UrlCacheKind kind_;
};

class CPlgIECache : public CIEUrlCachePlugin {
public:
    CPlgIECache(CKernel& kernel, const PluginIdentity& identity)
        : CIEUrlCachePlugin(kernel, identity, UrlCacheKind::kFiles) {}

protected:
    void OrderDomains() override;
    void FillRow(std::wstring& row, const DomainInfo& domain) const override;
    void FillTotals(std::wstring& totals) const override;
};

class CPlgIECookies : public CIEUrlCachePlugin {
public:
    CPlgIECookies(CKernel& kernel, const PluginIdentity& identity)
        : CIEUrlCachePlugin(kernel, identity, UrlCacheKind::kCookies) {}
    bool UsesCookieKeepList() const override { return true; }

protected:
    void OrderDomains() override { BuildViewByItemCount(); }
};

class CPlgIEHistory : public CIEUrlCachePlugin {
public:
    CPlgIEHistory(CKernel& kernel, const PluginIdentity& identity)
        : CIEUrlCachePlugin(kernel, identity, UrlCacheKind::kHistory) {}
    Result Scan() override;
    Result Fix() override;

protected:
    void OrderDomains() override;
    void FillRow(std::wstring& row, const DomainInfo& domain) const override;
};

// "07-Dec-26 00:15": the local time of a last access; before 1970 the
// runtime's time 0 is shown.
std::wstring FormatAccessDate(const FILETIME& time);
