#pragma once
// The Netscape-family trace files of every profile: readers that count
// them by domain and writers that remove them.
#include <optional>
#include <string>
#include <vector>

#include "engine/cookie_keep_list.h"
#include "engine/item_outcome.h"
#include "plugins/browser/domain_info.h"
#include "sysaccess/file_identity.h"

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

// A whole file a scan read: as the clean is to find it again, or why the
// clean must leave it (it is reached through a link or another name).
struct WholeFile {
    FileIdentity identity;
    std::wstring refusal;
};

// True when every listed file was read; false also when cancelled. The
// history and form readers add each file they read to `files`.
bool GetNetscapeHistory(DomainMap& domains, IRunProgress& run,
                        std::vector<WholeFile>* files = nullptr);
bool GetNetscapeCookies(DomainMap& domains, IRunProgress& run);
bool GetNetscapeForms(DomainMap& domains, IRunProgress& run,
                      std::vector<WholeFile>* files = nullptr);

// Removes the whole files a scan read, each only while it is the file the
// scan saw and the run does not keep it. What the rows share: a file left or
// deferred first, then, when nothing went, one kept or gone; else removed.
[[nodiscard]] FileRemovalRow RemoveNetscapeFiles(const std::vector<WholeFile>& files,
                                                 IRunContext& run);
// Rewrites every cookie file without the lines of the scanned domains, except
// the lines whose host `keep` keeps; sets each domain's result (kKept when all
// its lines stayed) and error. A cancel stops it between files. False when a
// file could not be rewritten.
bool DeleteNetscapeCookies(DomainMap& domains, IRunProgress& run,
                           const CookieKeepList& keep = CookieKeepList());

}  // namespace veltrane
