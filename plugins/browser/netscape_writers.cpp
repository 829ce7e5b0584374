#include "engine/statistics.h"
#include "plugins/browser/byte_file.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/netscape_profiles.h"
#include "sysaccess/file_delete.h"

namespace veltrane {

namespace {

// What a cookie error's title says the entries are.
constexpr wchar_t kCookieStoreName[] = L"Netscape cookies";

// The host field of a cookie line as the browser wrote it ("www." and the
// leading "." included), for the keep-list.
std::wstring CookieLineHost(std::string_view lineText) {
    return BytesToWide(lineText.substr(0, lineText.find('\t')));
}

}  // namespace

FileRemovalRow RemoveNetscapeFiles(const std::vector<WholeFile>& files, IRunContext& run) {
    // Which outcome speaks for all rows when the files came to different ends.
    auto weight = [](ItemOutcome outcome) {
        switch (outcome) {
            case ItemOutcome::kFailed:
            case ItemOutcome::kDeferred:
                return 3;
            case ItemOutcome::kKept:
                return 2;
            case ItemOutcome::kGone:
                return 1;
            default:
                return 0;
        }
    };
    FileRemovalRow shared;
    shared.outcome = ItemOutcome::kRemoved;
    bool removedAny = false;
    uint64_t freed = 0;
    for (const WholeFile& file : files) {
        if (run.IsCancelled()) break;
        const bool wipe = run.GetWipeFiles();
        FileRemovalRow row;
        if (!file.refusal.empty()) {
            row.outcome = ItemOutcome::kFailed;
            row.error = ItemError(ItemError::kFile, file.identity.path, ItemError::kOwnText, 0,
                                  false, L"", file.refusal);
        } else {
            const Removal removal = RemoveListedFile(file.identity, wipe, &run);
            if (removal.kind == RemovalKind::kDeferred) run.SetRebootNeeded();
            row = RowOfFileRemoval(removal, file.identity.path, wipe);
        }
        freed += row.freedBytes;
        removedAny = removedAny || row.outcome == ItemOutcome::kRemoved ||
                     row.outcome == ItemOutcome::kRemovedNotOverwritten;
        if (weight(row.outcome) > weight(shared.outcome)) shared = std::move(row);
    }
    // What went took its domains with it, whatever became of the files beside it.
    if (removedAny && weight(shared.outcome) < 3) {
        shared = {};
        shared.outcome = ItemOutcome::kRemoved;
    }
    shared.freedBytes = freed;
    return shared;
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
        // A file a rule keeps (or a folder above it) keeps every line in it.
        const KeepVerdict fileKept = run.MayRemove(FileItemRef(path));
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
            if (fileKept.Keeps()) {
                if (domain.result == DomainInfo::kNotProcessed) {
                    domain.result = ItemOutcome::kKept;
                    domain.kept = fileKept;
                }
                kept.append(line);
                continue;
            }
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
