// The Timeline's ActivitiesCache.db, written with Windows 11's schema: rows
// by program without the copied text, a clean that removes only the listed
// activities (not one added since, not the database's settings, with a
// planted trigger kept from running), and a database held open deferred whole.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "plugins/windows/windows_timeline.h"
#include "seedtraces/seed_windows10.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/item_ref.h"
#include "sysaccess/sqlite_db.h"
#include "sysaccess/text.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

const std::string kWord =
    "{6D809377-6AF0-444B-8957-A3773F02200E}\\\\Microsoft Office\\\\root\\\\Office16\\\\WINWORD.EXE";

TimelineActivity Activity(const char* id, const std::string& exe, const char* name,
                          const char* shown, int type = 5) {
    return {id, exe, name, shown, type, 1796115600, type == 10 ? "c2VjcmV0" : ""};
}

std::wstring Query(const std::wstring& path, const char* sql) {
    SqliteDb db;
    if (!db.Open(path, SqliteDb::Access::kReadOnly).Ok()) return L"(cannot open)";
    return db.QueryText(sql);
}

class WindowsTimeline : public testing::Test {
protected:
    void SetUp() override {
        RemoveTree(Platform());
        database = TimelineAccountFolder(LocalTimelineAccount()) + L"\\ActivitiesCache.db";
        ASSERT_TRUE(WriteTimelineDatabase(
            database,
            TimelineRows(Activity("11111111111111111111111111111111", kWord, "Word", "Plan.docx"),
                         true) +
                TimelineRows(
                    Activity("22222222222222222222222222222222", kWord, "Word", "Budget.docx"),
                    false) +
                TimelineRows(Activity("33333333333333333333333333333333",
                                      "Microsoft.Windows.Explorer", "Clipboard", "", 10),
                             false)));
    }
    void TearDown() override { RemoveTree(Platform()); }
    static std::wstring Platform() {
        return TimelineAccountFolder(L"x").substr(0, TimelineAccountFolder(L"x").size() - 2);
    }
    std::wstring database;
};

TEST_F(WindowsTimeline, CleanRemovesOnlyTheListedActivities) {
    PluginRun<CPlgWindowsTimeline> run(L"WindowsTimeline");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_EQ(run.plugin->OrderedView().size(), 2u);
    const DomainInfo* word = run.plugin->OrderedView()[0];
    EXPECT_NE(word->name.find(L"\\Microsoft Office\\root\\Office16\\WINWORD.EXE"),
              std::wstring::npos)
        << word->name;
    EXPECT_EQ(word->itemCount, 3);  // two activities and one pending upload
    const std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"Plan.docx"), std::wstring::npos) << report;
    EXPECT_NE(report.find(L"copied text"), std::wstring::npos) << report;
    EXPECT_EQ(report.find(L"c2VjcmV0"), std::wstring::npos);

    // Used after the scan: stays. A trigger planted in the file must not run.
    {
        SqliteDb db;
        ASSERT_TRUE(db.Open(database, SqliteDb::Access::kReadWrite).Ok());
        ASSERT_TRUE(db.Exec(TimelineRows(Activity("44444444444444444444444444444444", kWord, "Word",
                                                  "Late.docx"),
                                         false) +
                            "CREATE TRIGGER wipe AFTER DELETE ON Activity BEGIN "
                            "DELETE FROM Metadata; END;")
                        .Ok());
    }
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_EQ(Query(database, "SELECT group_concat(hex(Id)) FROM Activity"),
              L"44444444444444444444444444444444");
    EXPECT_EQ(Query(database, "SELECT count(*) FROM ActivityOperation"), L"0");
    EXPECT_EQ(Query(database, "SELECT group_concat(hex(ActivityId)) FROM Activity_PackageId"),
              L"44444444444444444444444444444444");
    EXPECT_EQ(Query(database, "SELECT count(*) FROM Metadata"), L"2");
    EXPECT_EQ(Query(database, "SELECT count(*) FROM AppSettings"), L"1");
}

// A program's row the user unticked keeps its activities; the other row's
// go. Held open by the service, the database cannot go whole at the next
// start without the kept ones: it is left, and the rows say why.
TEST_F(WindowsTimeline, AnUntickedProgramKeepsItsActivities) {
    PluginRun<CPlgWindowsTimeline> run(L"WindowsTimeline");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_EQ(run.plugin->OrderedView().size(), 2u);
    const DomainInfo* word = run.plugin->OrderedView()[0];
    const std::wstring key = ItemKey({ItemKind::kStoreEntry, database, word->name, {}});
    EXPECT_NE(run.ScanReport().find(L"data-item=\"" + EscapeHtml(key) + L"\""), std::wstring::npos);
    run.kernel->SetKeptByYou({key});
    {
        UniqueHandle held(CreateFileW(database.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(run.Clean(), L"Finished with failures");
        EXPECT_EQ(PendingRenameOperations().find(L"ActivitiesCache.db"), std::wstring::npos);
    }
    EXPECT_EQ(Query(database, "SELECT count(*) FROM Activity"), L"3");

    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_EQ(
        Query(database, "SELECT group_concat(hex(Id)) FROM (SELECT Id FROM Activity ORDER BY Id)"),
        L"11111111111111111111111111111111,22222222222222222222222222222222");
    EXPECT_EQ(word->result, DomainInfo::kKept);
    EXPECT_NE(run.CleanReport().find(L"Kept by you"), std::wstring::npos);
}

TEST_F(WindowsTimeline, ADatabaseHeldOpenGoesWholeAtTheNextStart) {
    PluginRun<CPlgWindowsTimeline> run(L"WindowsTimeline");
    ASSERT_EQ(run.Scan(), L"Finished");
    // As the Connected Devices Platform service holds it: sharing nothing.
    UniqueHandle held(CreateFileW(database.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    run.Clean();
    for (const DomainInfo* row : run.plugin->OrderedView())
        EXPECT_EQ(row->result, DomainInfo::kRebootNeeded) << row->name;
    EXPECT_NE(PendingRenameOperations().find(L"ActivitiesCache.db"), std::wstring::npos);
    held.Close();
    EXPECT_EQ(Query(database, "SELECT count(*) FROM Activity"), L"3");
    SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations");
}

// The window shows an item error's title as text: it is never escaped as markup.
TEST_F(WindowsTimeline, ADatabaseReachedThroughALinkSinceTheScanStaysAndSaysWhyInPlainText) {
    PluginRun<CPlgWindowsTimeline> run(L"WindowsTimeline");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring account = database.substr(0, database.rfind(L'\\'));
    const std::wstring moved = account + L"-moved";
    ASSERT_TRUE(MoveFileW(account.c_str(), moved.c_str()));
    ASSERT_TRUE(MakeFolderLink(account, moved));
    run.Clean();
    RemoveFolderLink(account);
    ASSERT_FALSE(run.plugin->GetErrors().empty());
    const std::wstring title = run.plugin->GetErrors()[0].GetTitle();
    EXPECT_EQ(title.rfind(L"The Timeline's database \"", 0), 0u) << ToUtf8(title);
    EXPECT_EQ(Query(moved + L"\\ActivitiesCache.db", "SELECT count(*) FROM Activity"), L"3");
}

}  // namespace

}  // namespace veltrane
