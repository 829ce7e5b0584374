#include "plugins/browser/url_cache.h"

#include <wininet.h>

#include <vector>

#include "plugins/browser/url_domain.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/handles.h"
#include "sysaccess/os_version.h"
#include "sysaccess/trace.h"

namespace {

constexpr DWORD kFirstBufferSize = 0x10000;
constexpr DWORD kBufferSlack = 1024;
constexpr DWORD kKindBits = URLHISTORY_CACHE_ENTRY | COOKIE_CACHE_ENTRY;
constexpr unsigned kEntriesPerCheck = 100;
constexpr unsigned kDomainsPerDot = 5;

struct UrlCacheFindTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static bool Close(Type h) { return FindCloseUrlCache(h) != FALSE; }
};

bool IsSelected(UrlCacheKind kind, DWORD type) {
    switch (kind) {
        case UrlCacheKind::kHistory:
            return (type & URLHISTORY_CACHE_ENTRY) != 0;
        case UrlCacheKind::kCookies:
            return (type & COOKIE_CACHE_ENTRY) != 0;
        case UrlCacheKind::kFiles:
            return (type & kKindBits) == 0;
    }
    return false;
}

std::wstring EntryDomain(UrlCacheKind kind, const wchar_t* name) {
    switch (kind) {
        case UrlCacheKind::kHistory:
            return GetHistoryEntryDomain(name);
        case UrlCacheKind::kCookies:
            return GetCookieEntryDomain(name);
        case UrlCacheKind::kFiles:
            return GetUrlDomain(name);
    }
    return {};
}

ItemError::Kind ErrorKind(UrlCacheKind kind) {
    switch (kind) {
        case UrlCacheKind::kHistory:
            return ItemError::kIEHistory;
        case UrlCacheKind::kCookies:
            return ItemError::kIECookies;
        case UrlCacheKind::kFiles:
            return ItemError::kIECache;
    }
    return ItemError::kIECache;
}

void FileEntry(DomainMap& domains, const std::wstring& domainName,
               const INTERNET_CACHE_ENTRY_INFOW& entry) {
    DomainInfo& domain = FindOrAddDomain(domains, domainName);
    if (CompareFileTime(&domain.lastAccess, &entry.LastAccessTime) < 0)
        domain.lastAccess = entry.LastAccessTime;
    UrlEntry item;
    item.url = entry.lpszSourceUrlName ? entry.lpszSourceUrlName : L"";
    item.localFile = entry.lpszLocalFileName ? entry.lpszLocalFileName : L"";
    item.size = (static_cast<uint64_t>(entry.dwSizeHigh) << 32) | entry.dwSizeLow;
    domain.sizeSum += item.size;
    domain.urlItems.push_back(std::move(item));
    ++domain.itemCount;
    domain.hitRateSum += entry.dwHitRate;
}

// The entry buffer, grown on demand to what WinInet asks for plus some slack.
class EntryBuffer {
public:
    EntryBuffer() : bytes_(kFirstBufferSize) {}
    // Calls `read(info, &size)` (a FindFirst or FindNext call into the
    // buffer), growing the buffer as often as it is too small. False with
    // the call's error when it fails for another reason.
    template <typename Read>
    bool Fill(Read read, DWORD& error) {
        for (;;) {
            DWORD size = static_cast<DWORD>(bytes_.size());
            auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(bytes_.data());
            info->dwStructSize = size;
            if (read(info, &size)) return true;
            error = GetLastError();
            if (error != ERROR_INSUFFICIENT_BUFFER) return false;
            bytes_.assign(static_cast<size_t>(size) + kBufferSlack, 0);
        }
    }
    const INTERNET_CACHE_ENTRY_INFOW& Entry() const {
        return *reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOW*>(bytes_.data());
    }

private:
    std::vector<BYTE> bytes_;
};

}  // namespace

const wchar_t* UrlCachePattern(UrlCacheKind kind, bool onWine) {
    switch (kind) {
        case UrlCacheKind::kHistory:
            return onWine ? L"Visited:" : L"visited:";
        case UrlCacheKind::kCookies:
            return onWine ? L"Cookie:" : L"cookie:";
        case UrlCacheKind::kFiles:
            return onWine ? nullptr : L"*";
    }
    return nullptr;
}

CPlugin::Result EnumerateUrlCache(UrlCacheKind kind, DomainMap& domains, IRunProgress& run) {
    EntryBuffer buffer;
    const wchar_t* pattern = UrlCachePattern(kind, IsRunningOnWine());
    HANDLE found = nullptr;
    DWORD error = ERROR_SUCCESS;
    if (!buffer.Fill(
            [&](INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
                found = FindFirstUrlCacheEntryW(pattern, info, size);
                return found != nullptr;
            },
            error)) {
        if (error == ERROR_NO_MORE_ITEMS) return CPlugin::kDone;
        Trace(L"FindFirstUrlCacheEntry: Unnable to open Enumeration");
        return CPlugin::kFailed;
    }
    UniqueResource<UrlCacheFindTraits> enumeration(found);
    auto next = [&](INTERNET_CACHE_ENTRY_INFOW* info, DWORD* size) {
        return FindNextUrlCacheEntryW(enumeration.Get(), info, size) != FALSE;
    };

    unsigned counter = 0;
    std::wstring dots;
    for (;;) {
        const INTERNET_CACHE_ENTRY_INFOW& entry = buffer.Entry();
        if (IsSelected(kind, entry.CacheEntryType) && entry.lpszSourceUrlName)
            FileEntry(domains, EntryDomain(kind, entry.lpszSourceUrlName), entry);
        if (counter == kEntriesPerCheck) {
            counter = 0;
            if (run.IsCancelled()) return CPlugin::kCancelled;
            dots += L'.';
            run.ReportProgress(dots);
        } else {
            ++counter;
        }
        if (!buffer.Fill(next, error)) {
            if (error == ERROR_NO_MORE_ITEMS) return CPlugin::kDone;
            Trace(L"FindNextUrlCacheEntry: Unnable open Enumeration");
            return CPlugin::kFailed;
        }
    }
}

namespace {

// Removes the entries of one domain; false when the run was cancelled.
bool DeleteDomainEntries(UrlCacheKind kind, DomainInfo& domain, IRunProgress& run,
                         const CookieKeepList* keep) {
    const bool wipe = run.GetWipeFiles();
    const std::vector<UrlEntry> entries = domain.urlItems;
    auto fail = [&](DomainInfo::Result result, DWORD code, const std::wstring& extra,
                    const wchar_t* reason) {
        bool reboot = result == DomainInfo::kRebootNeeded;
        if (reboot) {
            if (ScheduleDeleteOnReboot(extra)) {
                run.SetRebootNeeded();
            } else {
                // Not scheduled: the file stays, and no reboot would remove it.
                reboot = false;
                result = DomainInfo::kError;
                code = GetLastError();
            }
        }
        domain.result = result;
        domain.error.emplace(ErrorKind(kind), domain.name, ItemError::kSystemMessage, code, reboot,
                             extra, reason);
    };
    size_t keptCount = 0;
    for (const UrlEntry& entry : entries) {
        if (run.IsCancelled()) return false;
        if (keep && keep->Keeps(GetCookieEntryHost(entry.url))) {
            ++keptCount;
            continue;
        }
        if (!entry.localFile.empty() && wipe) {
            const WipeResult wiped = WipeFile(entry.localFile);
            if (wiped.kind == WipeOutcome::kFailed) {
                fail(DomainInfo::kRebootNeeded, wiped.error, entry.localFile, L"Cannot wipe file");
                return true;
            }
        }
        if (DeleteUrlCacheEntryW(entry.url.c_str())) continue;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;
        if (!entry.localFile.empty())
            fail(DomainInfo::kRebootNeeded, error, entry.localFile, L"Cannot delete file");
        else
            fail(DomainInfo::kError, error, entry.url, L"Cannot delete subitem");
        return true;
    }
    domain.result =
        !entries.empty() && keptCount == entries.size() ? DomainInfo::kKept : DomainInfo::kDeleted;
    return true;
}

}  // namespace

CPlugin::Result DeleteUrlCacheDomains(UrlCacheKind kind, DomainMap& domains, IRunProgress& run,
                                      const CookieKeepList* keep) {
    unsigned counter = 0;
    std::wstring dots;
    for (auto& [name, domain] : domains) {
        if (run.IsCancelled()) return CPlugin::kCancelled;
        if (++counter > kDomainsPerDot) {
            counter = 0;
            dots += L'.';
            run.ReportProgress(dots);
        }
        if (!DeleteDomainEntries(kind, domain, run, keep)) return CPlugin::kCancelled;
    }
    return CPlugin::kDone;
}
