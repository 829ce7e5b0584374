// Office 2007 to 365 recent lists on Wine's registry: what a scan shows, that
// a clean removes only the entries it listed (found again after Office
// renumbered its list), and that settings beside the lists and keys behind
// registry links stay.
#include <gtest/gtest.h>

#include "plugins/windows/office_recent_files.h"
#include "support/test_registry.h"
#include "sysaccess/registry_links.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
const std::wstring kOffice = L"Software\\Microsoft\\Office";
const std::wstring kWord16 = kOffice + L"\\16.0\\Word";
const std::wstring kAccount = kWord16 + L"\\User MRU\\ADAL_1A2B";
const std::wstring kFiles = kAccount + L"\\File MRU";
const std::wstring kExcel14 = kOffice + L"\\14.0\\Excel\\File MRU";

std::wstring Item(const std::wstring& path) {
    return L"[F00000000][T01DD817258612800][O00000000]*" + path;
}

std::vector<std::wstring> RowNames(const CPlgOfficeRecentFiles& plugin) {
    std::vector<std::wstring> names;
    for (const DomainInfo* row : plugin.OrderedView()) names.push_back(row->name);
    return names;
}

class OfficeRecentFiles : public testing::Test {
protected:
    void SetUp() override { DeleteTree(HKCU, kOffice); }
    void TearDown() override { DeleteTree(HKCU, kOffice); }
};

TEST_F(OfficeRecentFiles, ScanShowsEachVersionsListsByPathAndLeavesOtherValues) {
    SetString(HKCU, kFiles, L"Item 1", Item(L"C:\\Docs\\Plan.docx"));
    SetString(HKCU, kFiles, L"Item Metadata 1", L"<Metadata><nm>Plan.docx</nm></Metadata>");
    SetString(HKCU, kFiles, L"Item 2", Item(L"C:\\Docs\\Budget.docx"));
    SetString(HKCU, kFiles, L"Max Display", L"25");
    SetString(HKCU, kAccount + L"\\Place MRU", L"Item 1", Item(L"C:\\Docs\\"));
    SetString(HKCU, kExcel14, L"Item 1", Item(L"D:\\Sheets\\Q3.xlsx"));
    // Older than Office 2007, and no list at all: not this plug-in's.
    SetString(HKCU, kOffice + L"\\11.0\\Word\\File MRU", L"Item 1", Item(L"C:\\Old.doc"));
    SetString(HKCU, kOffice + L"\\16.0\\Common\\General", L"Item 1", L"not an entry");

    PluginRun<CPlgOfficeRecentFiles> run(L"OfficeRecentFiles");
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_EQ(RowNames(*run.plugin),
              (std::vector<std::wstring>{L"C:\\Docs\\Plan.docx", L"C:\\Docs\\Budget.docx",
                                         L"C:\\Docs\\", L"D:\\Sheets\\Q3.xlsx"}));
    // The metadata is counted with its entry.
    for (const DomainInfo* row : run.plugin->OrderedView()) {
        if (row->name == L"C:\\Docs\\Plan.docx") {
            EXPECT_EQ(row->itemCount, 2);
        }
    }
    const std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"Word 16.0 - recent documents of account ADAL_1A2B"), std::wstring::npos)
        << report;

    ASSERT_EQ(run.Clean(), L"Finished");
    for (const wchar_t* name : {L"Item 1", L"Item Metadata 1", L"Item 2"})
        EXPECT_FALSE(ValueExists(HKCU, kFiles, name)) << name;
    EXPECT_FALSE(ValueExists(HKCU, kExcel14, L"Item 1"));
    EXPECT_TRUE(ValueExists(HKCU, kFiles, L"Max Display"));
    EXPECT_TRUE(KeyExists(HKCU, kFiles));
    EXPECT_TRUE(ValueExists(HKCU, kOffice + L"\\11.0\\Word\\File MRU", L"Item 1"));
    EXPECT_TRUE(ValueExists(HKCU, kOffice + L"\\16.0\\Common\\General", L"Item 1"));
}

TEST_F(OfficeRecentFiles, CleanFindsRenumberedEntriesAndKeepsThoseAddedSinceTheScan) {
    SetString(HKCU, kFiles, L"Item 1", Item(L"C:\\Docs\\Plan.docx"));
    SetString(HKCU, kFiles, L"Item Metadata 1", L"<m>Plan</m>");
    PluginRun<CPlgOfficeRecentFiles> run(L"OfficeRecentFiles");
    ASSERT_EQ(run.Scan(), L"Finished");
    // Office opens another document: every entry moves one number down.
    SetString(HKCU, kFiles, L"Item 2", Item(L"C:\\Docs\\Plan.docx"));
    SetString(HKCU, kFiles, L"Item Metadata 2", L"<m>Plan</m>");
    SetString(HKCU, kFiles, L"Item 1", Item(L"C:\\Docs\\New.docx"));
    SetString(HKCU, kFiles, L"Item Metadata 1", L"<m>New</m>");

    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_FALSE(ValueExists(HKCU, kFiles, L"Item 2"));
    EXPECT_FALSE(ValueExists(HKCU, kFiles, L"Item Metadata 2"));
    std::wstring data;
    ASSERT_TRUE(GetString(HKCU, kFiles, L"Item 1", data));
    EXPECT_EQ(data, Item(L"C:\\Docs\\New.docx"));
    EXPECT_TRUE(ValueExists(HKCU, kFiles, L"Item Metadata 1"));
}

TEST_F(OfficeRecentFiles, RegistryLinksAreNeitherListedNorCleanedThrough) {
    ScopedTestKey target(L"OfficeMruTarget");
    // The other key's list names the same document: only the path tells them apart.
    SetString(HKCU, target.Sub(L"File MRU"), L"Item 1", Item(L"C:\\Docs\\Plan.docx"));
    SetString(HKCU, kFiles, L"Item 1", Item(L"C:\\Docs\\Plan.docx"));
    // An account key that is a link to a key of another program.
    ASSERT_TRUE(MakeRegLink(HKCU, kWord16 + L"\\User MRU\\LinkedAccount", target.Path()));

    PluginRun<CPlgOfficeRecentFiles> run(L"OfficeRecentFiles");
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_EQ(RowNames(*run.plugin), std::vector<std::wstring>{L"C:\\Docs\\Plan.docx"});

    // Between scan and clean the listed account's key becomes a link to the
    // other key.
    DeleteTree(HKCU, kAccount);
    ASSERT_TRUE(MakeRegLink(HKCU, kAccount, target.Path()));
    EXPECT_EQ(run.Clean(), L"Finished with failures");
    EXPECT_TRUE(ValueExists(HKCU, target.Sub(L"File MRU"), L"Item 1"));
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason().rfind(L"Changed since the scan: ", 0), 0u)
        << run.plugin->GetErrors()[0].GetReason();
}

}  // namespace

}  // namespace veltrane
