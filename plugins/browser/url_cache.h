#pragma once
// The WinInet URL cache: enumeration of one kind of entry into the domain
// map, and deletion of the entries of every domain. Each entry is an item of
// its own: the user may keep it by unticking its row.
#include <map>
#include <string>

#include "engine/cookie_keep_list.h"
#include "engine/plugin.h"
#include "plugins/browser/domain_info.h"

namespace veltrane {

enum class UrlCacheKind : int { kHistory = 0, kCookies = 1, kFiles = 2 };

// Done (an empty cache too), failed when the enumeration could not start or
// go on, or cancelled.
CPlugin::Result EnumerateUrlCache(UrlCacheKind kind, DomainMap& domains, IRunProgress& run);
// What the clean did with one entry.
struct [[nodiscard]] UrlEntryOutcome {
    enum class Kind {
        kRemoved,     // gone (or gone already)
        kKept,        // the run kept it (`kept` says why): it stays
        kOnKeepList,  // its host is on the cookie keep-list: it stays
        kFailed,      // left; its domain's row says why
    };
    Kind kind = Kind::kRemoved;
    KeepVerdict kept;
};
using UrlEntryOutcomes = std::map<std::wstring, UrlEntryOutcome>;  // by the entry's URL

// The place entries of `kind` are named by: the folder WinInet keeps them in,
// so that a rule keeping that folder (or one above) keeps them too; the
// store's name when the system names no folder.
std::wstring UrlEntryStore(UrlCacheKind kind);
// The item an entry is, for the report's check boxes and the keep question:
// the entry in its store (UrlEntryStore), by its URL (its cached file is
// only part of it).
ItemRef UrlEntryItemRef(const std::wstring& store, const std::wstring& url);

// Done or cancelled. Sets each domain's result and error, and each entry's
// outcome in `outcomes` when given. An entry the run keeps (`run.MayRemove`)
// stays, and so does a cookie entry whose host `keep` keeps; a domain with
// nothing but kept entries is kKept.
CPlugin::Result DeleteUrlCacheDomains(UrlCacheKind kind, DomainMap& domains, IRunProgress& run,
                                      const CookieKeepList* keep = nullptr,
                                      UrlEntryOutcomes* outcomes = nullptr);

// The folder WinInet keeps entries of `kind` in (the cache, History,
// Cookies); empty when the system names none.
std::wstring UrlCacheStoreFolder(UrlCacheKind kind);

// Wine's cache matches patterns as case-sensitive prefixes and enumerates
// every container for NULL; Windows takes the documented patterns.
const wchar_t* UrlCachePattern(UrlCacheKind kind, bool onWine);

}  // namespace veltrane
