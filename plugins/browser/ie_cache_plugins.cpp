#include "plugins/browser/ie_cache_plugins.h"

#include <shlobj.h>

#include <ctime>

#include "engine/kernel.h"
#include "engine/report_text.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/text.h"

namespace {

uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::wstring FormatAccessDate(const FILETIME& time) {
    constexpr uint64_t kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in FILETIME units
    constexpr uint64_t kTicksPerSecond = 10000000ULL;
    uint64_t value = FileTimeValue(time);
    time_t seconds =
        value < kUnixEpoch ? 0 : static_cast<time_t>((value - kUnixEpoch) / kTicksPerSecond);
    struct tm local = {};
    if (localtime_s(&local, &seconds) != 0) return {};
    wchar_t text[64] = {};
    wcsftime(text, 64, L"%d-%b-%y %H:%M", &local);
    return text;
}

CIEUrlCachePlugin::CIEUrlCachePlugin(CKernel& kernel, const PluginIdentity& identity,
                                     UrlCacheKind kind)
    : CDomainPlugin(kernel, identity), kind_(kind) {}

CPlugin::Result CIEUrlCachePlugin::Scan() {
    ClearDomains();
    const Result result = EnumerateUrlCache(kind_, domains_, Run());
    OrderDomains();
    return result;
}

CPlugin::Result CIEUrlCachePlugin::Fix() {
    ResetResults();
    if (auto refused = RefuseIfKeepListUnreadable()) return *refused;
    const Result result = DeleteUrlCacheDomains(
        kind_, domains_, Run(), UsesCookieKeepList() ? &GetKernel().GetCookieKeepList() : nullptr);
    CollectDomainErrors();
    return IsCancelled() ? kCancelled : result;
}

void CPlgIECache::OrderDomains() {
    BuildOrderedView(
        [](const DomainInfo& a, const DomainInfo& b) { return a.sizeSum > b.sizeSum; });
}

void CPlgIECache::FillRow(std::wstring& row, const DomainInfo& domain) const {
    CDomainPlugin::FillRow(row, domain);
    ReplaceAll(row, L"#size#", FormatSize(domain.sizeSum));
}

void CPlgIECache::FillTotals(std::wstring& totals) const {
    uint64_t items = 0;
    uint64_t bytes = 0;
    for (const DomainInfo* domain : view_) {
        items += static_cast<uint64_t>(domain->itemCount);
        bytes += domain->sizeSum;
    }
    ReplaceAll(totals, L"#numdom#", std::to_wstring(view_.size()));
    ReplaceAll(totals, L"#numit#", std::to_wstring(items));
    ReplaceAll(totals, L"#size#", FormatSize(bytes));
}

CPlugin::Result CPlgIEHistory::Scan() {
    ClearDomains();
    const Result result = EnumerateUrlCache(kind_, domains_, Run());
    if (IsCancelled()) return kCancelled;
    OrderDomains();
    return result;
}

CPlugin::Result CPlgIEHistory::Fix() {
    ResetResults();
    const Result result = DeleteUrlCacheDomains(kind_, domains_, Run());
    CollectDomainErrors();
    if (IsCancelled()) return kCancelled;
    wchar_t history[MAX_PATH] = {};
    if (SHGetSpecialFolderPathW(nullptr, history, CSIDL_HISTORY, FALSE)) {
        // A History folder that resolves to the user's own files is kept, and said so.
        PlaceVerdict verdict = CheckFolder(history, FolderAction::kEmpty);
        if (!verdict.allowed) {
            errors.emplace_back(ItemError::kFolder, history, ItemError::kOwnText, 0, false, L"",
                                verdict.reason);
            return IsCancelled() ? kCancelled : kFailed;
        }
        // Its outcome does not change the result: the entries are what was asked for.
        (void)DeleteFolderTree(history, &Run(), nullptr, nullptr, nullptr, L"*");
    }
    return IsCancelled() ? kCancelled : result;
}

void CPlgIEHistory::OrderDomains() {
    BuildOrderedView([](const DomainInfo& a, const DomainInfo& b) {
        return FileTimeValue(a.lastAccess) > FileTimeValue(b.lastAccess);
    });
}

void CPlgIEHistory::FillRow(std::wstring& row, const DomainInfo& domain) const {
    ReplaceAll(row, L"#name#", EscapeHtml(domain.name));
    ReplaceAll(row, L"#hitr#", std::to_wstring(domain.hitRateSum));
    ReplaceAll(row, L"#date#", FormatAccessDate(domain.lastAccess));
}
