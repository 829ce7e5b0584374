#pragma once
// Chrome, Edge, Brave, Vivaldi, Chromium, Opera, Yandex, Thorium and Arc
// with their channels: history (with the files that still name the sites
// visited, and crash reports), cookies, caches, saved form entries and
// sessions of every profile. Passwords, bookmarks,
// preferences and Local State are never touched, and no plug-in deletes a
// whole History or Web Data file: their rows go, the files stay.
#include <set>
#include <string>

#include "plugins/browser/profile_store_plugin.h"

namespace veltrane {

class CChromiumPlugin : public CProfileStorePlugin {
public:
    using CProfileStorePlugin::CProfileStorePlugin;

protected:
    BrowserProfiles FindProfiles() const override { return FindChromiumProfiles(); }
};

class CPlgChromiumHistory : public CChromiumPlugin {
public:
    using CChromiumPlugin::CChromiumPlugin;
    enum Store : int { kHistory = 0, kFavicons = 1, kFiles = 2, kCrashReports = 3 };

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;
};

class CPlgChromiumCookies : public CChromiumPlugin {
public:
    using CChromiumPlugin::CChromiumPlugin;
    bool UsesCookieKeepList() const override { return true; }

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;
};

class CPlgChromiumCache : public CChromiumPlugin {
public:
    using CChromiumPlugin::CChromiumPlugin;

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;
};

class CPlgChromiumFormData : public CChromiumPlugin {
public:
    using CChromiumPlugin::CChromiumPlugin;
    enum Store : int { kEntries = 0, kAddresses = 1 };

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile& profile) override;
};

class CPlgChromiumSessions : public CChromiumPlugin {
public:
    using CChromiumPlugin::CChromiumPlugin;

protected:
    void ScanProfile(size_t index, const BrowserProfile& profile) override;
    void CleanProfile(size_t index, const BrowserProfile&) override { DeleteFileRows(index, -1); }
};

// The URLs of a profile's Bookmarks and AccountBookmarks files (every "url"
// node below "roots").
std::set<std::string> ReadChromiumBookmarks(const std::wstring& profileFolder);
// The cookie database of a profile: Network\Cookies, else the older Cookies.
std::wstring ChromiumCookieFile(const BrowserProfile& profile);

}  // namespace veltrane
