#include "plugins/windows/windows_timeline.h"

#include <algorithm>

#include "plugins/browser/profile_store_plugin.h"
#include "plugins/browser/sqlite_clean.h"
#include "plugins/windows/timeline_activity.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/path_route.h"

namespace veltrane {

namespace {

constexpr wchar_t kDatabase[] = L"ActivitiesCache.db";
// Activities of these types hold copied text (the clipboard's history): the
// report never shows what they hold.
constexpr int64_t kClipboardTypes[] = {10, 16};
// How many of a program's activities its row names.
constexpr size_t kShownPerRow = 3;

constexpr wchar_t kInUse[] =
    L"Windows' Connected Devices Platform service holds the Timeline's database open, so no "
    L"activity can be removed from it now. The whole database goes at the next start of "
    L"Windows, before the service starts; Windows then begins a new, empty one.";

constexpr wchar_t kInUseWithKept[] =
    L"Windows' Connected Devices Platform service holds the Timeline's database open, so no "
    L"activity can be removed from it now, and the whole database cannot go at the next start "
    L"of Windows either: it holds activities you chose to keep.";

std::string TimeOf(SqliteDb& db, std::string_view table) {
    return "max(ifnull(" + ColumnOrZero(db, table, "StartTime") + ", 0), ifnull(" +
           ColumnOrZero(db, table, "LastModifiedTime") + ", 0))";
}

}  // namespace

CPlgWindowsTimeline::CPlgWindowsTimeline(CKernel& kernel, const PluginIdentity& identity)
    : CGroupedRowsPlugin(kernel, identity) {}

CPlugin::Result CPlgWindowsTimeline::Scan() {
    ClearGroups();
    accounts_.clear();
    notes_.clear();
    const std::wstring platform =
        GetKnownFolderPath(FOLDERID_LocalAppData) + L"\\ConnectedDevicesPlatform";
    // One folder per account: "L.<user>" for a local one, others for
    // Microsoft and work accounts; each with a database of its own.
    for (const FolderEntry& entry : ListFolderEntries(platform)) {
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || entry.name == L"." ||
            entry.name == L"..")
            continue;
        const std::wstring database = platform + L"\\" + entry.name + L"\\" + kDatabase;
        if (!IsExistingFile(database)) continue;
        Account account;
        account.database = database;
        const bool inUse = IsFileInUse(database);
        account.group =
            AddGroup(L"Timeline of account " + entry.name + (inUse ? L" (in use)" : L""), database);
        accounts_.push_back(std::move(account));
    }
    for (Account& account : accounts_) {
        if (IsCancelled()) return kCancelled;
        SetProgress(account.database);
        ScanAccount(account);
    }
    for (auto& [row, notes] : notes_) {
        std::wstring detail = notes.programName;
        for (size_t i = 0; i < notes.shown.size(); ++i)
            detail += (i == 0 ? (detail.empty() ? L"" : L": ") : L", ") + notes.shown[i];
        if (notes.more > 0) detail += L" and " + std::to_wstring(notes.more) + L" more";
        SetDetail(*row, std::move(detail));
    }
    BuildGroupedView();
    return IsCancelled() ? kCancelled : kDone;
}

void CPlgWindowsTimeline::ScanAccount(Account& account) {
    const RouteCheck route = CheckPathRoute(account.database);
    if (route.route == PathRoute::kThroughLink) {
        // Nothing is read through the link; the row says why it stays.
        account.refusal =
            L"The database is reached through a link" +
            (route.finalPath.empty() ? std::wstring() : L" (to " + route.finalPath + L")") +
            L", and Veltrane cleans nothing through a link.";
        Row(account.group, L"Not cleaned: " + *account.refusal);
        return;
    }
    SqliteDb db;
    SqliteStatus status = OpenForScan(db, account.database);
    if (status.Ok() && db.HasTable("Activity")) status = ScanTable(db, account, Table::kActivity);
    if (status.Ok() && db.HasTable("ActivityOperation"))
        status = ScanTable(db, account, Table::kOperation);
    if (status.Ok()) return;
    // What the scan could not read is not cleaned.
    account.refusal = L"The scan could not read it (SQLite: " + status.message +
                      L"), and Veltrane cleans only what its scan showed.";
    Row(account.group, std::wstring(kDatabase) + L" (cannot be read: " + status.message + L")");
}

SqliteStatus CPlgWindowsTimeline::ScanTable(SqliteDb& db, Account& account, Table table) {
    const bool operation = table == Table::kOperation;
    const std::string name = operation ? "ActivityOperation" : "Activity";
    // Operations are told apart by their number, activities by their id.
    const std::string key = operation ? "rowid || ':' || hex(Id)" : "hex(Id)";
    const std::string query = "SELECT " + key + ", " + ColumnOrZero(db, name, "AppId") + ", " +
                              ColumnOrZero(db, name, "Payload") + ", " +
                              ColumnOrZero(db, name, "ActivityType") + ", " + TimeOf(db, name) +
                              ", " +
                              SumOfLengths(db, name,
                                           {"Id", "AppId", "AppActivityId", "Payload",
                                            "ClipboardPayload", "OriginalPayload", "GroupItems"}) +
                              " FROM " + name;
    std::vector<Listed>& keys = operation ? account.operations : account.activities;
    return ForEachRow(db, query, [&](const SqliteStatement& activity) {
        std::wstring program = TimelineProgram(activity.Utf8View(1));
        if (program.empty()) program = L"(no program named)";
        DomainInfo& row = Row(account.group, program);
        SetRowItem(row, {ItemKind::kStoreEntry, account.database, program, {}});
        keys.push_back({activity.Utf8(0), &row});
        ++row.itemCount;
        row.sizeSum += static_cast<uint64_t>(activity.Int(5));
        NoteAccess(row, FromUnixSeconds(activity.Int(4)));
        NoteActivity(row, activity.Int(3), activity.Utf8View(2));
    });
}

void CPlgWindowsTimeline::NoteActivity(DomainInfo& row, int64_t type, std::string_view payload) {
    RowNotes& notes = notes_[&row];
    const bool copied = std::find(std::begin(kClipboardTypes), std::end(kClipboardTypes), type) !=
                        std::end(kClipboardTypes);
    const TimelinePayload read = copied ? TimelinePayload{} : ReadTimelinePayload(payload);
    if (notes.programName.empty()) notes.programName = read.programName;
    const std::wstring shown = copied ? std::wstring(L"copied text") : read.shown;
    if (shown.empty() ||
        std::find(notes.shown.begin(), notes.shown.end(), shown) != notes.shown.end())
        return;
    if (notes.shown.size() < kShownPerRow)
        notes.shown.push_back(shown);
    else
        ++notes.more;
}

CPlugin::Result CPlgWindowsTimeline::Fix() {
    StartClean();
    for (Account& account : accounts_) {
        if (IsCancelled()) break;
        bool anyToRemove = false;
        for (DomainInfo* row : RowsOf(account.group)) anyToRemove |= !KeepsRow(*row);
        if (!anyToRemove) continue;
        SetProgress(account.database);
        CleanAccount(account);
    }
    return FinishClean();
}

void CPlgWindowsTimeline::CleanAccount(Account& account) {
    // Plain text, as every item error's: the window shows it as text.
    const std::wstring title =
        L"The Timeline's database \"" + account.database + L"\" was left as it was.";
    if (account.refusal) {
        SetGroupResult(account.group, DomainInfo::kError, ItemError(title, *account.refusal));
        return;
    }
    // The database is asked again: it may have become a link since the scan.
    const RouteCheck route = CheckPathRoute(account.database);
    if (route.route == PathRoute::kThroughLink) {
        SetGroupResult(account.group, DomainInfo::kError,
                       ItemError(title,
                                 L"Changed since the scan: it is now reached through a "
                                 L"link, and Veltrane cleans nothing through a link."));
        return;
    }
    const std::vector<std::string> activities = KeysToRemove(account.activities);
    const std::vector<std::string> operations = KeysToRemove(account.operations);
    // So is the service: it may have started or ended since the scan.
    if (IsFileInUse(account.database)) {
        // The whole database would take the activities the user kept with it.
        if (activities.size() != account.activities.size() ||
            operations.size() != account.operations.size()) {
            SetGroupResult(account.group, DomainInfo::kError, ItemError(title, kInUseWithKept));
            return;
        }
        DeleteAtNextStart(account);
        return;
    }
    const SqliteStatus status = CleanDatabase(account.database, [&](SqliteDb& db) {
        // Open has turned the file's own triggers off: a DELETE removes only the rows it names.
        SqliteStatus step = FillTempTextTable(db, "listed_activities", activities);
        if (step.Ok()) step = FillTempTextTable(db, "listed_operations", operations);
        if (step.Ok())
            step = ExecIfTable(db, "ActivityOperation",
                               "DELETE FROM ActivityOperation WHERE rowid || ':' || hex(Id) IN "
                               "(SELECT value FROM temp.listed_operations)");
        if (step.Ok())
            step = ExecIfTable(db, "Activity",
                               "DELETE FROM Activity WHERE hex(Id) IN "
                               "(SELECT value FROM temp.listed_activities)");
        // The programs of the activities that went; those of an activity
        // that stays (one added since the scan) stay with it.
        if (step.Ok() && db.HasTable("Activity_PackageId"))
            step = db.Exec(
                "DELETE FROM Activity_PackageId WHERE hex(ActivityId) IN "
                "(SELECT value FROM temp.listed_activities) OR "
                "(hex(ActivityId) IN (SELECT substr(value, instr(value, ':') + 1) FROM "
                "temp.listed_operations) AND ActivityId NOT IN (SELECT Id FROM Activity))");
        return step;
    });
    if (status.Ok()) {
        SetGroupResult(account.group, DomainInfo::kDeleted);
        return;
    }
    SetGroupResult(account.group, DomainInfo::kError,
                   ItemError(title, L"SQLite: " + status.message));
}

std::vector<std::string> CPlgWindowsTimeline::KeysToRemove(
    const std::vector<Listed>& listed) const {
    std::vector<std::string> keys;
    for (const Listed& entry : listed)
        if (!IsKept(*entry.row)) keys.push_back(entry.key);
    return keys;
}

void CPlgWindowsTimeline::DeleteAtNextStart(const Account& account) {
    bool deferred = false;
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm"}) {
        const std::wstring path = account.database + suffix;
        if (!IsExistingFile(path)) continue;
        const PathDeletion deleted = DeleteFileEx(path, GetWipeFiles());
        if (deleted.kind == DeleteOutcome::kFailed) {
            SetGroupResult(
                account.group, DomainInfo::kError,
                ItemError(ItemError::kFile, path, ItemError::kSystemMessage, deleted.error, false));
            return;
        }
        deferred = deferred || deleted.kind == DeleteOutcome::kDeferred;
    }
    if (!deferred) {
        // The service let go of it in the meantime: it is gone already.
        SetGroupResult(account.group, DomainInfo::kDeleted);
        return;
    }
    SetRebootNeeded();
    SetGroupResult(
        account.group, DomainInfo::kRebootNeeded,
        ItemError(ItemError::kFile, account.database, ItemError::kOwnText, 0, true, L"", kInUse));
}

}  // namespace veltrane
