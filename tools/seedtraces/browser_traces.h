#pragma once
// Browser traces written through the system's own interfaces: WinInet cache
// entries with local files, history entries and cookies. The seeder and the
// browser tests share them.
#include <windows.h>

#include <string>

namespace veltrane {

// A cached page of `size` bytes ("x" repeated) with `header` as its header
// information; false when WinInet refuses it.
bool AddCacheEntry(const std::wstring& url, size_t size, const std::wstring& header = {});
// "Visited: <user>@<url>", last accessed at `accessTime` when given.
bool AddHistoryEntry(const std::wstring& url, const FILETIME* accessTime = nullptr);
// A persistent cookie, which WinInet keeps as a "Cookie:" cache entry.
bool AddCookie(const std::wstring& url, const std::wstring& name, const std::wstring& value);
// The local file of a cache entry, or empty.
std::wstring CacheEntryLocalFile(const std::wstring& url);
bool CacheEntryExists(const std::wstring& url);
// "Visited: <user>@" for history entry names.
std::wstring HistoryEntryPrefix();

}  // namespace veltrane
