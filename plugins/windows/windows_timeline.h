#pragma once
// The Timeline of Windows 10 and 11 (activity history): every account's
// %LOCALAPPDATA%\ConnectedDevicesPlatform\<account>\ActivitiesCache.db, its
// activities listed by program. The clean deletes the activities the scan
// listed (tables Activity and ActivityOperation, with their rows of
// Activity_PackageId) in one database clean, with the file's triggers off;
// a program's row the user unticked keeps its activities. While the Connected Devices
// Platform service holds the database open, no row can be removed: the whole
// database, with its -wal and -shm, is then deleted at the next start.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plugins/windows/grouped_rows_plugin.h"
#include "sysaccess/sqlite_db.h"

namespace veltrane {

class CPlgWindowsTimeline : public CGroupedRowsPlugin {
public:
    CPlgWindowsTimeline(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;

private:
    // One listed row of Activity or ActivityOperation, and the report row it is counted in.
    struct Listed {
        std::string key;
        const DomainInfo* row = nullptr;
    };
    struct Account {
        std::wstring database;
        size_t group = 0;
        // Why the clean leaves the database as it is, when the scan found a reason.
        std::optional<std::wstring> refusal;
        std::vector<Listed> activities;  // hex(Id) of the rows of Activity
        std::vector<Listed> operations;  // "rowid:hex(Id)" of ActivityOperation
    };
    struct RowNotes {
        std::wstring programName;
        std::vector<std::wstring> shown;
        size_t more = 0;
    };
    enum class Table { kActivity, kOperation };

    void ScanAccount(Account& account);
    SqliteStatus ScanTable(SqliteDb& db, Account& account, Table table);
    void NoteActivity(DomainInfo& row, int64_t type, std::string_view payload);
    void CleanAccount(Account& account);
    // The keys of `listed` whose rows are not kept.
    std::vector<std::string> KeysToRemove(const std::vector<Listed>& listed) const;
    void DeleteAtNextStart(const Account& account);

    std::vector<Account> accounts_;
    std::map<const DomainInfo*, RowNotes> notes_;
};

}  // namespace veltrane
