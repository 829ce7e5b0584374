#include "plugins/system/recent_documents.h"

#include <shellapi.h>

#include "engine/page_reader.h"
#include "engine/plugin.h"
#include "engine/report_text.h"
#include "engine/statistics.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/text.h"

namespace {

bool HasError(const RecentDocument& record) {
    return record.result == RecentDocument::kFailed ||
           record.result == RecentDocument::kDeletedAfterReboot;
}

std::wstring ResultPage(const RecentDocument& record) {
    const SharedResultPages& pages = CPlugin::SharedPages();
    switch (record.result) {
        case RecentDocument::kKept:
            return CPlugin::KeptStatusHtml(record.kept);
        case RecentDocument::kDeleted:
            return pages.resDeleted;
        case RecentDocument::kFailed:
            return pages.resError;
        case RecentDocument::kDeletedAfterReboot:
            return pages.resReboot;
        case RecentDocument::kGone:
            return pages.resGone;
        default:
            return pages.resCancelled;
    }
}

}  // namespace

std::wstring RecentDocument::ItemKeyText() const {
    if (!refusal.empty()) return {};
    if (!identity.path.empty()) return ItemKey(FileItemRef(identity.path));
    if (root != nullptr) return ItemKey(RegValueItemRef(root, keyPath, valueName));
    return {};
}

std::wstring ShellTypeName(const std::wstring& path, bool byName) {
    SHFILEINFOW info = {};
    UINT flags = SHGFI_TYPENAME | (byName ? SHGFI_USEFILEATTRIBUTES : 0);
    if (SHGetFileInfoW(path.c_str(), byName ? FILE_ATTRIBUTE_NORMAL : 0, &info, sizeof(info),
                       flags) == 0)
        return {};
    return info.szTypeName;
}

std::wstring BuildRecentDocumentsReport(const CPlugin& plugin,
                                        const std::vector<const RecentDocumentList*>& lists,
                                        bool clean) {
    std::wstring folder = plugin.GetPluginFolder();
    std::wstring page = ReadPage(folder + (clean ? L"report.html" : L"details.html"));
    std::wstring rowTemplate =
        ReadPage(folder + (clean ? L"domainreport.html" : L"domaindetails.html"));
    std::wstring total = ReadPage(folder + (clean ? L"totalreport.html" : L"totaldetails.html"));

    const std::wstring group = PluginGroupKey(plugin.GetId());
    ReplaceAll(page, L"#group attributes#", GroupAttributes(group));
    std::wstring rows;
    size_t count = 0;
    int errorNumber = 0;
    for (const RecentDocumentList* list : lists)
        for (const RecentDocument& record : *list) {
            ++count;
            std::wstring row = rowTemplate;
            const std::wstring key = record.ItemKeyText();
            ReplaceAll(row, L"#row attributes#",
                       key.empty() ? std::wstring() : ItemRowAttributes(key, group));
            ReplaceAll(row, L"#name#", EscapeHtml(record.name));
            ReplaceAll(row, L"#type#", EscapeHtml(record.type));
            ReplaceAll(row, L"#path#", EscapeHtml(record.path));
            if (clean) {
                std::wstring result = ResultPage(record);
                if (HasError(record)) ReplaceAll(result, L"#id#", std::to_wstring(++errorNumber));
                ReplaceAll(row, L"#result#", result);
            }
            rows += row;
        }
    if (count == 0)
        rows = clean ? CPlugin::SharedPages().noItemsErased : CPlugin::SharedPages().noItemsFound;
    ReplaceAll(total, L"#num#", std::to_wstring(count));
    ReplaceAll(page, L"#volumes#", rows);
    ReplaceAll(page, L"#total#", total);
    return page;
}

RecentDocument RefusedFolderRow(const std::wstring& folder, std::wstring reason) {
    RecentDocument record;
    record.name = L"Not cleaned: " + folder;
    record.shortcut = folder;
    record.path = folder;
    record.type = L"-";
    record.refusal = std::move(reason);
    return record;
}

CleanSummary CountRecentDocuments(const std::vector<const RecentDocumentList*>& lists,
                                  CleanSummary fromErrors) {
    uint64_t removed = 0;
    uint64_t freed = 0;
    for (const RecentDocumentList* list : lists)
        for (const RecentDocument& record : *list) {
            if (record.result == RecentDocument::kDeleted) ++removed;
            freed += record.freedBytes;
        }
    fromErrors.removed = removed;
    fromErrors.freedBytes = freed;
    return fromErrors;
}

void CollectRecentDocumentErrors(const RecentDocumentList& list, std::vector<ItemError>& errors) {
    for (const RecentDocument& record : list)
        if (HasError(record) && record.error) errors.push_back(*record.error);
}

void RemoveRecentFile(RecentDocument& record, CPlugin& plugin) {
    if (!record.refusal.empty()) {
        record.result = RecentDocument::kFailed;
        record.error = ItemError(ItemError::kFolder, record.shortcut, ItemError::kOwnText, 0, false,
                                 L"", record.refusal);
        return;
    }
    const bool wipe = plugin.GetWipeFiles();
    const Removal removal = RemoveListedFile(record.identity, wipe, &plugin);
    switch (removal.kind) {
        case RemovalKind::kKept:
            record.result = RecentDocument::kKept;
            record.kept = removal.kept;
            return;
        case RemovalKind::kRemoved:
        case RemovalKind::kRemovedWithoutOverwrite:
            record.result = RecentDocument::kDeleted;
            record.freedBytes = removal.freedBytes;
            return;
        case RemovalKind::kGone:
            record.result = RecentDocument::kGone;
            return;
        case RemovalKind::kDeferred:
            plugin.SetRebootNeeded();
            record.result = RecentDocument::kDeletedAfterReboot;
            record.error = ItemError(wipe ? ItemError::kWipeFile : ItemError::kFile,
                                     record.shortcut, ItemError::kSystemMessage, removal.error,
                                     true, L"", kCannotDeleteSubitem);
            return;
        case RemovalKind::kChanged:
            record.result = RecentDocument::kFailed;
            record.error = ItemError(ItemError::kFile, record.shortcut, ItemError::kOwnText, 0,
                                     false, L"", ChangedSinceScan(removal.change));
            return;
        case RemovalKind::kFailed:
            record.result = RecentDocument::kFailed;
            record.error = ItemError(ItemError::kFile, record.shortcut, ItemError::kSystemMessage,
                                     removal.error, false, L"", kCannotDeleteSubitem);
            return;
    }
}
