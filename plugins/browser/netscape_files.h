#pragma once
// The Netscape-family trace files of every profile: readers that count
// them by domain and writers that remove them.
#include <optional>
#include <set>
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

// The stores whose rows the Netscape-family reports list by domain: a row's
// item is StoreRowItemRef(<store>, <domain>), and the store names its errors.
inline constexpr wchar_t kNetscapeCookiesStore[] = L"Netscape cookies";
inline constexpr wchar_t kNetscapeHistoryStore[] = L"Netscape history";
inline constexpr wchar_t kNetscapeFormsStore[] = L"Netscape saved forms";

// A whole file a scan read: as the clean is to find it again, or why the
// clean must leave it (it is reached through a link or another name, or
// could not be identified), and the domains whose rows it holds.
struct WholeFile {
    FileIdentity identity;
    std::wstring refusal;
    std::set<std::wstring> domains;
};

// True when every listed file was read; false also when cancelled. The
// history and form readers add each file they read to `files`.
bool GetNetscapeHistory(DomainMap& domains, IRunProgress& run,
                        std::vector<WholeFile>* files = nullptr);
bool GetNetscapeCookies(DomainMap& domains, IRunProgress& run);
bool GetNetscapeForms(DomainMap& domains, IRunProgress& run,
                      std::vector<WholeFile>* files = nullptr);

// Removes the whole files a scan read, each only while it is the file the
// scan saw and the run keeps neither it nor a row of `store` it holds (a file
// goes whole or stays whole, so a row kept keeps every row beside it). Sets
// each domain's result, kept and error from its files: one left or deferred
// first, then one not reached (a cancel) or kept, then one removed; gone when
// all were gone.
void RemoveNetscapeFiles(const std::vector<WholeFile>& files, const wchar_t* store,
                         DomainMap& domains, IRunContext& run);
// Rewrites every cookie file without the lines of the scanned domains, except
// the lines whose host `keep` keeps; sets each domain's result (kKept when all
// its lines stayed) and error. A cancel stops it between files. False when a
// file could not be rewritten.
bool DeleteNetscapeCookies(DomainMap& domains, IRunProgress& run,
                           const CookieKeepList& keep = CookieKeepList());

}  // namespace veltrane
