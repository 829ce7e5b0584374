#pragma once
// The WinInet URL cache: enumeration of one kind of entry into the domain
// map, and deletion of the entries of every domain.
#include "engine/cookie_keep_list.h"
#include "engine/plugin.h"
#include "plugins/browser/domain_info.h"

enum class UrlCacheKind : int { kHistory = 0, kCookies = 1, kFiles = 2 };

// Done (an empty cache too), failed when the enumeration could not start or
// go on, or cancelled.
CPlugin::Result EnumerateUrlCache(UrlCacheKind kind, DomainMap& domains, IRunProgress& run);
// Done or cancelled. Sets each domain's result and error. Cookie entries
// whose host `keep` keeps stay; a domain with nothing but such entries is kKept.
CPlugin::Result DeleteUrlCacheDomains(UrlCacheKind kind, DomainMap& domains, IRunProgress& run,
                                      const CookieKeepList* keep = nullptr);

// The folder WinInet keeps entries of `kind` in (the cache, History,
// Cookies); empty when the system names none.
std::wstring UrlCacheStoreFolder(UrlCacheKind kind);

// Wine's cache matches patterns as case-sensitive prefixes and enumerates
// every container for NULL; Windows takes the documented patterns.
const wchar_t* UrlCachePattern(UrlCacheKind kind, bool onWine);
