#pragma once
// Where Netscape 4, the Mozilla suite and Firefox keep their profiles.
// Every folder handed out ends with a backslash.
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

using ProfileList = std::vector<std::wstring>;

// Appends the salted folders of the Mozilla suite profiles (under the
// Windows folder's "Application Data", then the user's). `which` 0 takes
// every profile, n only the n-th entry of the listing. False when a shell
// folder cannot be resolved.
bool FindMozillaProfiles(ProfileList& list, int which);
// Appends the Firefox profile folders; false when the user's application
// data folder cannot be resolved.
bool FindFirefoxProfiles(ProfileList& list, int which);
// "<parent of Install Directory>\Users\<CurrentUser>\", or empty (also when
// CurrentUser is no plain folder name).
std::wstring GetNetscape4ProfileFolder();

// True when `name` joined to a folder names exactly one entry of that folder:
// no separators, wildcards or control characters, no trailing dot or space
// (Windows drops them, so ".." and "..." reach other folders) and no device
// name such as "NUL" or "COM1.txt".
bool IsPlainFileName(const std::wstring& name);

// The Mozilla profiles, the Firefox ones when asked, then the Netscape 4
// profile (possibly empty). Nothing when a finder fails.
[[nodiscard]] std::optional<ProfileList> BuildProfileList(bool withFirefox);

}  // namespace veltrane
