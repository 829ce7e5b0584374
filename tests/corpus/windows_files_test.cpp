// Real jump lists and shortcuts (corpus folder windows/jumplists: plaso's
// automaticDestinations-ms and customDestinations-ms test files and dtformats'
// 1b4dd67f29cb1962.automaticDestinations-ms; windows/lnk: plaso's example.lnk,
// NeroInfoTool.lnk and unpaired_surrogate.lnk; origins, commits and licences
// in the corpus's MANIFEST.md) planted where Windows keeps them, then scanned
// and cleaned by the installed program: every planted list and shortcut goes,
// Explorer's Quick Access list stays byte for byte, and the reports read.
#include <gtest/gtest.h>
#include <windows.h>

#include <knownfolders.h>

#include <algorithm>
#include <vector>

#include "corpus/unattended_run.h"
#include "support/corpus.h"
#include "support/test_files.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

const wchar_t* const kJumpLists[] = {
    L"1b4dd67f29cb1962.automaticDestinations-ms",
    L"9d1f905ce5044aee.automaticDestinations-ms",
    L"1b4dd67f29cb1962-dtformats.automaticDestinations-ms",
    L"368d807282ccde9d.customDestinations-ms",
    L"5afe4de1b92fc382.customDestinations-ms",
    L"c98dce577f884ef8.customDestinations-ms",
};
const wchar_t* const kShortcuts[] = {L"example.lnk", L"NeroInfoTool.lnk",
                                     L"unpaired_surrogate.lnk"};
constexpr wchar_t kQuickAccess[] = L"f01b4d95cf55d32a.automaticDestinations-ms";

bool Planted(const std::wstring& from, const std::wstring& to) {
    MakeFolder(to.substr(0, to.rfind(L'\\')));
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

bool ReportNames(const std::vector<ReportRow>& rows, const std::wstring& path) {
    return std::ranges::any_of(
        rows, [&](const ReportRow& row) { return std::ranges::find(row, path) != row.end(); });
}

TEST(CorpusWindowsFiles, JumpListsAndRecentShortcutsGoQuickAccessStays) {
    for (const wchar_t* list : kJumpLists)
        SKIP_WITHOUT_CORPUS_FILE(std::wstring(L"windows\\jumplists\\") + list);
    for (const wchar_t* shortcut : kShortcuts)
        SKIP_WITHOUT_CORPUS_FILE(std::wstring(L"windows\\lnk\\") + shortcut);
    const std::wstring recent = GetKnownFolderPath(FOLDERID_Recent);
    ASSERT_FALSE(recent.empty());

    std::vector<std::wstring> lists;
    for (const wchar_t* list : kJumpLists) {
        const std::wstring name = list;
        const bool automatic = name.ends_with(L".automaticDestinations-ms");
        lists.push_back(
            recent + (automatic ? L"\\AutomaticDestinations\\" : L"\\CustomDestinations\\") + name);
        ASSERT_TRUE(Planted(CorpusFile(L"windows\\jumplists\\" + name), lists.back()));
    }
    // The corpus holds no Quick Access list: a real jump list stands in for it.
    const std::wstring quickAccess = recent + L"\\AutomaticDestinations\\" + kQuickAccess;
    ASSERT_TRUE(Planted(
        CorpusFile(L"windows\\jumplists\\9d1f905ce5044aee.automaticDestinations-ms"), quickAccess));
    const std::string pins = ReadTestFile(quickAccess);
    std::vector<std::wstring> shortcuts;
    for (const wchar_t* shortcut : kShortcuts) {
        shortcuts.push_back(recent + L"\\" + shortcut);
        ASSERT_TRUE(
            Planted(CorpusFile(std::wstring(L"windows\\lnk\\") + shortcut), shortcuts.back()));
    }

    const UnattendedRun scan = RunUnattended(L"/scan", {L"JumpLists", L"WinRecUsed"});
    ASSERT_EQ(scan.exitCode, 0);
    size_t listsFound = 0;
    for (const std::wstring& list : lists)
        if (ReportNames(scan.rows.at(L"JumpLists"), list)) ++listsFound;
    EXPECT_EQ(listsFound, lists.size());
    EXPECT_FALSE(ReportNames(scan.rows.at(L"JumpLists"), quickAccess));
    for (const auto& [id, report] : scan.reports)
        EXPECT_TRUE(IsReadableReport(report)) << ToUtf8(id);

    const UnattendedRun clean = RunUnattended(L"/clean", {L"JumpLists", L"WinRecUsed"});
    EXPECT_EQ(clean.exitCode, 0);
    for (const auto& [id, report] : clean.reports)
        EXPECT_TRUE(IsReadableReport(report)) << ToUtf8(id);
    const size_t listsLeft = std::ranges::count_if(lists, FileExists);
    const size_t shortcutsLeft = std::ranges::count_if(shortcuts, FileExists);
    EXPECT_EQ(listsLeft, 0u);
    EXPECT_EQ(shortcutsLeft, 0u);
    EXPECT_TRUE(FileExists(quickAccess) && ReadTestFile(quickAccess) == pins)
        << "Explorer's Quick Access list was changed or removed";
    PrintCorpusResult(L"jumplists (JumpLists)", lists.size(), listsFound, listsLeft);
    PrintCorpusResult(L"Quick Access stand-in (JumpLists, kept)", 1, 0, FileExists(quickAccess));
    PrintCorpusResult(L"lnk in Recent (WinRecUsed)", shortcuts.size(),
                      scan.plugins.at("WinRecUsed")["items"].get<size_t>(), shortcutsLeft);

    for (const std::wstring& file : lists) DeleteFileW(file.c_str());
    for (const std::wstring& file : shortcuts) DeleteFileW(file.c_str());
    DeleteFileW(quickAccess.c_str());
}

}  // namespace

}  // namespace veltrane
