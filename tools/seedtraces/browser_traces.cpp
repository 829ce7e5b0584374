#include "seedtraces/browser_traces.h"

#include <wininet.h>

#include <string>
#include <vector>

#include "sysaccess/file_bytes.h"

namespace veltrane {

namespace {

bool ReadEntry(const std::wstring& url, std::vector<BYTE>& buffer) {
    DWORD size = 0;
    GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size);
    if (size == 0) return false;
    buffer.assign(size, 0);
    return GetUrlCacheEntryInfoW(url.c_str(),
                                 reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()),
                                 &size) != FALSE;
}

}  // namespace

bool AddCacheEntry(const std::wstring& url, size_t size, const std::wstring& header) {
    wchar_t localFile[MAX_PATH] = {};
    if (!CreateUrlCacheEntryW(url.c_str(), static_cast<DWORD>(size), L"htm", localFile, 0))
        return false;
    if (!WriteWholeFile(localFile, std::string(size, 'x')).Done()) return false;
    FILETIME never = {};
    return CommitUrlCacheEntryW(url.c_str(), localFile, never, never, NORMAL_CACHE_ENTRY,
                                header.empty() ? nullptr : const_cast<wchar_t*>(header.c_str()),
                                static_cast<DWORD>(header.size()), nullptr, nullptr) != FALSE;
}

std::wstring HistoryEntryPrefix() {
    wchar_t user[260] = {};
    DWORD length = 260;
    GetUserNameW(user, &length);
    return std::wstring(L"Visited: ") + user + L"@";
}

bool AddHistoryEntry(const std::wstring& url, const FILETIME* accessTime) {
    const std::wstring name = HistoryEntryPrefix() + url;
    FILETIME never = {};
    if (!CommitUrlCacheEntryW(name.c_str(), nullptr, never, never, URLHISTORY_CACHE_ENTRY, nullptr,
                              0, nullptr, nullptr))
        return false;
    if (!accessTime) return true;
    INTERNET_CACHE_ENTRY_INFOW info = {};
    info.dwStructSize = sizeof(info);
    info.LastAccessTime = *accessTime;
    return SetUrlCacheEntryInfoW(name.c_str(), &info, CACHE_ENTRY_ACCTIME_FC) != FALSE;
}

bool AddCookie(const std::wstring& url, const std::wstring& name, const std::wstring& value) {
    const std::wstring data = value + L"; expires=Sat, 01-Jan-2039 00:00:00 GMT";
    return InternetSetCookieW(url.c_str(), name.c_str(), data.c_str()) != FALSE;
}

std::wstring CacheEntryLocalFile(const std::wstring& url) {
    std::vector<BYTE> buffer;
    if (!ReadEntry(url, buffer)) return {};
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    return info->lpszLocalFileName ? info->lpszLocalFileName : L"";
}

bool CacheEntryExists(const std::wstring& url) {
    std::vector<BYTE> buffer;
    return ReadEntry(url, buffer);
}

}  // namespace veltrane
