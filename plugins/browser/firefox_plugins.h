#pragma once
// Current Firefox and its family (LibreWolf, Waterfox, Zen, Floorp): history
// (with the files that still name the sites visited: thumbnails, the jump
// list's icons, alternative services, crash reports), cookies, cache, saved
// form entries and sessions of every profile of profiles.ini, wherever it lives. Bookmarks stay
// with their pages; passwords (logins.json, key4.db, signons.sqlite), prefs.js and extensions are
// never touched; places.sqlite is never deleted whole.
#include "plugins/browser/profile_store_plugin.h"

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

// The statements of a history clean of places.sqlite, in their order: all
// visits and typed input; the places no bookmark or keyword points to; the
// visit data and frecency of the places and origins kept; then the rows
// that pointed to places now gone (before version 55 also hosts and icons).
// Each runs only when its table exists. Also the benchmark's reference.
SqliteStatus CleanFirefoxPlaces(SqliteDb& db);
// The icons of pages no longer in places.sqlite; `keptUrls` are its pages,
// whose sites keep their root icons too.
SqliteStatus CleanFirefoxFavicons(SqliteDb& db, const std::vector<std::string>& keptUrls);
