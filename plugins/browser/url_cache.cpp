#include "plugins/browser/url_cache.h"

#include <shlobj.h>
#include <wininet.h>

#include <optional>
#include <vector>

#include "engine/statistics.h"
#include "plugins/browser/url_domain.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/os_version.h"
#include "sysaccess/trace.h"
#include "sysaccess/url_cache_entries.h"

namespace veltrane {

namespace {

constexpr DWORD kKindBits = URLHISTORY_CACHE_ENTRY | COOKIE_CACHE_ENTRY;
constexpr unsigned kEntriesPerCheck = 100;
constexpr unsigned kDomainsPerDot = 5;
constexpr wchar_t kCannotDeleteFile[] = L"Cannot delete file";
constexpr wchar_t kCannotWipeFile[] = L"Cannot wipe file";

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

// What the entries of each kind are, in the words of an error's title.
const wchar_t* StoreName(UrlCacheKind kind) {
    switch (kind) {
        case UrlCacheKind::kHistory:
            return L"Internet Explorer history";
        case UrlCacheKind::kCookies:
            return L"Internet Explorer cookies";
        case UrlCacheKind::kFiles:
            return L"Internet Explorer cached files";
    }
    return L"Internet Explorer cached files";
}

// An error of one domain's entries, its title naming the store they are in.
ItemError EntryError(UrlCacheKind kind, const std::wstring& domain, ItemError::Reason reason,
                     DWORD code, bool reboot, std::wstring extra, std::wstring text) {
    ItemError error(ItemError::kStoreEntries, domain, reason, code, reboot, std::move(extra),
                    std::move(text));
    error.SetStore(StoreName(kind));
    return error;
}

// What the clean is to find again of an entry's local file.
void ReadEntryFile(UrlEntry& item) {
    IdentityReadOutcome read = ReadFileIdentity(item.localFile);
    switch (read.kind) {
        case IdentityRead::kRead:
            item.file = std::move(read.identity);
            return;
        case IdentityRead::kMissing:
            return;
        case IdentityRead::kRefused:
            item.refusal = std::move(read.reason);
            return;
        case IdentityRead::kFailed:
            item.refusal = L"The file could not be read at the scan.";
            item.readError = read.error;
            return;
    }
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
    if (!item.localFile.empty()) ReadEntryFile(item);
    domain.sizeSum += item.size;
    domain.urlItems.push_back(std::move(item));
    ++domain.itemCount;
    domain.hitRateSum += entry.dwHitRate;
}

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

std::wstring UrlCacheStoreFolder(UrlCacheKind kind) {
    int csidl = CSIDL_INTERNET_CACHE;
    if (kind == UrlCacheKind::kHistory) csidl = CSIDL_HISTORY;
    if (kind == UrlCacheKind::kCookies) csidl = CSIDL_COOKIES;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return {};
    return path;
}

CPlugin::Result EnumerateUrlCache(UrlCacheKind kind, DomainMap& domains, IRunProgress& run) {
    UrlCacheListing listing(UrlCachePattern(kind, IsRunningOnWine()));
    UrlCacheStep step = listing.Next();
    if (step.kind == UrlCacheStep::Kind::kFailed) {
        Trace(L"FindFirstUrlCacheEntry: Unnable to open Enumeration");
        return CPlugin::kFailed;
    }
    unsigned counter = 0;
    std::wstring dots;
    while (step.kind == UrlCacheStep::Kind::kEntry) {
        const INTERNET_CACHE_ENTRY_INFOW& entry = listing.Entry();
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
        step = listing.Next();
        if (step.kind == UrlCacheStep::Kind::kFailed) {
            Trace(L"FindNextUrlCacheEntry: Unnable open Enumeration");
            return CPlugin::kFailed;
        }
    }
    return CPlugin::kDone;
}

namespace {

// Removes an entry's local file exactly as the scan listed it, before the
// entry goes: WinInet deletes whatever the entry's path names at that
// moment. Nothing when the entry may go on; else the row's failure, and the
// entry stays with its file.
std::optional<ItemError> RemoveEntryFile(UrlCacheKind kind, const DomainInfo& domain,
                                         const UrlEntry& entry, IRunProgress& run) {
    auto ownText = [&](const std::wstring& reason) {
        return EntryError(kind, domain.name, ItemError::kOwnText, 0, false, L"", reason);
    };
    auto systemError = [&](DWORD code, bool reboot, const wchar_t* what) {
        return EntryError(kind, domain.name, ItemError::kSystemMessage, code, reboot,
                          entry.localFile, what);
    };
    if (entry.readError != ERROR_SUCCESS)
        return systemError(entry.readError, false, L"Cannot read file");
    if (!entry.refusal.empty()) return ownText(entry.refusal + L" (" + entry.localFile + L")");
    if (!entry.file) {
        // No file at the scan: one there now came after it, and stays.
        if (GetFileAttributesW(entry.localFile.c_str()) == INVALID_FILE_ATTRIBUTES)
            return std::nullopt;
        return ownText(ChangedSinceScan(entry.localFile + L": a file appeared after the scan"));
    }
    // A file in use by a page is not pulled from under it.
    if (TryUrlCacheEntryUseCount(entry.url).value_or(0) > 0)
        return systemError(ERROR_SHARING_VIOLATION, false, kCannotDeleteFile);
    const bool wipe = run.GetWipeFiles();
    const Removal removal = RemoveListedFile(*entry.file, wipe);
    switch (removal.kind) {
        case RemovalKind::kRemoved:
        case RemovalKind::kRemovedWithoutOverwrite:
        case RemovalKind::kGone:
            return std::nullopt;
        case RemovalKind::kDeferred:
            run.SetRebootNeeded();
            return systemError(removal.error, true, wipe ? kCannotWipeFile : kCannotDeleteFile);
        case RemovalKind::kChanged:
            return ownText(ChangedSinceScan(entry.localFile + L": " + removal.change));
        case RemovalKind::kKept:
            // Asked before the entry was taken on; a rule read since then keeps it now.
            return ownText(entry.localFile + L" is kept, so its entry stays");
        case RemovalKind::kFailed:
            break;
    }
    return systemError(removal.error, false, wipe ? kCannotWipeFile : kCannotDeleteFile);
}

// Removes the entries of one domain; false when the run was cancelled. The
// row shows its first failure; the entries after it are still removed.
bool DeleteDomainEntries(UrlCacheKind kind, const std::wstring& store, DomainInfo& domain,
                         IRunProgress& run, UrlEntryOutcomes& outcomes,
                         const CookieKeepList* keep) {
    auto fail = [&domain](ItemError error) {
        if (domain.error) return;
        domain.result = error.IsReboot() ? DomainInfo::kRebootNeeded : DomainInfo::kError;
        domain.error = std::move(error);
    };
    size_t keptCount = 0;
    for (const UrlEntry& entry : domain.urlItems) {
        if (run.IsCancelled()) return false;
        UrlEntryOutcome& outcome = outcomes[entry.url];
        outcome.kept = run.MayRemove(UrlEntryItemRef(store, entry.url));
        // An entry whose file a rule or the age limit keeps stays with it.
        if (!outcome.kept.Keeps() && entry.file)
            outcome.kept = run.MayRemove(FileItemRef(entry.file->path, entry.file->lastWrite));
        if (outcome.kept.Keeps()) {
            outcome.kind = UrlEntryOutcome::Kind::kKept;
            ++keptCount;
            continue;
        }
        if (keep && keep->Keeps(GetCookieEntryHost(entry.url))) {
            outcome.kind = UrlEntryOutcome::Kind::kOnKeepList;
            ++keptCount;
            continue;
        }
        outcome.kind = UrlEntryOutcome::Kind::kFailed;
        if (!entry.localFile.empty()) {
            // While its file is there the entry stays, so that WinInet deletes nothing by name.
            if (std::optional<ItemError> left = RemoveEntryFile(kind, domain, entry, run)) {
                fail(std::move(*left));
                continue;
            }
        }
        const UrlEntryDeletion deletion = DeleteUrlCacheEntryOf(entry.url);
        if (deletion.kind != UrlEntryDeletion::Kind::kFailed) {
            outcome.kind = UrlEntryOutcome::Kind::kRemoved;
            continue;
        }
        fail(EntryError(kind, domain.name, ItemError::kSystemMessage, deletion.error, false,
                        entry.url, kCannotDeleteSubitem));
    }
    if (!domain.error)
        domain.result = !domain.urlItems.empty() && keptCount == domain.urlItems.size()
                            ? DomainInfo::kKept
                            : DomainInfo::kDeleted;
    return true;
}

}  // namespace

std::wstring UrlEntryStore(UrlCacheKind kind) {
    std::wstring folder = UrlCacheStoreFolder(kind);
    return folder.empty() ? StoreName(kind) : folder;
}

ItemRef UrlEntryItemRef(const std::wstring& store, const std::wstring& url) {
    return {ItemKind::kStoreEntry, store, url, {}};
}

CPlugin::Result DeleteUrlCacheDomains(UrlCacheKind kind, DomainMap& domains, IRunProgress& run,
                                      const CookieKeepList* keep, UrlEntryOutcomes* outcomes) {
    UrlEntryOutcomes unasked;
    if (outcomes == nullptr) outcomes = &unasked;
    const std::wstring store = UrlEntryStore(kind);
    outcomes->clear();
    unsigned counter = 0;
    std::wstring dots;
    for (auto& [name, domain] : domains) {
        if (run.IsCancelled()) return CPlugin::kCancelled;
        if (++counter > kDomainsPerDot) {
            counter = 0;
            dots += L'.';
            run.ReportProgress(dots);
        }
        if (!DeleteDomainEntries(kind, store, domain, run, *outcomes, keep))
            return CPlugin::kCancelled;
    }
    return CPlugin::kDone;
}

}  // namespace veltrane
