#include <algorithm>

#include "engine/statistics.h"
#include "plugins/browser/byte_file.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/netscape_profiles.h"
#include "sysaccess/file_delete.h"

namespace veltrane {

namespace {

// The host field of a cookie line as the browser wrote it ("www." and the
// leading "." included), for the keep-list.
std::wstring CookieLineHost(std::string_view lineText) {
    return BytesToWide(lineText.substr(0, lineText.find('\t')));
}

// Removes one whole file as the scan noted it, or says why it was left.
FileRemovalRow RemoveWholeFile(const WholeFile& file, IRunContext& run) {
    if (!file.refusal.empty()) {
        FileRemovalRow row;
        row.outcome = ItemOutcome::kFailed;
        row.error = ItemError(ItemError::kFile, file.identity.path, ItemError::kOwnText, 0, false,
                              L"", file.refusal);
        return row;
    }
    const bool wipe = run.GetWipeFiles();
    const Removal removal = RemoveListedFile(file.identity, wipe, &run);
    if (removal.kind == RemovalKind::kDeferred) run.SetRebootNeeded();
    return RowOfFileRemoval(removal, file.identity.path, wipe);
}

}  // namespace

void RemoveNetscapeFiles(const std::vector<WholeFile>& files, const wchar_t* store,
                         DomainMap& domains, IRunContext& run) {
    // Which file's end speaks for a row whose files came to different ends.
    auto weight = [](ItemOutcome outcome) {
        switch (outcome) {
            case ItemOutcome::kFailed:
            case ItemOutcome::kDeferred:
                return 3;
            case ItemOutcome::kNotProcessed:
            case ItemOutcome::kKept:
                return 2;
            case ItemOutcome::kGone:
                return 0;
            default:
                return 1;
        }
    };
    // The rows the user unticked or a rule keeps, each asked once.
    std::map<std::wstring, KeepVerdict> keptRows;
    for (auto& [name, domain] : domains) {
        domain.result = ItemOutcome::kGone;
        domain.error.reset();
        domain.kept = {};
        const KeepVerdict kept = run.MayRemove(StoreRowItemRef(store, name));
        if (kept.Keeps()) keptRows.emplace(name, kept);
    }
    for (const WholeFile& file : files) {
        const auto keeping =
            std::find_if(file.domains.begin(), file.domains.end(),
                         [&](const std::wstring& name) { return keptRows.count(name) != 0; });
        FileRemovalRow row;
        if (keeping != file.domains.end()) {
            // It stays whole with the row that keeps it.
            row.outcome = ItemOutcome::kKept;
            row.kept = keptRows.at(*keeping);
        } else if (run.IsCancelled()) {
            row.outcome = ItemOutcome::kNotProcessed;
        } else {
            row = RemoveWholeFile(file, run);
        }
        for (const std::wstring& name : file.domains) {
            auto found = domains.find(name);
            if (found == domains.end()) continue;
            DomainInfo& domain = found->second;
            if (weight(row.outcome) <= weight(domain.result)) continue;
            domain.result = row.outcome;
            domain.error = row.error;
            // A row kept by its own choice says so, not by its neighbour's.
            auto own = keptRows.find(name);
            domain.kept = own != keptRows.end() ? own->second : row.kept;
        }
    }
}

bool DeleteNetscapeCookies(DomainMap& domains, IRunProgress& run, const CookieKeepList& keep) {
    std::optional<ProfileList> profiles = BuildProfileList(true);
    if (!profiles) return false;
    // A row the user unticked or a rule keeps keeps its lines in every file.
    for (auto& [name, domain] : domains) {
        const KeepVerdict kept = run.MayRemove(StoreRowItemRef(kNetscapeCookiesStore, name));
        if (!kept.Keeps()) continue;
        domain.result = ItemOutcome::kKept;
        domain.kept = kept;
    }
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
            if (domain.kept.Keeps()) {
                kept.append(line);
                continue;
            }
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
                .SetStore(kNetscapeCookiesStore);
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
                .SetStore(kNetscapeCookiesStore);
        }
    }
    return result;
}

}  // namespace veltrane
