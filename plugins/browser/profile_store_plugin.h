#pragma once
// The common part of the plug-ins for today's browsers: every profile of a
// browser family, its rows grouped under "browser - profile" and then by
// domain, and the rule that a profile in use is scanned but never cleaned.
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "plugins/browser/browser_profiles.h"
#include "plugins/browser/cookie_store.h"
#include "plugins/browser/domain_plugin.h"
#include "plugins/browser/sqlite_clean.h"
#include "sysaccess/file_identity.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/item_ref.h"
#include "sysaccess/sqlite_db.h"

namespace veltrane {

class CProfileStorePlugin : public CDomainPlugin {
public:
    using CDomainPlugin::CDomainPlugin;

    Result Scan() override;
    Result Fix() override;

    struct ProfileState {
        BrowserProfile profile;
        bool inUse = false;
        // A folder of the profile reached through a link: listed, never cleaned.
        std::optional<ProfileLink> link;
    };
    const std::vector<ProfileState>& Profiles() const { return profiles_; }

protected:
    // Where the rows of one profile come from; a plug-in with several stores
    // (a database and its whole files) gives each its own number.
    struct RowTag {
        size_t profile = 0;
        int store = 0;
    };
    // The store of the one row of a profile that is listed but not cleaned.
    static constexpr int kRefusedStore = 1000;

    virtual BrowserProfiles FindProfiles() const = 0;
    virtual void ScanProfile(size_t index, const BrowserProfile& profile) = 0;
    // Cleans what the scan found in a profile that is not in use, setting
    // the result of each of its rows.
    virtual void CleanProfile(size_t index, const BrowserProfile& profile) = 0;

    // True for the first profile (not reached through a link) of its User
    // Data folder: what belongs to the whole browser is listed with it.
    bool IsFirstOfUserData(size_t index) const;
    // The row `name` of store `store` of profile `index`, added empty when absent.
    DomainInfo& Row(size_t index, int store, const std::wstring& name);
    // The database behind the rows of a store, which names them for the
    // user's check boxes (unset: the profile's folder).
    void SetStorePlace(size_t index, int store, const std::wstring& path);
    // Notes that the scan counted record `id` of `table` (its rowid or
    // primary key), or the record whose text key is `key`, behind `row`.
    void NoteRecord(const DomainInfo& row, std::string_view table, int64_t id);
    void NoteRecordKey(const DomainInfo& row, std::string_view table, std::string key);
    // The records of `table` behind the rows of store `store` that the clean
    // removes: what the scan counted, less the rows the user or a rule keeps.
    std::vector<int64_t> ListedIds(size_t index, int store, std::string_view table) const;
    std::vector<std::string> ListedKeys(size_t index, int store, std::string_view table) const;
    // The same, as temp.<name>(id INTEGER PRIMARY KEY) of `db`.
    SqliteStatus FillListedIds(SqliteDb& db, std::string_view name, size_t index, int store,
                               std::string_view table) const;
    // Rows of one store (or of every store with `store` < 0) of one profile.
    std::vector<DomainInfo*> RowsOf(size_t index, int store) const;
    bool HasRows(size_t index, int store) const { return !RowsOf(index, store).empty(); }
    // Every row of the store takes the clean's outcome: deleted, or failed
    // with SQLite's message and the file it concerns.
    void SetStoreResult(size_t index, int store, const SqliteStatus& status,
                        const std::wstring& path);
    void FailRows(size_t index, int store, const ItemError& error);
    // Cleans the database at `path` behind `stores` (one database may fill
    // several stores) as one transaction and sets their rows' results. A
    // database the scan could not read is left as it was: what the scan did
    // not show is not cleaned. False when it was not cleaned.
    bool CleanStores(size_t index, const std::vector<int>& stores, const std::wstring& path,
                     const DatabaseWork& work);

    // How a store counts time in the rows a scan reads.
    enum class TimeBase { kChrome, kUnixMicroseconds, kUnixSeconds };
    using RowNamer = std::wstring (*)(std::wstring_view text);
    // Files every result of `query` (text, time, bytes, and the record's id
    // when `idTable` is given) under the row `name(text)`.
    SqliteStatus ScanRows(size_t index, int store, SqliteDb& db, std::string_view query,
                          TimeBase time, RowNamer name, std::string_view idTable = {});
    // The same on the database at `path` when it has `table`, with the query
    // `query` writes for its columns; a database that cannot be read gets its
    // row under `label`.
    using QueryFor = std::function<std::string(SqliteDb& db)>;
    void ScanDatabase(size_t index, int store, const std::wstring& path, const wchar_t* label,
                      std::string_view table, const QueryFor& query, TimeBase time, RowNamer name,
                      bool withIds = false);
    // Cleans the cookies the scan listed around the kernel's keep-list and
    // sets the rows' results.
    void CleanCookies(size_t index, const std::wstring& path, std::string_view table,
                      std::string_view hostColumn);
    // A database that could not be read gets a row of its own, so the
    // preview says so, and the clean leaves the store alone and says why.
    DomainInfo& NoteUnreadable(size_t index, int store, const std::wstring& file,
                               const SqliteStatus& status);
    // A row for the files of `paths` that exist (a file and its -journal, ...);
    // null when none does.
    DomainInfo* AddFilesRow(size_t index, int store, const std::wstring& name,
                            const std::vector<std::wstring>& paths);
    // A row for everything below `folder`, when it holds any file (else
    // null); the folder stays.
    DomainInfo* AddFolderRow(size_t index, int store, const std::wstring& name,
                             const std::wstring& folder);
    // Removes the files and folders the scan listed behind the rows of a
    // store, each through its own handle (overwrite, deferral to the next
    // start, the guard of protected places), setting each row's result; what
    // changed or came after the scan stays.
    void DeleteFileRows(size_t index, int store);

    void FillRow(std::wstring& row, const DomainInfo& domain) const override;
    // Every row's clean asks about the row first (DecideKeptRows, KeepIfChosen).
    bool OffersRowChoice() const override { return true; }
    // Asks whether `row` may go; true when the user or a rule keeps it: it
    // is then marked kept and shows why.
    bool KeepIfChosen(DomainInfo& row);
    // `row` only reports (a refusal): it takes no check box.
    void ListOnly(const DomainInfo& row) { reportOnly_.insert(&row); }
    void FillTotals(std::wstring& totals) const override;

    std::map<const DomainInfo*, RowTag> tags_;
    // The records the scan counted behind each row, by table.
    struct ListedRecords {
        std::map<std::string, std::vector<int64_t>, std::less<>> ids;
        std::map<std::string, std::vector<std::string>, std::less<>> keys;
    };
    std::map<const DomainInfo*, ListedRecords> rowRecords_;
    // What the scan listed behind each row; the clean removes exactly that.
    std::map<const DomainInfo*, std::vector<FileIdentity>> rowFiles_;
    std::map<const DomainInfo*, FolderTreeListing> rowFolders_;

private:
    // Grouped by profile and store, the most items first within a group.
    void BuildGroupedView();
    // Fails every row of a profile that cannot be cleaned now (reached
    // through a link, changed since the scan, in use); false when none such.
    bool RefuseProfile(size_t index);
    // Asks whether each row of `store` may go; a row the user or a rule keeps
    // is marked kept, shows why, and gives the clean none of its records.
    void DecideKeptRows(size_t index, int store);
    // The item the user's check box of `row` names.
    ItemRef RowItem(const DomainInfo& row) const;
    // The group of the rows of profile `index`.
    std::wstring ProfileGroupKey(size_t index) const;
    // The reason a store is not cleaned because its scan failed, if it did.
    [[nodiscard]] std::optional<ItemError> ScanFailure(size_t index, const std::vector<int>& stores,
                                                       const std::wstring& path) const;

    std::vector<ProfileState> profiles_;
    std::map<const DomainInfo*, bool> groupStarts_;
    // Row() by profile and store, then by name: a history of tens of
    // thousands of pages asks for the same few rows again and again.
    std::map<std::pair<size_t, int>, std::unordered_map<std::wstring, DomainInfo*>> rowIndex_;
    // SQLite's message for each store (profile, store) the scan could not read.
    std::map<std::pair<size_t, int>, std::wstring> scanFailures_;
    // The databases named by SetStorePlace, by (profile, store).
    std::map<std::pair<size_t, int>, std::wstring> storePlaces_;
    // Rows that only report (a database that could not be read).
    std::set<const DomainInfo*> reportOnly_;
    // Why the last clean kept a row the user or a rule kept.
    std::map<const DomainInfo*, KeepVerdict> keptRows_;
};

// Times as the browsers store them, as FILETIME.
FILETIME FromChromeTime(int64_t microsecondsSince1601);
FILETIME FromUnixMicroseconds(int64_t microseconds);
FILETIME FromUnixSeconds(int64_t seconds);
// Keeps the later of the row's last access and `time`.
void NoteAccess(DomainInfo& row, const FILETIME& time);

}  // namespace veltrane
