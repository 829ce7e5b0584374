#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <nlohmann/json.hpp>

#include "seedtraces/seeders.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/reg_security.h"

namespace veltrane {

namespace {

constexpr wchar_t kOnly[] = L"/only:RecycleBin,WinRecUsed,MSOfficeRecUsed,MessageHistory,Clipboard";

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE);
    return path;
}

// The run's JSON, by plug-in id: {result, items}.
std::map<std::string, std::pair<int, uint64_t>> RunProgram(const std::wstring& arguments) {
    ChildResult child = RunChild(VeltraneCommand(arguments + L" " + kOnly + L" /json"));
    EXPECT_TRUE(child.started);
    std::map<std::string, std::pair<int, uint64_t>> outcome;
    auto document = nlohmann::json::parse(child.output, nullptr, false);
    if (!document.contains("plugins")) {
        ADD_FAILURE() << child.output;
        return outcome;
    }
    for (const auto& plugin : document["plugins"])
        outcome[plugin["id"]] = {plugin["result"].get<int>(), plugin["items"].get<uint64_t>()};
    return outcome;
}

TEST(SystemEndToEnd, SeededTracesAreCleanedAndTheirNeighboursKept) {
    ASSERT_TRUE(SeedSystem(1));
    std::wstring bin = L"C:\\RECYCLER\\" + GetCurrentUserSidString();
    std::wstring documents = Folder(CSIDL_PERSONAL);
    std::wstring icqLite = Folder(CSIDL_APPDATA) + L"\\ICQLite\\HistoryDB";
    std::wstring icqPro = L"C:\\Program Files\\ICQ\\2003b";
    std::wstring msnLog = documents + L"\\My Received Files\\alice1234\\History";
    std::wstring access = L"Software\\Microsoft\\Office\\11.0\\Access\\Settings";
    ASSERT_TRUE(FileExists(bin + L"\\Dc1.txt"));

    auto cleaned = RunProgram(L"/clean");
    ASSERT_EQ(cleaned.size(), 5u);
    for (const auto& [id, outcome] : cleaned) {
        EXPECT_EQ(outcome.first, 0) << id;
        if (id != "MSOfficeRecUsed") {
            EXPECT_GT(outcome.second, 0u) << id;  // no Word: registry only
        }
    }
    // The registry's values and the files of Office's Recent folder, each a row.
    EXPECT_EQ(cleaned["MSOfficeRecUsed"].second, 10u);

    // Traces gone.
    EXPECT_FALSE(FileExists(bin + L"\\Dc1.txt"));
    EXPECT_FALSE(FileExists(bin + L"\\Dc100"));
    EXPECT_FALSE(FileExists(L"C:\\Recycled\\DC1.TXT"));
    EXPECT_FALSE(FileExists(icqLite + L"\\1234561\\77889900\\History.dat"));
    EXPECT_FALSE(FileExists(icqPro + L"\\11111111\\Messages.dat"));
    EXPECT_FALSE(FileExists(msnLog + L"\\bob1@example.com.xml"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, access, L"MRU1"));
    EXPECT_FALSE(FileExists(Folder(CSIDL_RECENT) + L"\\gone.doc.lnk"));
    EXPECT_FALSE(FileExists(Folder(CSIDL_APPDATA) + L"\\Microsoft\\Office\\Recent\\index.dat"));
    SHQUERYRBINFO bin_info = {sizeof(bin_info)};
    SHQueryRecycleBinW(L"C:\\", &bin_info);
    EXPECT_EQ(bin_info.i64NumItems, 0);
    EXPECT_EQ(CountClipboardFormats(), 0);

    // Their neighbours kept.
    EXPECT_TRUE(FileExists(L"C:\\VeltraneControl\\Recycled\\keep.txt"));
    EXPECT_TRUE(FileExists(icqLite + L"\\HistoryDB.cfg"));
    EXPECT_TRUE(FileExists(icqLite + L"\\1234561\\account.cfg"));
    EXPECT_TRUE(FileExists(icqPro + L"\\11111111\\contacts.dat"));
    EXPECT_TRUE(FileExists(msnLog + L"\\notes.txt"));
    EXPECT_TRUE(FileExists(msnLog + L"\\Archive\\old.xml"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, access, L"MRU11"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, access, L"Default Path"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER,
                            L"Software\\Microsoft\\Office\\11.0\\InfoPath\\Recent File List",
                            L"File1"));
    EXPECT_TRUE(FileExists(documents + L"\\report 1.txt"));

    for (const auto& [id, outcome] : RunProgram(L"/scan")) EXPECT_EQ(outcome.second, 0u) << id;

    RemoveTree(L"C:\\VeltraneControl");
    RemoveTree(L"C:\\Program Files\\ICQ");
    RemoveTree(Folder(CSIDL_APPDATA) + L"\\ICQLite");
    RemoveTree(documents + L"\\My Received Files");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\MSNMessenger");
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis");
}

}  // namespace

}  // namespace veltrane
