#pragma once
// Internet Explorer's cached files, cookies and history, cleaned through
// the WinInet URL cache: a row per domain heading a row per entry, each
// entry with its own check box; after the clean, the entries it kept.
#include <optional>

#include "plugins/browser/domain_plugin.h"
#include "plugins/browser/url_cache.h"
#include "sysaccess/file_walk.h"

namespace veltrane {

class CIEUrlCachePlugin : public CDomainPlugin {
public:
    CIEUrlCachePlugin(CKernel& kernel, const PluginIdentity& identity, UrlCacheKind kind);
    Result Scan() override;
    Result Fix() override;

protected:
    virtual void OrderDomains() = 0;
    // The domain's own row; by default its name and count.
    virtual void FillDomainRow(std::wstring& row, const DomainInfo& domain) const;
    // The domain's row, with its check-box group and its entries' rows after it.
    void FillRow(std::wstring& row, const DomainInfo& domain) const final;
    // The check-box attributes of a row that holds no entries; by default none.
    virtual std::wstring EntrylessRowAttributes(const DomainInfo& /*domain*/) const { return {}; }
    // Removes the entries of every domain, as the run keeps them.
    Result DeleteEntries(const CookieKeepList* keep = nullptr);
    // Why the store folder (the cache, History, Cookies) may not be cleaned
    // now: it is, or lies below, a link, or the guard keeps it. WinInet
    // would reach its index and files through that link.
    [[nodiscard]] std::optional<ItemError> StoreRefusal() const;
    // The scan of a store the guard refuses: one row that names the folder,
    // nothing listed. False when the store may be scanned.
    bool ShowRefusedStore();
    // The clean of a store the guard refuses now: every row fails with the
    // reason, nothing is touched. The clean's result when it refused.
    [[nodiscard]] std::optional<Result> RefuseStore();

    UrlCacheKind kind_;

private:
    const std::wstring entryStore_;  // UrlEntryStore, for the entries' keys
    UrlEntryOutcomes outcomes_;
    // The entry row pages, read on first use.
    mutable std::wstring entryScanPage_;
    mutable std::wstring entryCleanPage_;
};

class CPlgIECache : public CIEUrlCachePlugin {
public:
    CPlgIECache(CKernel& kernel, const PluginIdentity& identity)
        : CIEUrlCachePlugin(kernel, identity, UrlCacheKind::kFiles) {}

protected:
    void OrderDomains() override;
    void FillDomainRow(std::wstring& row, const DomainInfo& domain) const override;
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

// Besides the entries, the files and folders the History folder holds,
// listed at the scan (one row, the folder's item, with its own check box)
// and removed exactly as listed; unticked, the folder keeps all of them.
class CPlgIEHistory : public CIEUrlCachePlugin {
public:
    CPlgIEHistory(CKernel& kernel, const PluginIdentity& identity)
        : CIEUrlCachePlugin(kernel, identity, UrlCacheKind::kHistory) {}
    Result Scan() override;
    Result Fix() override;

protected:
    void OrderDomains() override;
    void FillDomainRow(std::wstring& row, const DomainInfo& domain) const override;
    std::wstring EntrylessRowAttributes(const DomainInfo& domain) const override;

private:
    // Lists the History folder, but for the entries' own index, which
    // WinInet empties; false when cancelled.
    bool ListHistoryFolder();
    void RemoveHistoryFiles();

    std::optional<FolderTreeListing> folderFiles_;
    std::wstring folderRow_;  // the row of the folder's files, by its name
};

// "07-Dec-26 00:15": the local time of a last access; before 1970 the
// runtime's time 0 is shown.
std::wstring FormatAccessDate(const FILETIME& time);

}  // namespace veltrane
