#include "sysaccess/url_cache_entries.h"

#include "sysaccess/file_identity.h"

namespace veltrane {

namespace {

constexpr DWORD kFirstBufferSize = 0x10000;
constexpr DWORD kBufferSlack = 1024;

// Calls `read(info, &size)` (one WinInet call into `entry`), growing the
// buffer as often as it is too small; the call's error when it fails for
// another reason, else ERROR_SUCCESS.
template <typename Read>
DWORD FillEntry(std::vector<BYTE>& entry, Read read) {
    for (;;) {
        DWORD size = static_cast<DWORD>(entry.size());
        auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(entry.data());
        info->dwStructSize = size;
        if (read(info, &size)) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) return error;
        entry.assign(static_cast<size_t>(size) + kBufferSlack, 0);
    }
}

}  // namespace

UrlCacheListing::UrlCacheListing(const wchar_t* pattern)
    : pattern_(pattern), entry_(kFirstBufferSize) {}

UrlCacheStep UrlCacheListing::Next() {
    const DWORD error = FillEntry(entry_, [this](INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
        if (find_) return FindNextUrlCacheEntryW(find_.Get(), info, size) != FALSE;
        HANDLE found = FindFirstUrlCacheEntryW(pattern_, info, size);
        if (!found) return false;
        find_.Attach(found);
        return true;
    });
    if (error == ERROR_SUCCESS) return {UrlCacheStep::Kind::kEntry, ERROR_SUCCESS};
    if (error == ERROR_NO_MORE_ITEMS) return {UrlCacheStep::Kind::kEnd, ERROR_SUCCESS};
    return {UrlCacheStep::Kind::kFailed, error};
}

std::optional<DWORD> TryUrlCacheEntryUseCount(const std::wstring& url) {
    std::vector<BYTE> entry(kFirstBufferSize);
    if (FillEntry(entry, [&](INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
            return GetUrlCacheEntryInfoW(url.c_str(), info, size) != FALSE;
        }) != ERROR_SUCCESS)
        return std::nullopt;
    return reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOW*>(entry.data())->dwUseCount;
}

UrlEntryDeletion DeleteUrlCacheEntryOf(const std::wstring& url) {
    if (DeleteUrlCacheEntryW(url.c_str())) return {UrlEntryDeletion::Kind::kRemoved};
    const DWORD error = GetLastError();
    if (IsNotFoundError(error)) return {UrlEntryDeletion::Kind::kGone, error};
    return {UrlEntryDeletion::Kind::kFailed, error};
}

}  // namespace veltrane
