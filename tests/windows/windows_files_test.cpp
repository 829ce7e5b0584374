// The traces of Windows 10 and 11 as the seeder writes them, cleaned by
// their plug-ins through a real kernel: every trace gone, every piece of
// control data beside them (an Office list's setting, another program's
// values, a value that is no counter, the machine's other WER folders, a
// file in CrashDumps that is no dump, the Timeline's settings) left.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "corpus/unattended_run.h"
#include "plugins/standard/catalogue.h"
#include "plugins/windows/feature_usage.h"
#include "plugins/windows/office_recent_files.h"
#include "plugins/windows/windows_timeline.h"
#include "seedtraces/seed_windows10.h"
#include "standard/seed_manifest.h"
#include "sysaccess/sqlite_db.h"
#include "sysaccess/text.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

template <typename Plugin>
void ScanAndClean(const wchar_t* id, const std::wstring& shown) {
    SCOPED_TRACE(ToUtf8(id));
    PluginRun<Plugin> run(id);
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(shown), std::wstring::npos) << ToUtf8(report);
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_EQ(run.ScanReport().find(shown), std::wstring::npos);
}

std::wstring Count(const std::wstring& database, const char* table) {
    SqliteDb db;
    if (!db.Open(database, SqliteDb::Access::kReadOnly).Ok()) return L"(cannot open)";
    return db.QueryText(std::string("SELECT count(*) FROM ") + table);
}

TEST(Windows10Plugins, EachCleansItsSeededTracesAndLeavesWhatIsBeside) {
    StandardSeedManifest seeded;
    ASSERT_TRUE(SeedWindows10Traces(1, &seeded));
    const std::wstring timeline =
        TimelineAccountFolder(LocalTimelineAccount()) + L"\\ActivitiesCache.db";
    ASSERT_EQ(Count(timeline, "Activity"), std::to_wstring(seeded::kTimelineLocalActivities));

    ScanAndClean<CPlgOfficeRecentFiles>(L"OfficeRecentFiles",
                                        L"C:\\Users\\Public\\Documents\\draft 1.docx");
    ScanAndClean<CPlgFeatureUsage>(L"FeatureUsage", L"StartButton");
    ScanAndClean<CPlgWindowsTimeline>(L"WindowsTimeline", L"Quarterly report.docx");
    ScanAndClean<CPlgErrorReports>(L"ErrorReports", L"WINWORD.EXE.7312.dmp");

    ExpectCleanedAsSeeded(seeded);
    for (const std::wstring& database :
         {timeline, TimelineAccountFolder(kMicrosoftTimelineAccount) + L"\\ActivitiesCache.db"}) {
        EXPECT_EQ(Count(database, "Activity"), L"0");
        EXPECT_EQ(Count(database, "ActivityOperation"), L"0");
        EXPECT_EQ(Count(database, "Activity_PackageId"), L"0");
        EXPECT_EQ(Count(database, "Metadata"), L"2");
    }
    UndoSeeding(seeded);
    RemoveTree(TimelineAccountFolder(L"x").substr(0, TimelineAccountFolder(L"x").size() - 2));
}

// The installed program, unattended, as a user's scheduled clean runs it: the
// /json counts agree with what went, and the same control data stays.
TEST(Windows10Plugins, TheUnattendedProgramCleansWhatItsScanShowed) {
    StandardSeedManifest seeded;
    ASSERT_TRUE(SeedWindows10Traces(1, &seeded));
    const std::vector<std::wstring> ids = {L"WindowsTimeline", L"OfficeRecentFiles",
                                           L"FeatureUsage", L"ErrorReports"};
    const UnattendedRun scan = RunUnattended(L"/scan", ids);
    ASSERT_EQ(scan.exitCode, 0);
    for (const std::wstring& id : ids)
        EXPECT_GT(scan.plugins.at(ToUtf8(id))["items"].get<size_t>(), 0u) << ToUtf8(id);

    const UnattendedRun clean = RunUnattended(L"/clean", ids);
    EXPECT_EQ(clean.exitCode, 0);
    ExpectCleanedAsSeeded(seeded);
    const std::wstring timeline =
        TimelineAccountFolder(LocalTimelineAccount()) + L"\\ActivitiesCache.db";
    EXPECT_EQ(Count(timeline, "Activity"), L"0");
    EXPECT_EQ(Count(timeline, "Metadata"), L"2");
    UndoSeeding(seeded);
    RemoveTree(TimelineAccountFolder(L"x").substr(0, TimelineAccountFolder(L"x").size() - 2));
}

}  // namespace

}  // namespace veltrane
