#pragma once
// The Netscape-family trace files of every profile: readers that count
// them by domain and writers that remove them.
#include <optional>
#include <string>

#include "engine/cookie_keep_list.h"
#include "plugins/browser/domain_info.h"

namespace veltrane {

// The value of the first preference line that names `key`
// (user_pref("key", "value");), or nothing.
[[nodiscard]] std::optional<std::wstring> ReadPrefValue(const std::wstring& file,
                                                        const std::wstring& key);
// The file that preference `key` of `folder` + `prefsFile` names inside the
// profile folder; nothing when absent or when the value is not a plain file
// name (a value reaching out of the profile is never followed).
[[nodiscard]] std::optional<std::wstring> PrefNamedProfileFile(const std::wstring& folder,
                                                               const wchar_t* prefsFile,
                                                               const wchar_t* key);
// The domain of a "cookies.txt" line: the host before the first tab without
// a leading ".", or else without a leading "www." or "ftp.". Nothing for
// comment lines and lines without a tab.
[[nodiscard]] std::optional<std::wstring> CookieLineDomain(std::string_view lineText);

// True when every listed file was read; false also when cancelled.
bool GetNetscapeHistory(DomainMap& domains, IRunProgress& run);
bool GetNetscapeCookies(DomainMap& domains, IRunProgress& run);
bool GetNetscapeForms(DomainMap& domains, IRunProgress& run);

// True when every file went at once; false when one had to wait for the
// next system start (`error` then names the last one).
bool DeleteNetscapeHistory(IRunProgress& run, std::optional<ItemError>& error);
bool DeleteNetscapeForms(IRunProgress& run, std::optional<ItemError>& error);
// Rewrites every cookie file without the lines of the scanned domains, except
// the lines whose host `keep` keeps; sets each domain's result (kKept when all
// its lines stayed) and error. A cancel stops it between files. False when a
// file could not be rewritten.
bool DeleteNetscapeCookies(DomainMap& domains, IRunProgress& run,
                           const CookieKeepList& keep = CookieKeepList());

}  // namespace veltrane
