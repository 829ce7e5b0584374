#pragma once
// The data sites keep in today's browser profiles, as the browsers lay it
// out: Chromium's IndexedDB, Local and Session Storage, service workers with
// their Cache Storage and script cache, and the File System (LevelDB stores
// written the way LevelDB leaves them before its first compaction: CURRENT,
// a MANIFEST and a log); Firefox's storage\default folder per origin, the
// quota manager's storage.sqlite and the Local Storage of old versions. Each
// lies beside an extension's storage, which is no site's and stays.
#include <string>
#include <utility>
#include <vector>

namespace veltrane {

namespace seeded {
// The sites with data: kSiteDataHost in every place, kKeptSiteHost in its own
// folders only (IndexedDB, Firefox's storage) and in Firefox's old Local
// Storage rows, kOtherSiteHost in Chromium's Local Storage and Firefox's
// storage (on port 8443).
inline constexpr char kSiteDataHost[] = "site-data.test";
inline constexpr char kKeptSiteHost[] = "kept-site.test";
inline constexpr char kOtherSiteHost[] = "other-site.test";
// A value every seeded site's storage holds.
inline constexpr char kSiteDataMarker[] = "site-data-trace";
inline constexpr char kExtensionId[] = "abcdefghijklmnopabcdefghijklmnop";
}  // namespace seeded

using LevelDbPairs = std::vector<std::pair<std::string, std::string>>;
// A LevelDB folder holding `entries` in its log, as LevelDB leaves it (the
// folders on the way are made).
bool WriteLevelDb(const std::wstring& folder, const LevelDbPairs& entries);

// Site data in the Chromium profile `folder`, beside an extension's storage.
bool WriteChromiumSiteData(const std::wstring& folder);
// Site data in the Firefox profile `folder`, beside the browser's and an
// extension's storage.
bool WriteFirefoxSiteData(const std::wstring& folder);

}  // namespace veltrane
