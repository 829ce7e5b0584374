#pragma once
// The data sites keep in a browser profile (IndexedDB, Local and Session
// Storage, service workers and their caches, the File System; Firefox's
// storage of each origin), one row per site and place, grouped by profile
// and site. The keep-list of cookies keeps a site's data as it keeps its
// cookies. An origin's own folder goes whole; a store shared by several
// origins that Veltrane can only remove whole (LevelDB) goes only when it
// holds nothing that stays (a kept site, an extension's data); one whose
// sites cannot all be read goes only while the keep-list is empty. A
// database shared by origins loses the rows of the sites not kept.
#include <map>
#include <string>
#include <vector>

#include "plugins/browser/profile_store_plugin.h"
#include "plugins/browser/site_data_places.h"

namespace veltrane {

class CSiteDataPlugin : public CProfileStorePlugin {
public:
    using CProfileStorePlugin::CProfileStorePlugin;
    Result Scan() override;
    bool UsesCookieKeepList() const override { return true; }

protected:
    // A row's share of a site's data, and what the clean does with it.
    struct RowShare {
        SitePiece piece;
        size_t profile = 0;
        int group = 0;
        DomainInfo* row = nullptr;
    };

    virtual SiteData FindSiteData(const BrowserProfile& profile) const = 0;
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;
    void FillRow(std::wstring& row, const DomainInfo& domain) const override;
    bool OffersKeepToggle(const DomainInfo& domain) const override;

    // What the clean of a profile removed, for what else names those origins.
    virtual void AfterClean(size_t /*index*/, const BrowserProfile& /*profile*/,
                            const std::vector<StorageOrigin>& /*removed*/) {}
    // The next free row group of profile `index`, for rows a family adds.
    int NextGroup(size_t index) { return nextGroup_[index]++; }
    // The place column of a row.
    void SetPlace(const DomainInfo& row, std::wstring place) { places_[&row] = std::move(place); }
    const std::map<const DomainInfo*, RowShare>& Shares() const { return shares_; }

private:
    // A shared store and the rows of its folders (or of a database the scan could not read).
    struct StoreRows {
        SharedStore store;
        std::vector<int> groups;
    };
    void AddShareRow(size_t index, const SitePiece& piece, const SiteData& found);
    void AddStoreRows(size_t index, const BrowserProfile& profile, const SiteData& found,
                      size_t number);
    void CleanStore(size_t index, size_t number, const BrowserProfile& profile,
                    const CookieKeepList& keep, std::vector<StorageOrigin>& removed);
    // A database store loses the rows of the sites that go.
    void CleanDatabaseStore(size_t index, const StoreRows& rows,
                            const std::vector<RowShare*>& going,
                            std::vector<StorageOrigin>& removed);

    std::map<const DomainInfo*, RowShare> shares_;
    std::map<const DomainInfo*, std::wstring> places_;
    std::map<size_t, std::vector<StoreRows>> stores_;
    std::map<size_t, std::vector<std::pair<int, ProfileLink>>> links_;
    std::map<size_t, int> nextGroup_;
};

class CPlgChromiumSiteData : public CSiteDataPlugin {
public:
    using CSiteDataPlugin::CSiteDataPlugin;

protected:
    BrowserProfiles FindProfiles() const override { return FindChromiumProfiles(); }
    SiteData FindSiteData(const BrowserProfile& profile) const override {
        return FindChromiumSiteData(profile);
    }
};

class CPlgFirefoxSiteData : public CSiteDataPlugin {
public:
    using CSiteDataPlugin::CSiteDataPlugin;

protected:
    BrowserProfiles FindProfiles() const override { return FindFirefoxProfileList(); }
    SiteData FindSiteData(const BrowserProfile& profile) const override {
        return FindFirefoxSiteData(profile);
    }
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    // Drops the removed origins from the quota manager's list and has it
    // counted anew at the next start.
    void AfterClean(size_t index, const BrowserProfile& profile,
                    const std::vector<StorageOrigin>& removed) override;

private:
    std::map<size_t, int> quotaGroups_;
};

}  // namespace veltrane
