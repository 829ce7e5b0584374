#pragma once
// The record and report layout shared by the Office and the Windows
// recent-document plug-ins.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/item_error.h"
#include "engine/item_outcome.h"
#include "engine/plugin.h"
#include "sysaccess/file_identity.h"
#include "sysaccess/item_ref.h"

namespace veltrane {

struct RecentDocument {
    std::wstring name;
    std::wstring shortcut;  // Windows recent documents only
    FileIdentity identity;  // the shortcut as the scan saw it: the clean removes only that
    std::wstring path;
    std::wstring type;
    // Office registry records only.
    HKEY root = nullptr;
    std::wstring keyPath;
    std::wstring valueName;
    // Why the clean leaves this row: its key is a registry link, or the
    // shortcut is reached through a link.
    std::wstring refusal;
    ItemOutcome result = ItemOutcome::kNotProcessed;
    KeepVerdict kept;  // kKept: why
    std::optional<ItemError> error;
    uint64_t freedBytes = 0;  // what the clean removed of its file

    // The row's key: the shortcut's file, or the Office value; empty for a refused row.
    std::wstring ItemKeyText() const;
};

using RecentDocumentList = std::vector<RecentDocument>;

// The shell's type name of a document ("Microsoft Word Document"); empty
// when the shell gives none. With `byName`, the file need not exist.
std::wstring ShellTypeName(const std::wstring& path, bool byName);

// The scan or clean report of the given lists, in order, from the
// plug-in's "details"/"report" fragments.
std::wstring BuildRecentDocumentsReport(const CPlugin& plugin,
                                        const std::vector<const RecentDocumentList*>& lists,
                                        bool clean);

// The row of a folder the guard refuses at the scan: it names the folder,
// and the clean fails it with `reason`, touching nothing inside.
RecentDocument RefusedFolderRow(const std::wstring& folder, std::wstring reason);

// What a clean of the given lists did: the rows removed and the bytes
// freed now, on top of `fromErrors` (the failed, changed and deferred rows).
CleanSummary CountRecentDocuments(const std::vector<const RecentDocumentList*>& lists,
                                  CleanSummary fromErrors);

// Appends the item errors of the records that failed or wait for a reboot.
void CollectRecentDocumentErrors(const RecentDocumentList& list, std::vector<ItemError>& errors);

// Removes the file a row stands for, exactly as the scan listed it
// (`record.identity`), and sets the row's result and error; a file another
// program holds waits for the next start (the plug-in's reboot flag is set).
// A refused row fails with its reason.
void RemoveRecentFile(RecentDocument& record, CPlugin& plugin);

}  // namespace veltrane
