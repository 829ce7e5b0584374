// The recent documents of Office's programs in the registry and the Office
// "Recent" folder: what a scan lists by each value's own name, what a clean
// removes, and values it cannot or must not delete.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "office_run.h"
#include "plugins/system/office_recent.h"
#include "support/cancel_at_clean.h"
#include "support/test_registry.h"
#include "sysaccess/registry_links.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

constexpr wchar_t kAccess[] = L"Software\\Microsoft\\Office\\11.0\\Access\\Settings";
constexpr wchar_t kExcel[] = L"Software\\Microsoft\\Office\\9.0\\Excel\\Recent Files";
constexpr wchar_t kInfoPath[] = L"Software\\Microsoft\\Office\\11.0\\InfoPath\\Recent File List";

TEST_F(OfficeRun, RegistrySourcesAreReadByTheirOwnValueNames) {
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU0", L"C:\\Data\\Orders.mdb");
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU10", L"C:\\Data\\Staff.mdb");
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU11", L"C:\\Data\\Beyond.mdb");
    SetString(HKEY_CURRENT_USER, kAccess, L"Default Path", L"C:\\Data");
    SetString(HKEY_CURRENT_USER, kExcel, L"File1", L"C:\\Data\\Book1.xls");
    SetString(HKEY_CURRENT_USER, kExcel, L"File 2", L"C:\\Data\\Spaced.xls");
    SetString(HKEY_CURRENT_USER, kExcel, L"File3", L"Q3.xls");
    SetString(HKEY_CURRENT_USER, kInfoPath, L"File 1", L"C:/Forms/Expense.xsn");
    SetString(HKEY_CURRENT_USER, kInfoPath, L"File2", L"C:\\Forms\\NoSpace.xsn");

    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_TRUE(run.plugin->GetWordList().empty());  // no Word here
    EXPECT_EQ(Names(run.plugin->GetRegistryList()),
              (std::vector<std::wstring>{L"MRU0=Orders.mdb", L"MRU10=Staff.mdb", L"File1=Book1.xls",
                                         L"File3=Q3.xls", L"File 1=Expense.xsn"}));
    const RecentDocument& book = run.plugin->GetRegistryList()[2];
    EXPECT_EQ(book.path, L"C:\\Data\\Book1.xls");
    EXPECT_NE(book.type, L"-");  // the shell names a type by the extension alone

    std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"<td>Book1.xls</td>"), std::wstring::npos) << report;
    EXPECT_NE(report.find(L"Recent documents: 5"), std::wstring::npos);
}

TEST_F(OfficeRun, CleanRemovesExactlyWhatTheScanListed) {
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU1", L"C:\\Data\\Orders.mdb");
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU2", L"C:\\Data\\Staff.mdb");
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU11", L"C:\\Data\\Beyond.mdb");
    SetString(HKEY_CURRENT_USER, kAccess, L"Default Path", L"C:\\Data");
    WriteTestFile(OfficeRecentFolder() + L"\\Orders.mdb.LNK", "shortcut");
    WriteTestFile(OfficeRecentFolder() + L"\\Old\\index.dat", "index");

    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_EQ(run.plugin->GetFolderList().size(), 1u);
    EXPECT_NE(run.ScanReport().find(L"Orders.mdb.LNK"), std::wstring::npos);
    // After the scan: a new value, a value that names another document now, a new shortcut.
    SetString(HKEY_CURRENT_USER, kInfoPath, L"File 4", L"C:\\Forms\\Late.xsn");
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU2", L"C:\\Data\\Payroll.mdb");
    WriteTestFile(OfficeRecentFolder() + L"\\Late.xsn.LNK", "shortcut");
    ASSERT_EQ(run.Clean(), L"Finished with failures");

    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kAccess, L"MRU1"));
    EXPECT_FALSE(FileExists(OfficeRecentFolder() + L"\\Orders.mdb.LNK"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kInfoPath, L"File 4"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAccess, L"MRU2"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAccess, L"MRU11"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAccess, L"Default Path"));
    EXPECT_TRUE(FileExists(OfficeRecentFolder() + L"\\Late.xsn.LNK"));
    EXPECT_TRUE(FileExists(OfficeRecentFolder() + L"\\Old\\index.dat"));
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-deleted"), 2u) << report;
    bool changed = false;
    for (const ItemError& error : run.plugin->GetErrors())
        changed = changed || error.GetReason().starts_with(L"Changed since the scan: ");
    EXPECT_TRUE(changed);
}

// A registry row the user unticked stays, and so does one an exclusion names;
// each says why in the clean's report.
TEST_F(OfficeRun, UntickedAndExcludedRegistryRowsStay) {
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU1", L"C:\\Data\\Orders.mdb");
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU2", L"C:\\Data\\Staff.mdb");
    SetString(HKEY_CURRENT_USER, kExcel, L"File1", L"C:\\Data\\Book1.xls");
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    run.kernel->AddRunExclusions({L"value:HKCU\\" + std::wstring(kExcel) + L"|File*"});
    ASSERT_EQ(run.Scan(), L"Finished");
    run.kernel->SetKeptByYou({ItemKey(RegValueItemRef(HKEY_CURRENT_USER, kAccess, L"MRU2"))});
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kAccess, L"MRU1"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAccess, L"MRU2"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kExcel, L"File1"));
    const std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"Kept by you"), 1u) << report;
    EXPECT_EQ(CountOf(report, L"Excluded"), 1u) << report;
}

// Sets the key's access list: everyone may do anything but `denied`.
void RestrictKey(const std::wstring& keyPath, DWORD denied) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    BYTE buffer[256] = {};
    ACL* acl = reinterpret_cast<ACL*>(buffer);
    SECURITY_DESCRIPTOR descriptor;
    ASSERT_TRUE(InitializeAcl(acl, sizeof(buffer), ACL_REVISION));
    if (denied != 0) {
        ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, denied, everyone));
    }
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone));
    FreeSid(everyone);
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(OfficeRun, AValueThatCannotBeDeletedFailsItsRowWithTheSystemsReason) {
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU0", L"C:\\Data\\Orders.mdb");
    SetString(HKEY_CURRENT_USER, kExcel, L"File1", L"C:\\Data\\Book1.xls");
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    RestrictKey(kExcel, KEY_SET_VALUE);
    EXPECT_EQ(run.Clean(), L"Finished with failures");
    RestrictKey(kExcel, 0);

    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kAccess, L"MRU0"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kExcel, L"File1"));
    const RecentDocumentList& list = run.plugin->GetRegistryList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].result, ItemOutcome::kRemoved);
    EXPECT_EQ(list[1].result, ItemOutcome::kFailed);
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    const ItemError& error = run.plugin->GetErrors()[0];
    EXPECT_EQ(error.GetTitle(),
              L"Error occurred while attempting to delete registry value "
              L"\"HKEY_CURRENT_USER\\" +
                  std::wstring(kExcel) + L"\\File1\".");
    EXPECT_EQ(error.GetReason(), L"Access denied.");
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-deleted"), 1u) << report;
    EXPECT_NE(report.find(L"Data\\Book1.xls</td><td><a href=\"#\" class=\"status status-failed\" "
                          L"id=\"idError_1\""),
              std::wstring::npos)
        << report;
}

// A list's key that is a registry link: its values are another key's, and
// neither the listed deletions nor the sweep of numbered names reach them.
TEST_F(OfficeRun, AListKeyThatIsARegistryLinkIsOneRowTheCleanLeaves) {
    ScopedTestKey target(L"OfficeLinkTarget");
    SetString(HKEY_CURRENT_USER, target.Path(), L"File1", L"C:\\Budget\\kept.xls");
    SetString(HKEY_CURRENT_USER, target.Path(), L"File2", L"C:\\Budget\\also kept.xls");
    CreateKey(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\9.0\\Excel");
    ASSERT_TRUE(MakeRegLink(HKEY_CURRENT_USER, kExcel, target.Path()));
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_EQ(run.plugin->GetRegistryList().size(), 1u);
    EXPECT_EQ(run.plugin->GetRegistryList()[0].path, L"HKEY_CURRENT_USER\\" + std::wstring(kExcel));

    EXPECT_EQ(run.Clean(), L"Finished with failures");
    EXPECT_EQ(run.plugin->GetRegistryList()[0].result, ItemOutcome::kFailed);
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason(), kRegistryLinkLeft);
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, target.Path(), L"File1"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, target.Path(), L"File2"));
}

TEST_F(OfficeRun, CancelledCleanLeavesTheValuesAndTheFolder) {
    SetString(HKEY_CURRENT_USER, kAccess, L"MRU0", L"C:\\Data\\Orders.mdb");
    WriteTestFile(OfficeRecentFolder() + L"\\Orders.mdb.LNK", "shortcut");
    PluginRun<CancelAtClean<CPlgMSOfficeRecUsed>> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    run.Clean();
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kAccess, L"MRU0"));
    EXPECT_TRUE(FileExists(OfficeRecentFolder() + L"\\Orders.mdb.LNK"));
    EXPECT_EQ(run.plugin->GetRegistryList()[0].result, ItemOutcome::kNotProcessed);
    EXPECT_EQ(CountOf(run.CleanReport(), L"status-cancelled"), 2u);  // the value and the shortcut
}

// Document names and types come from the machine; a "#" in them is no placeholder.
TEST_F(OfficeRun, PlaceholderLookAlikesInDocumentNamesShowAsWritten) {
    SetString(HKEY_CURRENT_USER, kExcel, L"File1", L"C:\\#volumes#\\#total# #name#.xls");
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"<td>&#35;total&#35; &#35;name&#35;.xls</td>"), std::wstring::npos)
        << report;
    EXPECT_NE(report.find(L"C:\\&#35;volumes&#35;\\&#35;total&#35; &#35;name&#35;.xls"),
              std::wstring::npos);
    EXPECT_NE(report.find(L"Recent documents: 1"), std::wstring::npos);
}

// Word is the stub server, registered under its ProgID for the test's time.
}  // namespace

}  // namespace veltrane
