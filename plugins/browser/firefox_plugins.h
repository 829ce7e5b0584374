#pragma once
// Current Firefox and its family (LibreWolf, Waterfox, Zen, Floorp): history
// (with the files that still name the sites visited: thumbnails, the jump
// list's icons, alternative services, crash reports), cookies, cache, saved
// form entries and sessions of every profile of profiles.ini, wherever it lives. Bookmarks stay
// with their pages; passwords (logins.json, key4.db, signons.sqlite), prefs.js and extensions are
// never touched; places.sqlite is never deleted whole.
#include "plugins/browser/profile_store_plugin.h"

namespace veltrane {

class CFirefoxPlugin : public CProfileStorePlugin {
public:
    using CProfileStorePlugin::CProfileStorePlugin;

protected:
    BrowserProfiles FindProfiles() const override { return FindFirefoxProfileList(); }
};

class CPlgFirefoxHistory : public CFirefoxPlugin {
public:
    using CFirefoxPlugin::CFirefoxPlugin;
    enum Store : int { kPlaces = 0, kFavicons = 1, kDownloads = 2, kFiles = 3, kCrashReports = 4 };

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;

private:
    void ScanDownloads(size_t index, const BrowserProfile& profile);
    void ScanLeftovers(size_t index, const BrowserProfile& profile);
    SqliteStatus ScanFavicons(size_t index, SqliteDb& db, const std::vector<std::string>& keptUrls);
};

class CPlgFirefoxCookies : public CFirefoxPlugin {
public:
    using CFirefoxPlugin::CFirefoxPlugin;
    bool UsesCookieKeepList() const override { return true; }

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;
};

class CPlgFirefoxCache : public CFirefoxPlugin {
public:
    using CFirefoxPlugin::CFirefoxPlugin;

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override {
        AddFolderRow(index, 0, L"cache2", profile.cacheFolder + L"cache2\\");
    }
    void CleanProfile(size_t index, const BrowserProfile&) override { DeleteFileRows(index, -1); }
};

class CPlgFirefoxFormHistory : public CFirefoxPlugin {
public:
    using CFirefoxPlugin::CFirefoxPlugin;

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;
};

class CPlgFirefoxSessions : public CFirefoxPlugin {
public:
    using CFirefoxPlugin::CFirefoxPlugin;

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile&) override { DeleteFileRows(index, -1); }
};

// What a history clean of places.sqlite removes, as the scan listed it: the
// places and visits of the rows that go, and (before version 55) the icons.
struct ListedPlaces {
    std::vector<int64_t> places;
    std::vector<int64_t> visits;
    std::vector<int64_t> oldIcons;
};
// The statements of a history clean of places.sqlite, in their order: the
// listed visits and the typed input of the listed places; those listed
// places no bookmark or keyword points to and no visit since the scan
// keeps; the visit data and frecency of the listed places kept; then the
// rows that pointed to places now gone (before version 55 also hosts and
// icons). Each runs only when its table exists.
SqliteStatus CleanFirefoxPlaces(SqliteDb& db, const ListedPlaces& listed);
// The listed pages of favicons.sqlite, and the listed icons no page left shows.
SqliteStatus CleanFirefoxFavicons(SqliteDb& db, const std::vector<int64_t>& pages,
                                  const std::vector<int64_t>& icons);

}  // namespace veltrane
