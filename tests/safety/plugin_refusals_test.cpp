// System plug-ins facing a history or recent-documents folder that resolves
// to the user's own files: the folder is left alone and the clean report says
// why, row by row.
#include <windows.h>

#include <gtest/gtest.h>
#include <knownfolders.h>
#include <shlwapi.h>

#include "plugins/system/message_history.h"
#include "support/test_registry.h"
#include "sysaccess/known_folders.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

constexpr wchar_t kMsnAccounts[] = L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings";

TEST(PluginRefusals, MessageLogFolderSetToDocumentsIsNotEmptied) {
    std::wstring documents = GetKnownFolderPath(FOLDERID_Documents);
    std::wstring letter = documents + L"\\veltrane-letter.xml";
    WriteTestFile(letter, "<letter>my own words</letter>");
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath",
              documents);
    std::wstring report;
    std::vector<ItemError> errors;
    {
        PluginRun<CPlgMessageHistory> run(L"MessageHistory", true);
        ASSERT_EQ(run.Scan(), L"Finished");
        const auto& listed = run.plugin->GetFiles(CPlgMessageHistory::kMsn);
        ASSERT_EQ(listed.size(), 1u);  // the folder itself, nothing inside it
        EXPECT_EQ(listed[0].path, documents);
        run.Clean();
        report = run.CleanReport();
        errors = run.plugin->GetErrors();
    }
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\MSNMessenger");

    EXPECT_EQ(ReadTestFile(letter), "<letter>my own words</letter>");
    DeleteFileW(letter.c_str());
    EXPECT_NE(report.find(L"status-failed"), std::wstring::npos) << report;
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].GetReason().find(L"Documents"), std::wstring::npos)
        << errors[0].GetReason();
}

}  // namespace

}  // namespace veltrane
