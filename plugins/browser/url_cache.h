#pragma once
// The WinInet URL cache: enumeration of one kind of entry into the domain
// map, and deletion of the entries of every domain.
#include "engine/cookie_keep_list.h"
#include "plugins/browser/domain_info.h"

enum class UrlCacheKind : int { kHistory = 0, kCookies = 1, kFiles = 2 };

// 0 done (an empty cache too), 1 the enumeration failed, 3 cancelled.
int EnumerateUrlCache(UrlCacheKind kind, DomainMap& domains, IRunProgress& run);
// 0 done, 3 cancelled. Sets each domain's result and error. Cookie entries
// whose host `keep` keeps stay; a domain with nothing but such entries is kKept.
int DeleteUrlCacheDomains(UrlCacheKind kind, DomainMap& domains, IRunProgress& run,
                          const CookieKeepList* keep = nullptr);

// Wine's cache matches patterns as case-sensitive prefixes and enumerates
// every container for NULL; Windows takes the documented patterns.
const wchar_t* UrlCachePattern(UrlCacheKind kind, bool onWine);
