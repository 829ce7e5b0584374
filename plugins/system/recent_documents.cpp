#include "plugins/system/recent_documents.h"

#include <shellapi.h>

#include "engine/page_reader.h"
#include "engine/plugin.h"
#include "engine/report_text.h"
#include "engine/statistics.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/text.h"

namespace veltrane {

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
    size_t errorNumber = 0;
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
                ReplaceAll(row, L"#result#",
                           ResultPageOf(record.result, record.kept,
                                        HasItemError(record.result) ? ++errorNumber : 0));
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
            if (IsRemoved(record.result)) ++removed;
            freed += record.freedBytes;
        }
    fromErrors.removed = removed;
    fromErrors.freedBytes = freed;
    return fromErrors;
}

void CollectRecentDocumentErrors(const RecentDocumentList& list, std::vector<ItemError>& errors) {
    for (const RecentDocument& record : list)
        if (HasItemError(record.result) && record.error) errors.push_back(*record.error);
}

void RemoveRecentFile(RecentDocument& record, CPlugin& plugin) {
    if (!record.refusal.empty()) {
        record.result = ItemOutcome::kFailed;
        record.error = ItemError(ItemError::kFolder, record.shortcut, ItemError::kOwnText, 0, false,
                                 L"", record.refusal);
        return;
    }
    const bool wipe = plugin.GetWipeFiles();
    const Removal removal = RemoveListedFile(record.identity, wipe, &plugin);
    if (removal.kind == RemovalKind::kDeferred) plugin.SetRebootNeeded();
    FileRemovalRow row = RowOfFileRemoval(removal, record.shortcut, wipe);
    record.result = row.outcome;
    record.freedBytes = row.freedBytes;
    record.kept = std::move(row.kept);
    record.error = std::move(row.error);
}

}  // namespace veltrane
