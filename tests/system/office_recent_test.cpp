#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "plugins/system/office_recent.h"
#include "support/cancel_at_clean.h"
#include "support/test_registry.h"
#include "sysaccess/registry_links.h"
#include "system/plugin_run.h"
#include "system/word_stub.h"

namespace {

constexpr wchar_t kOffice[] = L"Software\\Microsoft\\Office";
constexpr wchar_t kAccess[] = L"Software\\Microsoft\\Office\\11.0\\Access\\Settings";
constexpr wchar_t kExcel[] = L"Software\\Microsoft\\Office\\9.0\\Excel\\Recent Files";
constexpr wchar_t kInfoPath[] = L"Software\\Microsoft\\Office\\11.0\\InfoPath\\Recent File List";

std::wstring OfficeRecentFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE);
    return std::wstring(appData) + L"\\Microsoft\\Office\\Recent";
}

class OfficeRun : public testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kOffice); }
    void TearDown() override {
        DeleteTree(HKEY_CURRENT_USER, kOffice);
        RemoveTree(OfficeRecentFolder());
    }
    static std::vector<std::wstring> Names(const RecentDocumentList& list) {
        std::vector<std::wstring> names;
        for (const RecentDocument& record : list)
            names.push_back(record.valueName + L"=" + record.name);
        return names;
    }
};

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
class WordRun : public OfficeRun {
protected:
    void SetUp() override {
        OfficeRun::SetUp();
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring dll = module;
        dll = dll.substr(0, dll.rfind(L'\\') + 1) + L"word_stub.dll";
        wchar_t classId[64] = {};
        StringFromGUID2(kWordStubClassId, classId, 64);
        classKey = std::wstring(L"Software\\Classes\\CLSID\\") + classId;
        SetString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Word.Application\\CLSID", L"", classId);
        SetString(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"", dll);
        SetString(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"ThreadingModel",
                  L"Apartment");
        DeleteTree(HKEY_CURRENT_USER, kWordStubKey);
    }
    void TearDown() override {
        DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Word.Application");
        DeleteTree(HKEY_LOCAL_MACHINE, classKey);
        DeleteTree(HKEY_CURRENT_USER, kWordStubKey);
        OfficeRun::TearDown();
    }

    static void SetWordList(const std::vector<std::wstring>& files) {
        std::wstring data;
        for (const std::wstring& file : files) data += file + L'\0';
        data += L'\0';
        HKEY key = nullptr;
        RegCreateKeyW(HKEY_CURRENT_USER, kWordStubKey, &key);
        RegSetValueExW(key, L"Files", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static std::vector<std::wstring> WordList() {
        std::vector<std::wstring> files;
        wchar_t data[4096] = {};
        DWORD size = sizeof(data) - 2 * sizeof(wchar_t);
        if (SHGetValueW(HKEY_CURRENT_USER, kWordStubKey, L"Files", nullptr, data, &size) !=
            ERROR_SUCCESS)
            return files;
        for (const wchar_t* entry = data; *entry; entry += wcslen(entry) + 1)
            files.emplace_back(entry);
        return files;
    }
    static DWORD Recorded(const wchar_t* name) {
        DWORD value = 0;
        GetDword(HKEY_CURRENT_USER, kWordStubKey, name, value);
        return value;
    }

    std::wstring classKey;
    const std::wstring a = L"C:\\Docs\\Letter.doc";
    const std::wstring b = L"C:\\Docs\\Minutes.doc";
    const std::wstring c = L"D:\\Archive\\Offer.rtf";
};

TEST_F(WordRun, ScanListsWordsRecentFilesAndLetsWordQuit) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    const RecentDocumentList& list = run.plugin->GetWordList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, a);
    EXPECT_EQ(list[0].name, L"Letter.doc");
    EXPECT_EQ(list[2].path, c);
    EXPECT_EQ(list[2].type, L"-");  // the shell knows no type for a file that is not there
    EXPECT_EQ(Recorded(L"Quit"), 1u);
    EXPECT_EQ(Recorded(L"QuitSaveChanges"), 2u);  // omitted
    EXPECT_EQ(WordList().size(), 3u);             // a scan changes nothing
}

TEST_F(WordRun, CleanRemovesTheScannedDocumentsAsTheListShiftsAndLeavesLaterOnes) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring opened = L"C:\\Docs\\Opened since.doc";
    SetWordList({opened, a, b, c});
    ASSERT_EQ(run.Clean(), L"Finished");

    // Opened after the scan: not a row the user saw.
    EXPECT_EQ(WordList(), std::vector<std::wstring>{opened});
    for (const RecentDocument& record : run.plugin->GetWordList())
        EXPECT_EQ(record.result, ItemOutcome::kRemoved) << record.path;
    EXPECT_EQ(Recorded(L"QuitSaveChanges"), 1u);
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-deleted"), 3u) << report;
    EXPECT_EQ(report.find(L"Opened since"), std::wstring::npos);
}

TEST_F(WordRun, ADocumentGoneFromWordsListFailsWithAnUnknownError) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    SetWordList({a, c});
    ASSERT_EQ(run.Clean(), L"Finished with failures");

    const RecentDocumentList& list = run.plugin->GetWordList();
    EXPECT_EQ(list[0].result, ItemOutcome::kRemoved);
    EXPECT_EQ(list[1].result, ItemOutcome::kFailed);
    EXPECT_EQ(list[2].result, ItemOutcome::kRemoved);
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetTitle(),
              L"Error occurred while attempting to delete MS Word recent document (" + b + L").");
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason(), L"Unknown error.");
    EXPECT_NE(run.CleanReport().find(L"cid=\"idError_1\""), std::wstring::npos);
}

TEST_F(WordRun, AnErrorRaisedByWordEndsTheSessionWithWordsOwnText) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    SetString(HKEY_CURRENT_USER, kWordStubKey, L"FailDelete", b);
    ASSERT_EQ(run.Clean(), L"Finished with failures");

    // b is passed over with Word's reason and c deleted after it; what is left stays.
    const RecentDocumentList& list = run.plugin->GetWordList();
    EXPECT_EQ(list[0].result, ItemOutcome::kRemoved);
    EXPECT_EQ(list[1].result, ItemOutcome::kFailed);
    EXPECT_EQ(list[2].result, ItemOutcome::kRemoved);
    EXPECT_EQ(WordList(), std::vector<std::wstring>{b});
    EXPECT_EQ(Recorded(L"Quit"), 2u);  // the scan's and the clean's
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason(), kWordStubRefusal);
}

}  // namespace
