#pragma once
// Where today's browsers keep their profiles, found the way each browser
// finds them: Chromium-family browsers from "Local State" and the profile
// folders on disk, Firefox from profiles.ini and its Profiles folder.
// Every folder handed out ends with a backslash.
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

struct BrowserProfile {
    std::wstring browser;      // "Google Chrome", "Brave Beta", "LibreWolf", ...
    std::wstring name;         // as the browser shows it, else the folder name
    std::wstring folder;       // the profile's own folder
    std::wstring cacheFolder;  // where its caches live (the Local AppData half)
    std::wstring lockFile;     // held open by the browser while the profile is in use
    // The folder that holds the browser's profiles, and what belongs to no one
    // profile (Chromium's User Data with its shader caches and crash reports,
    // the Firefox family's folder of profiles.ini and crash reports), and its
    // Local AppData twin (the same folder for Chromium but Opera).
    std::wstring userData;
    std::wstring userDataCache;
};
using BrowserProfiles = std::vector<BrowserProfile>;

// Every Chromium-family profile of the known browsers, channels and forks
// (one row each in a table) whose folder exists. Opera's profile is
// "Opera Stable\Default" today and was "Opera Stable" itself before: both
// are found by what is there.
BrowserProfiles FindChromiumProfiles();
// Every profile of the Firefox family (Firefox, its Store package, LibreWolf,
// Waterfox, Zen, Floorp) from each one's profiles.ini (relative and absolute
// paths) and Profiles folder whose folder exists.
BrowserProfiles FindFirefoxProfileList();
// Profiles whose folders are links are found too: the plug-ins list them and
// leave them alone (see FindProfileLink).

// Profiles of one User Data folder (Local State's info_cache plus Default and
// "Profile N" folders on disk); `cacheRoot` mirrors `userData` for the caches.
BrowserProfiles ChromiumProfilesIn(const std::wstring& browser, const std::wstring& userData,
                                   const std::wstring& cacheRoot);
// Profiles of one Firefox-family installation, named `browser`: `appDataRoot`
// holds profiles.ini, `localRoot` is its Local AppData twin.
BrowserProfiles FirefoxProfilesIn(const std::wstring& browser, const std::wstring& appDataRoot,
                                  const std::wstring& localRoot);

// A folder of a profile (its own, its caches' or User Data) that is reached
// through a link, and where it leads. A link is a common way to move a
// browser to another drive, and as common a way to lead a clean astray: such
// a profile is never cleaned.
struct ProfileLink {
    std::wstring folder;
    std::wstring target;  // empty when the system could not say
};
[[nodiscard]] std::optional<ProfileLink> FindProfileLink(const BrowserProfile& profile);

enum class ProfileLock { kFree, kInUse };
// A profile is in use while its browser holds the lock file open: an open for
// exclusive access then fails with a sharing violation. A missing lock file
// (or any other failure to open it) means the browser does not hold it.
ProfileLock CheckProfileLock(const std::wstring& lockFile);

}  // namespace veltrane
