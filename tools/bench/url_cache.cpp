#include "bench/url_cache.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sysaccess/os_version.h"
#include "sysaccess/url_cache_entries.h"

namespace veltrane {

namespace {

// Wine's pattern matching differs from Windows': there only NULL lists the
// cache, and it lists the cookie and history containers too.
const wchar_t* CachePattern() { return IsRunningOnWine() ? nullptr : L""; }

bool IsCachedPage(const INTERNET_CACHE_ENTRY_INFOW& entry) {
    return (entry.CacheEntryType & (COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY)) == 0;
}

// Calls `visit` for every cached page; false when the enumeration failed.
template <typename Visit>
bool ForEachCachedPage(Visit visit) {
    UrlCacheListing listing(CachePattern());
    UrlCacheStep step = listing.Next();
    for (; step.kind == UrlCacheStep::Kind::kEntry; step = listing.Next())
        if (IsCachedPage(listing.Entry())) visit(listing.Entry());
    return step.kind == UrlCacheStep::Kind::kEnd;
}

}  // namespace

CacheCounts SeedUrlCache(int entries, int domains, int fileSize) {
    CacheCounts counts;
    const std::string content(fileSize, 'c');
    FILETIME never{};
    for (int i = 0; i < entries; ++i) {
        wchar_t url[128];
        swprintf(url, 128, L"http://www.site%04d.example/page%05d.html", i % domains, i);
        wchar_t local[MAX_PATH];
        if (!CreateUrlCacheEntryW(url, fileSize, L"html", local, 0)) {
            ++counts.failures;
            continue;
        }
        HANDLE file = CreateFileW(local, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        bool ok = file != INVALID_HANDLE_VALUE &&
                  WriteFile(file, content.data(), fileSize, &written, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        static const wchar_t headers[] = L"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
        if (ok && CommitUrlCacheEntryW(url, local, never, never, NORMAL_CACHE_ENTRY,
                                       const_cast<wchar_t*>(headers), wcslen(headers), nullptr,
                                       nullptr)) {
            ++counts.entries;
            counts.bytes += fileSize;
        } else {
            ++counts.failures;
        }
    }
    return counts;
}

CacheCounts ScanUrlCache() {
    CacheCounts counts;
    if (!ForEachCachedPage([&](const INTERNET_CACHE_ENTRY_INFOW& entry) {
            ++counts.entries;
            counts.bytes += entry.dwSizeLow;
        }))
        ++counts.failures;
    return counts;
}

CacheCounts DeleteUrlCache() {
    std::vector<std::wstring> urls;
    CacheCounts counts;
    if (!ForEachCachedPage([&](const INTERNET_CACHE_ENTRY_INFOW& entry) {
            urls.emplace_back(entry.lpszSourceUrlName);
            counts.bytes += entry.dwSizeLow;
        }))
        ++counts.failures;
    for (const std::wstring& url : urls) {
        if (DeleteUrlCacheEntryOf(url).kind != UrlEntryDeletion::Kind::kFailed)
            ++counts.entries;
        else
            ++counts.failures;
    }
    return counts;
}

}  // namespace veltrane
