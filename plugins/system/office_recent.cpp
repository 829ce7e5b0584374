#include "plugins/system/office_recent.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <map>
#include <optional>

#include "plugins/system/word_automation.h"
#include "sysaccess/com_owners.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/handles.h"
#include "sysaccess/path_join.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/registry_text.h"

namespace veltrane {

namespace {

constexpr int kLastIndex = 10;
constexpr wchar_t kCannotDelete[] = L"Cannot delete subitem";

struct OfficeRegistrySource {
    const wchar_t* keyPath;
    const wchar_t* valueNameFormat;  // one %d, the index 0..10
};

// In scan order, all under HKEY_CURRENT_USER.
const OfficeRegistrySource kSources[15] = {
    {L"Software\\Microsoft\\Office\\8.0\\Access\\Settings", L"MRU%d"},
    {L"Software\\Microsoft\\Office\\9.0\\Access\\Settings", L"MRU%d"},
    {L"Software\\Microsoft\\Office\\10.0\\Access\\Settings", L"MRU%d"},
    {L"Software\\Microsoft\\Office\\11.0\\Access\\Settings", L"MRU%d"},
    {L"Software\\Microsoft\\Office\\11.0\\Visio\\Application", L"LastFile%d"},
    {L"Software\\Microsoft\\Office\\10.0\\Visio\\Application", L"LastFile%d"},
    {L"Software\\Microsoft\\Office\\8.0\\Excel\\Recent Files", L"File%d"},
    {L"Software\\Microsoft\\Office\\9.0\\Excel\\Recent Files", L"File%d"},
    {L"Software\\Microsoft\\Office\\10.0\\Excel\\Recent Files", L"File%d"},
    {L"Software\\Microsoft\\Office\\11.0\\Excel\\Recent Files", L"File%d"},
    {L"Software\\Microsoft\\Office\\11.0\\InfoPath\\Recent File List", L"File %d"},
    {L"Software\\Microsoft\\Office\\11.0\\PowerPoint\\Recent File List", L"File%d"},
    {L"Software\\Microsoft\\Office\\10.0\\PowerPoint\\Recent File List", L"File%d"},
    {L"Software\\Microsoft\\Office\\9.0\\PowerPoint\\Recent File List", L"File%d"},
    {L"Software\\Microsoft\\Office\\8.0\\PowerPoint\\Recent File List", L"File%d"},
};

// Office's own folder of shortcuts to recent documents; empty when unknown.
std::wstring OfficeRecentFolder() {
    wchar_t appData[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE)) return {};
    return std::wstring(appData) + L"\\Microsoft\\Office\\Recent";
}

std::wstring TypeOrDash(const std::wstring& path, bool byName) {
    std::wstring type = ShellTypeName(path, byName);
    return type.empty() ? L"-" : type;
}

// The part after the last "\", else after the last "/", else the whole path.
std::wstring DocumentName(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

ItemError WordError(const std::wstring& path, ItemError::Reason reasonType,
                    const std::wstring& reasonText) {
    return std::move(
        ItemError(ItemError::kRecentDocument, path, reasonType, 0, false, L"", reasonText)
            .SetStore(L"MS Word"));
}

}  // namespace

CPlgMSOfficeRecUsed::CPlgMSOfficeRecUsed(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {
    progressInterval = 1000;
}

bool CPlgMSOfficeRecUsed::ScanWord() {
    ScopedComApartment apartment;
    bool ok = true;
    {
        WordSession word;
        if (!word.Start()) return true;
        long count = 0;
        word.GetRecentCount(count);
        for (long i = 1; i <= count; ++i) {
            if (IsCancelled()) {
                ok = false;
                break;
            }
            ComPtr<IDispatch> item;
            RecentDocument record;
            if (!word.GetRecentFile(i, item, record.path, record.name)) continue;
            record.type = TypeOrDash(record.path, false);
            SetProgress(record.path);
            wordList_.push_back(std::move(record));
        }
        word.Quit(false);
    }
    CoFreeUnusedLibraries();
    return ok;
}

bool CPlgMSOfficeRecUsed::ScanRegistry() {
    for (const OfficeRegistrySource& source : kSources) {
        if (IsCancelled()) return false;
        const OpenedRegKey opened = OpenRegKeyNoLink(HKEY_CURRENT_USER, source.keyPath, KEY_READ);
        if (opened.kind == OpenedRegKey::Kind::kLink) {
            // Its values are another key's: one row says it is left.
            RecentDocument record;
            record.path = FormatRegPath(HKEY_CURRENT_USER, source.keyPath, L"");
            record.name = record.path;
            record.type = L"-";
            record.refusal = kRegistryLinkLeft;
            registryList_.push_back(std::move(record));
            continue;
        }
        if (opened.kind != OpenedRegKey::Kind::kOpened) continue;
        const RegKey& key = opened.key;
        for (int index = 0; index <= kLastIndex; ++index) {
            wchar_t valueName[64];
            swprintf(valueName, 64, source.valueNameFormat, index);
            RecentDocument record;
            // The list keeps at most 1024 bytes an entry; a larger value is not listed.
            std::optional<std::wstring> path = TryReadBoundedRegText(key.Get(), valueName, 1024);
            if (!path) continue;
            record.path = std::move(*path);
            record.name = DocumentName(record.path);
            record.type = TypeOrDash(record.path, true);
            record.root = HKEY_CURRENT_USER;
            record.keyPath = source.keyPath;
            record.valueName = valueName;
            SetProgress(record.path);
            registryList_.push_back(std::move(record));
        }
    }
    return true;
}

bool CPlgMSOfficeRecUsed::ScanFolder() {
    const std::wstring recent = OfficeRecentFolder();
    if (recent.empty()) return true;
    // A folder that is a link, or lies below one, is not listed: one row says so.
    if (PlaceVerdict verdict = CheckFolder(recent, FolderAction::kEmpty); !verdict.allowed) {
        if (PathExists(recent))
            folderList_.push_back(RefusedFolderRow(recent, std::move(verdict.reason)));
        return true;
    }
    FolderTreeListing listing;
    const ListingOutcome listed =
        ListFolderItems(this, recent, nullptr, ListingDepth::kFiles, &listing);
    if (listed.kind == ListingResult::kCancelled) return false;
    for (FileIdentity& file : listing.files) {
        RecentDocument record;
        record.shortcut = JoinPath(recent, DocumentName(file.path));
        record.path = record.shortcut;
        record.name = DocumentName(file.path);
        record.type = TypeOrDash(record.path, true);
        record.identity = std::move(file);
        folderList_.push_back(std::move(record));
    }
    return true;
}

CPlugin::Result CPlgMSOfficeRecUsed::Scan() {
    wordList_.clear();
    registryList_.clear();
    folderList_.clear();
    bool wordOk = ScanWord();
    bool registryOk = ScanRegistry();
    bool folderOk = ScanFolder();
    return wordOk && registryOk && folderOk ? kDone : kFailed;
}

void CPlgMSOfficeRecUsed::CleanWord() {
    std::map<std::wstring, RecentDocument*> byPath;
    for (RecentDocument& record : wordList_) byPath[record.path] = &record;

    ScopedComApartment apartment;
    WordSession word;
    bool failed = false;
    if (word.Start()) {
        long count = 0;
        // Scanned documents first: a deletion moves the next entry into place.
        for (long i = 0; !failed && !IsCancelled();) {
            if (!word.GetRecentCount(count)) {
                failed = true;
                break;
            }
            if (i >= count) break;
            ComPtr<IDispatch> item;
            std::wstring path;
            std::wstring name;
            if (!word.GetRecentFile(i + 1, item, path, name)) {
                ++i;
                continue;
            }
            auto found = byPath.find(path);
            if (found == byPath.end()) {
                ++i;
                continue;
            }
            if (word.DeleteRecentFile(item.Get())) {
                found->second->result = ItemOutcome::kRemoved;
                continue;
            }
            // Word's own reason, when it gave one, is the row's.
            const WordSession::Failure& failure = word.LastFailure();
            found->second->result = ItemOutcome::kFailed;
            found->second->error = failure.raisedByWord
                                       ? WordError(path, ItemError::kOwnText, failure.description)
                                       : WordError(path, ItemError::kUnknown, kCannotDelete);
            ++i;
        }
        if (!failed && !word.Quit(true)) failed = true;
    } else {
        failed = true;
    }

    if (failed) {
        const WordSession::Failure& failure = word.LastFailure();
        for (RecentDocument& record : wordList_)
            if (record.result == ItemOutcome::kNotProcessed) {
                record.result = ItemOutcome::kFailed;
                record.error =
                    failure.raisedByWord
                        ? WordError(record.path, ItemError::kOwnText, failure.description)
                        : WordError(record.path, ItemError::kUnknown, kCannotDelete);
            }
    }
    if (!IsCancelled())
        for (RecentDocument& record : wordList_)
            if (record.result == ItemOutcome::kNotProcessed) {
                record.result = ItemOutcome::kFailed;
                record.error = WordError(record.path, ItemError::kUnknown, kCannotDelete);
            }
}

namespace {

// Nothing while the value a row stands for still names the document the scan
// saw; otherwise what changed.
std::optional<std::wstring> ValueChange(const RecentDocument& record) {
    const OpenedRegKey opened =
        OpenRegKeyNoLink(record.root, record.keyPath.c_str(), KEY_QUERY_VALUE);
    if (opened.kind != OpenedRegKey::Kind::kOpened) return std::nullopt;  // the deletion tells
    const std::optional<std::wstring> now =
        TryReadBoundedRegText(opened.key.Get(), record.valueName.c_str(), 1024);
    if (!now || *now == record.path) return std::nullopt;
    return L"the value names another document now";
}

}  // namespace

void CPlgMSOfficeRecUsed::CleanRegistry() {
    for (RecentDocument& record : registryList_) {
        if (IsCancelled()) return;
        const std::wstring where =
            record.refusal.empty() ? FormatRegPath(record.root, record.keyPath, record.valueName)
                                   : record.path;
        if (record.refusal.empty()) {
            // Unticked by the user or named by a rule, the row stays whatever it holds now.
            KeepVerdict kept =
                MayRemove(RegValueItemRef(record.root, record.keyPath, record.valueName));
            if (kept.Keeps()) {
                record.result = ItemOutcome::kKept;
                record.kept = std::move(kept);
                continue;
            }
            if (std::optional<std::wstring> change = ValueChange(record)) {
                record.result = ItemOutcome::kFailed;
                record.error = ItemError(ItemError::kRegValue, where, ItemError::kOwnText, 0, false,
                                         L"", ChangedSinceScan(*change));
                continue;
            }
        }
        const RegDeleteOutcome deleted =
            record.refusal.empty()
                ? DeleteRegValue(record.root, record.keyPath.c_str(), record.valueName.c_str())
                : RegDeleteOutcome{RegDeleteOutcome::Kind::kLink};
        if (deleted.Deleted()) {
            record.result = deleted.kind == RegDeleteOutcome::Kind::kGone ? ItemOutcome::kGone
                                                                          : ItemOutcome::kRemoved;
            continue;
        }
        record.result = ItemOutcome::kFailed;
        record.error = deleted.kind == RegDeleteOutcome::Kind::kLink
                           ? ItemError(ItemError::kRegKey, where, ItemError::kOwnText, 0, false,
                                       L"", kRegistryLinkLeft)
                           : ItemError(ItemError::kRegValue, where, ItemError::kSystemMessage,
                                       deleted.error, false, L"", kCannotDelete);
    }
}

void CPlgMSOfficeRecUsed::CleanFolder() {
    const std::wstring recent = OfficeRecentFolder();
    if (recent.empty() || folderList_.empty()) return;
    PlaceVerdict verdict = CheckFolder(recent, FolderAction::kEmpty);
    if (!verdict.allowed) {
        for (RecentDocument& record : folderList_) {
            record.result = ItemOutcome::kFailed;
            record.error = ItemError(ItemError::kFile, record.shortcut, ItemError::kOwnText, 0,
                                     false, L"", verdict.reason);
        }
        return;
    }
    for (RecentDocument& record : folderList_) {
        if (IsCancelled()) return;
        RemoveRecentFile(record, *this);
    }
}

CPlugin::Result CPlgMSOfficeRecUsed::Fix() {
    errors.clear();
    CleanWord();
    CollectRecentDocumentErrors(wordList_, errors);
    if (IsCancelled()) return kCancelled;
    CleanRegistry();
    CollectRecentDocumentErrors(registryList_, errors);
    if (IsCancelled()) return kCancelled;
    CleanFolder();
    CollectRecentDocumentErrors(folderList_, errors);
    // A row that stayed makes the result "finished with failures".
    return IsCancelled() ? kCancelled : kDone;
}

ReportResult CPlgMSOfficeRecUsed::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return ReportResult::kNotYet;
    element.SetInnerHtml(
        BuildRecentDocumentsReport(*this, {&wordList_, &registryList_, &folderList_}, false));
    return ReportResult::kBuilt;
}

ReportResult CPlgMSOfficeRecUsed::BuildFixReport(IHtmlElement& element) {
    if (GetRunState() != kCleaned) return ReportResult::kNotYet;
    element.SetInnerHtml(
        BuildRecentDocumentsReport(*this, {&wordList_, &registryList_, &folderList_}, true));
    return ReportResult::kBuilt;
}

ScanSummary CPlgMSOfficeRecUsed::GetScanSummary() const {
    return ScanSummary{wordList_.size() + registryList_.size() + folderList_.size(), 0};
}

CleanSummary CPlgMSOfficeRecUsed::GetCleanSummary() const {
    return CountRecentDocuments({&wordList_, &registryList_, &folderList_},
                                CPlugin::GetCleanSummary());
}

}  // namespace veltrane
