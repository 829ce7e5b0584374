#pragma once
// WinInet's URL cache one entry at a time: its listing, an entry's use count
// and an entry's deletion, each answering with the system's code.
#include <windows.h>
#include <wininet.h>

#include <optional>
#include <string>
#include <vector>

#include "sysaccess/handles.h"

namespace veltrane {

struct UrlCacheFindTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) { return FindCloseUrlCache(h) != FALSE; }
};

// What one step of a listing found.
struct [[nodiscard]] UrlCacheStep {
    enum class Kind { kEntry, kEnd, kFailed };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;  // the system's code for kFailed
};

// The entries whose URL matches a pattern, in WinInet's order.
class UrlCacheListing {
public:
    // `pattern` (nullptr: every entry) must outlive the listing.
    explicit UrlCacheListing(const wchar_t* pattern);
    // The first call starts the listing; each one reads the next entry into Entry().
    [[nodiscard]] UrlCacheStep Next();
    const INTERNET_CACHE_ENTRY_INFOW& Entry() const {
        return *reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOW*>(entry_.data());
    }

private:
    const wchar_t* pattern_;
    UniqueResource<UrlCacheFindTraits> find_;
    std::vector<BYTE> entry_;  // grown to what WinInet asks for
};

// How many callers use an entry now (a page on screen holds its file);
// nothing when it is gone or cannot be read.
[[nodiscard]] std::optional<DWORD> TryUrlCacheEntryUseCount(const std::wstring& url);

struct [[nodiscard]] UrlEntryDeletion {
    enum class Kind { kRemoved, kGone, kFailed };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;  // the system's code for kFailed
};
// Deletes the entry of that URL (and the file WinInet holds for it).
[[nodiscard]] UrlEntryDeletion DeleteUrlCacheEntryOf(const std::wstring& url);

}  // namespace veltrane
