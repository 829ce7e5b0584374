#include "engine/statistics.h"
#include "plugins/browser/byte_file.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/netscape_profiles.h"
#include "sysaccess/file_delete.h"

namespace veltrane {

namespace {

// What a cookie error's title says the entries are.
constexpr wchar_t kCookieStoreName[] = L"Netscape cookies";

// Removes one profile file; false (with `error` filled) when it must wait
// for the next system start or could not go at all.
bool DeleteProfileFile(const std::wstring& path, IRunProgress& run,
                       std::optional<ItemError>& error) {
    const PathDeletion deleted = DeleteFileEx(path, run.GetWipeFiles());
    if (deleted.Removed()) return true;
    bool deferred = deleted.kind == DeleteOutcome::kDeferred;
    if (deferred) run.SetRebootNeeded();
    error.emplace(ItemError::kFile, path, ItemError::kSystemMessage, deleted.error, deferred, L"",
                  kCannotDeleteSubitem);
    return false;
}

// The host field of a cookie line as the browser wrote it ("www." and the
// leading "." included), for the keep-list.
std::wstring CookieLineHost(std::string_view lineText) {
    return BytesToWide(lineText.substr(0, lineText.find('\t')));
}

}  // namespace

bool DeleteNetscapeHistory(IRunProgress& run, std::optional<ItemError>& error) {
    std::optional<ProfileList> profiles = BuildProfileList(true);
    if (!profiles) return false;
    bool result = true;
    for (const std::wstring& folder : *profiles) {
        if (folder.empty()) continue;
        if (run.IsCancelled()) break;
        result = DeleteProfileFile(folder + L"History.dat", run, error) && result;
    }
    return result;
}

bool DeleteNetscapeForms(IRunProgress& run, std::optional<ItemError>& error) {
    std::optional<ProfileList> profiles = BuildProfileList(false);
    if (!profiles) return false;
    bool result = true;
    for (const std::wstring& folder : *profiles) {
        if (folder.empty()) continue;
        if (run.IsCancelled()) break;
        for (const wchar_t* prefs : {L"user.js", L"prefs.js"})
            for (const wchar_t* key : {L"signon.SignonFileName", L"wallet.SchemaValueFileName"})
                if (auto path = PrefNamedProfileFile(folder, prefs, key))
                    result = DeleteProfileFile(*path, run, error) && result;
    }
    return result;
}

bool DeleteNetscapeCookies(DomainMap& domains, IRunProgress& run, const CookieKeepList& keep) {
    std::optional<ProfileList> profiles = BuildProfileList(true);
    if (!profiles) return false;
    bool result = true;
    run.ReportProgress(L"");
    std::wstring dots = L".";
    int profileIndex = 0;
    for (const std::wstring& folder : *profiles) {
        ++profileIndex;
        if (folder.empty()) continue;
        // A cancel ends the clean between files: each file is rewritten whole
        // or not at all, and the domains not reached stay "Not processed".
        if (run.IsCancelled()) break;
        run.ReportProgress(dots);
        dots += L'.';
        const std::wstring path = folder + L"cookies.txt";
        std::string bytes;
        if (ReadByteFile(path, bytes) != ERROR_SUCCESS) continue;
        std::string kept;
        kept.reserve(bytes.size());
        for (std::string_view line : SplitLinesKeepingEnds(bytes)) {
            std::optional<std::wstring> name = CookieLineDomain(LineText(line));
            auto found = name ? domains.find(*name) : domains.end();
            if (found == domains.end()) {
                kept.append(line);
                continue;
            }
            DomainInfo& domain = found->second;
            if (keep.Keeps(CookieLineHost(LineText(line)))) {
                if (domain.result == DomainInfo::kNotProcessed) domain.result = DomainInfo::kKept;
                kept.append(line);
                continue;
            }
            if (domain.result == DomainInfo::kNotProcessed || domain.result == DomainInfo::kKept) {
                domain.result = DomainInfo::kDeleted;
                domain.profileIndex = profileIndex;
            }
            // A domain whose earlier file could not be rewritten keeps its lines here too.
            if (domain.result != DomainInfo::kDeleted) kept.append(line);
        }
        // Nothing of this file goes: it stays as it is, not even rewritten.
        if (kept.size() == bytes.size()) continue;
        const ReplaceOutcome replaced = ReplaceFileContent(path, kept, run.GetWipeFiles());
        if (replaced.kind == ReplaceResult::kReplaced ||
            replaced.kind == ReplaceResult::kReplacedWithoutOverwrite)
            continue;
        const DWORD code =
            replaced.kind == ReplaceResult::kRefused ? ERROR_ACCESS_DENIED : replaced.error;
        for (auto& [domainName, domain] : domains) {
            if (domain.profileIndex != profileIndex) continue;
            domain.result = DomainInfo::kError;
            domain.error
                .emplace(ItemError::kStoreEntries, domain.name, ItemError::kSystemMessage, code,
                         false, path, L"Cannot open file %s in write mode.")
                .SetStore(kCookieStoreName);
        }
        result = false;
    }
    if (!run.IsCancelled()) {
        for (auto& [domainName, domain] : domains) {
            if (domain.result != DomainInfo::kNotProcessed) continue;
            domain.result = DomainInfo::kError;
            domain.error
                .emplace(ItemError::kStoreEntries, domain.name, ItemError::kUnknown, 0, false, L"",
                         kCannotDeleteSubitem)
                .SetStore(kCookieStoreName);
        }
    }
    return result;
}

}  // namespace veltrane
