// Reports of the table-driven plug-ins: a frame, header cells and row
// patterns assembled from templates, then filled from the found records.
#include "engine/item_outcome.h"
#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "plugins/standard/standart_plugin.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

using Records = CElimActionRecords;

const wchar_t* const kLayoutFamilies[4] = {L"Files", L"FilesFolders", L"RegValues",
                                           L"RegKeysValues"};

constexpr wchar_t kPluginName[] = L"#plugin name#";
constexpr wchar_t kColumnHeaders[] = L"#column headers#";
constexpr wchar_t kReportItems[] = L"#report items#";
constexpr wchar_t kHeader[] = L"#header#";
constexpr wchar_t kItem[] = L"#item#";
constexpr wchar_t kTotalReport[] = L"#total report#";
constexpr wchar_t kRegValue[] = L"#reg value#";
constexpr wchar_t kRegName[] = L"#reg name#";
constexpr wchar_t kRegPath[] = L"#reg path#";
constexpr wchar_t kStatus[] = L"#status#";
constexpr wchar_t kItemsFound[] = L"#items found#";
constexpr wchar_t kItemsRemoved[] = L"#items removed#";
constexpr wchar_t kItemsFailed[] = L"#items failed#";
constexpr wchar_t kSubitemsFound[] = L"#subitems found#";
constexpr wchar_t kSubitemsRemoved[] = L"#subitems removed#";
constexpr wchar_t kSize[] = L"#size#";
constexpr wchar_t kRowAttributes[] = L"#row attributes#";
constexpr wchar_t kGroupAttributes[] = L"#group attributes#";

// What one record adds to the items count: itself, or a folder or key with
// everything below it.
uint64_t ItemsOf(const Records::SFileItemStatistics& record) {
    return record.subitemsFound + (record.isFolder ? 1 : 0);
}
uint64_t ItemsOf(const Records::SRegItemStatistics& record) {
    return record.subitemsFound + (record.isKey ? 1 : 0);
}

bool IsShown(const Records::SStatistics& record) { return record.status != Records::kHidden; }

// What became of a record in the clean; a found or hidden one no clean reached.
ItemOutcome OutcomeOf(Records::Status status) {
    switch (status) {
        case Records::kRemoved:
            return ItemOutcome::kRemoved;
        case Records::kRemovedNotOverwritten:
            return ItemOutcome::kRemovedNotOverwritten;
        case Records::kGone:
            return ItemOutcome::kGone;
        case Records::kKept:
            return ItemOutcome::kKept;
        case Records::kDeferred:
            return ItemOutcome::kDeferred;
        case Records::kFailed:
            return ItemOutcome::kFailed;
        case Records::kFound:
        case Records::kHidden:
            break;
    }
    return ItemOutcome::kNotProcessed;
}

struct Tally {
    uint64_t items = 0;
    uint64_t size = 0;
    uint64_t removed = 0;
    uint64_t removedSize = 0;
    size_t errorCounter = 0;
    uint64_t kept = 0;  // items a kept row holds: neither removed nor failed
};

}  // namespace

std::vector<std::wstring> CStandartPlugin::ReadTemplate(const std::wstring& name,
                                                        bool keepEmptyLines) const {
    std::vector<std::wstring> lines;
    // A template found in neither folder reads as empty.
    if (!ReadTemplateLines(GetPluginFolder() + name, lines))
        ReadTemplateLines(GetPluginsFolder() + name, lines);
    if (!keepEmptyLines) std::erase(lines, std::wstring());
    return lines;
}

CStandartPlugin::ReportParts CStandartPlugin::AssembleReport(bool scan) const {
    const std::wstring kind = scan ? L"Scan" : L"Fix";
    // Read when a report is built, not when the plug-in is made: an unattended
    // run builds no report, and most plug-ins of a window never show one.
    const std::wstring folder = GetPluginsFolder();
    const std::wstring columnHeaderPage = ReadPage(folder + L"ColumnHeader.html");
    const std::wstring reportItemPage = ReadPage(folder + L"ReportItem.html");
    ReportParts parts;

    std::wstring headers;
    for (std::wstring line : ReadTemplate(
             kLayoutFamilies[reportLayout_] + (L"HeaderTemplates" + kind) + L".txt", true)) {
        ReplaceAll(line, L" ", L"&nbsp;");
        std::wstring cell = columnHeaderPage;
        ReplaceAll(cell, kHeader, line);
        headers += cell;
    }
    parts.frame = ReadPage(folder + L"Report.html");
    ReplaceAll(parts.frame, kColumnHeaders, headers);

    // Empty lines are cells where one kind of row has nothing to show and the
    // other has (a file beside folders, a value beside keys); the layouts
    // without the second kind drop them.
    const bool keepEmptyLines = reportLayout_ == kFilesFolders || reportLayout_ == kRegKeysValues;
    auto pattern = [&](const wchar_t* rowKind) {
        std::wstring row = std::wstring(L"<tr") + kRowAttributes + L">\n";
        for (const std::wstring& line :
             ReadTemplate(rowKind + (L"Templates" + kind) + L".txt", keepEmptyLines)) {
            std::wstring cell = reportItemPage;
            ReplaceAll(cell, kItem, line);
            row += cell;
        }
        return row + L"</tr>\n";
    };
    parts.filePattern = pattern(L"Files");
    parts.folderPattern = pattern(L"Folders");
    parts.valuePattern = pattern(L"RegValues");
    parts.keyPattern = pattern(L"RegKeys");
    parts.totals = ReadPage(folder + kLayoutFamilies[reportLayout_] + (L"Total" + kind) + L".html");
    parts.pluginName = GetNameHtml();
    parts.groupKey = PluginGroupKey(GetId());
    return parts;
}

ReportResult CStandartPlugin::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return ReportResult::kNoReport;
    ReportParts parts = AssembleReport(true);
    FillScanReport(parts);
    element.SetInnerHtml(parts.frame);
    return ReportResult::kBuilt;
}

ReportResult CStandartPlugin::BuildFixReport(IHtmlElement& element) {
    ReportParts parts = AssembleReport(false);
    FillFixReport(parts);
    element.SetInnerHtml(parts.frame);
    return ReportResult::kBuilt;
}

namespace {

template <typename OnFile, typename OnReg>
void ForEachShownRecord(const CElimAction& engine, OnFile onFile, OnReg onReg) {
    for (const CElimAction::SFileEntry& entry : engine.fileEntries) {
        if (entry.absent) continue;
        for (const CElimAction::SFileRecord& record : entry.found)
            if (IsShown(record)) onFile(record);
    }
    for (const CElimAction::SRegEntry& entry : engine.regEntries) {
        if (entry.absent) continue;
        for (const CElimAction::SRegRecord& record : entry.found)
            if (IsShown(record)) onReg(record);
    }
}

// The row's check-box attributes, for a row a clean would remove.
void FillRowAttributes(std::wstring& row, const CStandartPlugin::ReportParts& parts,
                       const Records::SStatistics& record) {
    ReplaceAll(row, kRowAttributes,
               record.itemKey.empty() ? std::wstring()
                                      : ItemRowAttributes(record.itemKey, parts.groupKey));
}

// A row pattern filled with what scan and clean reports both show. A row the
// guard refused says why under its name, so that the scan shows before the
// clean what will be left.
std::wstring FileRow(const CStandartPlugin::ReportParts& parts,
                     const Records::SFileItemStatistics& record, const std::wstring& refusal = {}) {
    std::wstring row = record.isFolder ? parts.folderPattern : parts.filePattern;
    FillRowAttributes(row, parts, record);
    if (record.isFolder) ReplaceAll(row, kSubitemsFound, std::to_wstring(record.subitemsFound));
    ReplaceAll(row, kSize, FormatSize(record.size));
    std::wstring item = EscapeHtml(record.name);
    if (!refusal.empty())
        item += L"<br><span class=\"status status-failed\">Refused: " + EscapeHtml(refusal) +
                L"</span>";
    ReplaceAll(row, kItem, item);
    return row;
}

std::wstring RegRow(const CStandartPlugin::ReportParts& parts,
                    const Records::SRegItemStatistics& record, bool showValueData) {
    std::wstring row = record.isKey ? parts.keyPattern : parts.valuePattern;
    FillRowAttributes(row, parts, record);
    if (record.isKey) ReplaceAll(row, kSubitemsFound, std::to_wstring(record.subitemsFound));
    ReplaceAll(row, kItem, EscapeHtml(record.name));
    ReplaceAll(row, kRegName, EscapeHtml(record.regName));
    ReplaceAll(row, kRegPath, EscapeHtml(record.regPath));
    if (showValueData) ReplaceAll(row, kRegValue, EscapeHtml(record.valueData));
    return row;
}

bool IsDone(const Records::SStatistics& record) {
    return record.status == Records::kRemoved || record.status == Records::kRemovedNotOverwritten ||
           record.status == Records::kDeferred;
}

// The status cell. Failed and deferred rows link to their item error: the
// record's own when it knows it, else the next by row order.
void FillStatus(std::wstring& row, const Records::SStatistics& record, size_t errorNumber,
                Tally& tally) {
    if (record.status == Records::kDeferred || record.status == Records::kFailed) {
        ++tally.errorCounter;
        if (errorNumber == 0) errorNumber = tally.errorCounter;
    }
    ReplaceAll(row, kStatus, ResultPageOf(OutcomeOf(record.status), record.kept, errorNumber));
}

std::wstring Body(uint64_t items, const std::wstring& fileRows, const std::wstring& regRows,
                  const std::wstring& nothing) {
    if (items == 0) return nothing;
    return fileRows.empty() ? regRows : fileRows;
}

void FillFrame(CStandartPlugin::ReportParts& parts, const std::wstring& body) {
    ReplaceAll(parts.frame, kGroupAttributes, GroupAttributes(parts.groupKey));
    ReplaceAll(parts.frame, kReportItems, body);
    ReplaceAll(parts.frame, kTotalReport, parts.totals);
    ReplaceAll(parts.frame, kPluginName, parts.pluginName);
}

}  // namespace

void CStandartPlugin::FillScanReport(ReportParts& parts) const {
    Tally tally;
    std::wstring fileRows;
    std::wstring regRows;
    ForEachShownRecord(
        engine_,
        [&](const CElimAction::SFileRecord& record) {
            fileRows += FileRow(parts, record, record.refusal);
            tally.items += ItemsOf(record);
            tally.size += record.size;
        },
        [&](const CElimAction::SRegRecord& record) {
            regRows += RegRow(parts, record, engine_.showValueData);
            tally.items += ItemsOf(record);
        });
    ReplaceAll(parts.totals, kItemsFound, std::to_wstring(tally.items));
    ReplaceAll(parts.totals, kSize, FormatSize(tally.size));
    if (engine_.newerThanLimit > 0) {
        std::wstring newer = SharedPages().newerThanLimit;
        ReplaceAll(newer, L"#count#", std::to_wstring(engine_.newerThanLimit));
        parts.totals += newer;
    }
    FillFrame(parts, Body(tally.items, fileRows, regRows, SharedPages().noItemsFound));
}

void CStandartPlugin::FillFixReport(ReportParts& parts) const {
    Tally tally;
    std::wstring fileRows;
    std::wstring regRows;
    ForEachShownRecord(
        engine_,
        [&](const CElimAction::SFileRecord& record) {
            std::wstring row = FileRow(parts, record);
            tally.items += ItemsOf(record);
            // What went now: an item already gone frees nothing and was not
            // removed, nor was what a folder held that went before the clean.
            if (IsDone(record))
                tally.removed += record.isFolder ? record.subitemsRemoved + 1u : 1u;
            else if (record.status == Records::kKept)
                tally.kept += ItemsOf(record) - record.subitemsRemoved;
            if (record.isFolder && !IsDone(record))
                tally.removed += record.subitemsRemoved;  // from a folder that itself stayed
            tally.removedSize += record.removedSize;
            if (record.isFolder)
                ReplaceAll(row, kSubitemsRemoved, std::to_wstring(record.subitemsRemoved));
            FillStatus(row, record, record.errorNumber, tally);
            fileRows += row;
        },
        [&](const CElimAction::SRegRecord& record) {
            std::wstring row = RegRow(parts, record, engine_.showValueData);
            tally.items += ItemsOf(record);
            if (IsDone(record))
                tally.removed += ItemsOf(record);
            else if (record.status == Records::kKept)
                tally.kept += ItemsOf(record) - record.subitemsRemoved;
            if (record.isKey && !IsDone(record)) tally.removed += record.subitemsRemoved;
            if (record.isKey)
                ReplaceAll(row, kSubitemsRemoved, std::to_wstring(record.subitemsRemoved));
            FillStatus(row, record, record.errorNumber, tally);
            regRows += row;
        });
    ReplaceAll(parts.totals, kItemsFound, std::to_wstring(tally.items));
    ReplaceAll(parts.totals, kItemsRemoved, std::to_wstring(tally.removed));
    ReplaceAll(parts.totals, kItemsFailed,
               std::to_wstring(tally.items - tally.removed -
                               std::min(tally.kept, tally.items - tally.removed)));
    ReplaceAll(parts.totals, kSize, FormatSize(tally.removedSize));
    FillFrame(parts, Body(tally.items, fileRows, regRows, SharedPages().noItemsErased));
}

ScanSummary CStandartPlugin::GetScanSummary() const {
    ScanSummary summary;
    ForEachShownRecord(
        engine_,
        [&](const CElimAction::SFileRecord& record) {
            summary.items += ItemsOf(record);
            summary.bytes += record.size;
        },
        [&](const CElimAction::SRegRecord& record) { summary.items += ItemsOf(record); });
    return summary;
}

}  // namespace veltrane
