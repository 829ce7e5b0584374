// What the user keeps, through the unattended program: exclusion rules of
// every kind (stored and "/exclude:"), the age limit ("/older:"), a rule that
// cannot be parsed and stored rules that cannot be read. Each case has
// controls beside the kept items that must still go.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>
#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/settings_store.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kReports[] = L"C:\\VeltraneSelectionReports";
constexpr wchar_t kRunMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
constexpr wchar_t kOpenSave[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";

struct RunOutcome {
    DWORD exitCode = 0;
    std::string output;
    std::map<std::string, nlohmann::json> plugins;  // by id
};

RunOutcome Unattended(const std::wstring& arguments) {
    RemoveTree(kReports);
    const ChildResult child =
        RunChild(VeltraneCommand(arguments + L" /json /report:" + std::wstring(kReports)), 300000);
    RunOutcome run;
    run.exitCode = child.exitCode;
    run.output = child.output;
    const auto document = nlohmann::json::parse(child.output, nullptr, false);
    if (!document.is_object()) return run;  // a usage error prints text
    for (const auto& plugin : document.value("plugins", nlohmann::json::array()))
        run.plugins[plugin["id"]] = plugin;
    return run;
}

std::string Report(const wchar_t* id, const wchar_t* kind) {
    return ReadTestFile(std::wstring(kReports) + L"\\" + id + L"." + kind + L".html");
}

// TEMP and TMP name a test folder for the test and its child processes.
class ScopedTempFolder {
public:
    ScopedTempFolder() : folder_(L"SelectionTemp") {
        for (const wchar_t* name : {L"TEMP", L"TMP"}) {
            wchar_t value[4096] = {};
            saved_.emplace_back(name,
                                std::wstring(value, GetEnvironmentVariableW(name, value, 4096)));
            SetEnvironmentVariableW(name, folder_.Path().c_str());
        }
    }
    ~ScopedTempFolder() {
        for (const auto& [name, value] : saved_)
            SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
    }
    std::wstring Sub(const std::wstring& relative) const { return folder_.Sub(relative); }

private:
    ScopedTestFolder folder_;
    std::vector<std::pair<const wchar_t*, std::wstring>> saved_;
};

class ScopedStoredRules {
public:
    explicit ScopedStoredRules(const std::wstring& rules) {
        std::wstring data = rules + L'\0';
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kOptionsKey, L"Exclusions", REG_MULTI_SZ, data.data(),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    ~ScopedStoredRules() { SHDeleteValueW(HKEY_LOCAL_MACHINE, kOptionsKey, L"Exclusions"); }
};

TEST(CleanSelection, PathRulesKeepWhatTheyMatchAndTheRestGoes) {
    ScopedTempFolder temp;
    for (const wchar_t* name :
         {L"keep.log", L"go.tmp", L"sub\\deep\\a.cfg", L"sub\\deep\\b.tmp", L"cache\\x.dat",
          L"cache\\inner\\z.dat", L"other\\f.txt", L"stored.txt", L"run.txt"})
        WriteTestFile(temp.Sub(name), "data");
    ScopedStoredRules stored(L"file:%TEMP%\\stored.txt");

    RunOutcome run = Unattended(
        L"/clean /only:TempDir /exclude:file:%TEMP%\\*.log \"/exclude:file:%TEMP%\\**\\?.cfg\" "
        L"/exclude:folder:%TMP%\\cach? /exclude:file:%TEMP%\\run.txt");
    ASSERT_EQ(run.exitCode, 0u) << run.output;

    // Stored and one-run rules both keep; "**" reaches any depth; a folder
    // rule keeps everything below, and the folders holding a kept file stay.
    for (const wchar_t* kept : {L"keep.log", L"sub\\deep\\a.cfg", L"cache\\x.dat",
                                L"cache\\inner\\z.dat", L"stored.txt", L"run.txt"})
        EXPECT_TRUE(FileExists(temp.Sub(kept))) << ToUtf8(kept);
    for (const wchar_t* gone : {L"go.tmp", L"sub\\deep\\b.tmp", L"other\\f.txt", L"other"})
        EXPECT_FALSE(FileExists(temp.Sub(gone))) << ToUtf8(gone);
    EXPECT_EQ(run.plugins["TempDir"]["result"], 0);
    // Kept items: the two files, the "cache" folder (whole), sub\deep\a.cfg and the two by name.
    EXPECT_EQ(run.plugins["TempDir"]["kept"], 5);
    const std::string report = Report(L"TempDir", L"clean");
    EXPECT_NE(report.find("Excluded (folder:%TMP%\\cach?)"), std::string::npos) << report;
    EXPECT_NE(report.find("Excluded (file:%TEMP%\\stored.txt)"), std::string::npos) << report;
}

TEST(CleanSelection, KeyAndValueRulesKeepRegistryItems) {
    SetString(HKEY_CURRENT_USER, kRunMru, L"a", L"notepad\\1");
    SetString(HKEY_CURRENT_USER, kRunMru, L"b", L"calc\\1");
    SetString(HKEY_CURRENT_USER, kRunMru, L"MRUList", L"ab");
    SetString(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\txt", L"a", L"C:\\a.txt");
    SetString(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\doc", L"a", L"C:\\a.doc");

    RunOutcome run = Unattended(
        L"/clean /only:RunHistory,OpenHistory \"/exclude:value:HKEY_CURRENT_USER\\Software\\"
        L"Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU|?\" "
        L"/exclude:key:HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\"
        L"OpenSaveMRU\\t*");
    EXPECT_NE(run.exitCode, 2u) << run.output;

    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRunMru, L"a"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRunMru, L"b"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRunMru, L"MRUList"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\txt", L"a"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kOpenSave) + L"\\doc"));
    // The key holding a kept key stays, as kept.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kOpenSave));
    EXPECT_EQ(run.plugins["OpenHistory"]["result"], 0);
    DeleteTree(HKEY_CURRENT_USER, kRunMru);
    DeleteTree(HKEY_CURRENT_USER, kOpenSave);
}

TEST(CleanSelection, AMalformedRuleIsAUsageErrorAndNothingIsRemoved) {
    ScopedTempFolder temp;
    WriteTestFile(temp.Sub(L"control.tmp"), "data");
    for (const wchar_t* rule :
         {L"/exclude:nonsense", L"/exclude:file:relative\\a.txt", L"/exclude:file:C:\\a**b\\c",
          L"/exclude:value:HKCU\\Software", L"/exclude:key:HKXX\\Software",
          L"/exclude:folder:%VELTRANE_NO_SUCH_VARIABLE%\\x", L"/exclude:site:a b"}) {
        RunOutcome run = Unattended(L"/clean /only:TempDir " + std::wstring(rule));
        EXPECT_EQ(run.exitCode, 2u) << ToUtf8(rule) << run.output;
        EXPECT_NE(run.output.find("/exclude:"), std::string::npos) << run.output;
    }
    EXPECT_TRUE(FileExists(temp.Sub(L"control.tmp")));
}

TEST(CleanSelection, StoredRulesThatCannotBeReadOrParsedRefuseEveryClean) {
    ScopedTempFolder temp;
    WriteTestFile(temp.Sub(L"control.tmp"), "data");
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kOptionsKey, L"Exclusions", REG_SZ, L"file:C:\\x",
                    11 * sizeof(wchar_t));
    RunOutcome run = Unattended(L"/clean /only:TempDir,RunHistory");
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_EQ(run.plugins["TempDir"]["result"], 1);
    EXPECT_EQ(run.plugins["RunHistory"]["result"], 1);
    EXPECT_TRUE(FileExists(temp.Sub(L"control.tmp")));
    {
        ScopedStoredRules broken(L"folder:relative");
        run = Unattended(L"/clean /only:TempDir");
        EXPECT_EQ(run.plugins["TempDir"]["result"], 1) << run.output;
        EXPECT_TRUE(FileExists(temp.Sub(L"control.tmp")));
    }
    // Once the value is mended, the clean runs.
    run = Unattended(L"/clean /only:TempDir");
    EXPECT_EQ(run.plugins["TempDir"]["result"], 0) << run.output;
    EXPECT_FALSE(FileExists(temp.Sub(L"control.tmp")));
}

void SetWriteTime(const std::wstring& path, int hoursAgo) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart -= static_cast<ULONGLONG>(hoursAgo) * 36000000000ULL;
    const FILETIME written{time.LowPart, time.HighPart};
    const UniqueHandle file(
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid());
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &written));
}

TEST(CleanSelection, TheAgeLimitLeavesNewerFilesUnlistedAndInPlace) {
    ScopedTempFolder temp;
    WriteTestFile(temp.Sub(L"old.tmp"), "old");
    WriteTestFile(temp.Sub(L"new.tmp"), "new");
    WriteTestFile(temp.Sub(L"edge.tmp"), "23 hours");
    WriteTestFile(temp.Sub(L"folder\\old.dat"), "old");
    WriteTestFile(temp.Sub(L"folder\\new.dat"), "new");
    WriteTestFile(temp.Sub(L"oldfolder\\old.dat"), "old");
    SetWriteTime(temp.Sub(L"old.tmp"), 48);
    SetWriteTime(temp.Sub(L"edge.tmp"), 23);
    SetWriteTime(temp.Sub(L"folder\\old.dat"), 48);
    SetWriteTime(temp.Sub(L"oldfolder\\old.dat"), 48);

    RunOutcome scan = Unattended(L"/scan /only:TempDir /older:24");
    const std::string scanReport = Report(L"TempDir", L"scan");
    EXPECT_NE(scanReport.find("2 files newer than the age limit"), std::string::npos) << scanReport;
    EXPECT_EQ(scanReport.find("new.tmp"), std::string::npos) << scanReport;

    RunOutcome run = Unattended(L"/clean /only:TempDir /older:24");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    for (const wchar_t* kept : {L"new.tmp", L"edge.tmp", L"folder\\new.dat"})
        EXPECT_TRUE(FileExists(temp.Sub(kept))) << ToUtf8(kept);
    for (const wchar_t* gone : {L"old.tmp", L"folder\\old.dat", L"oldfolder"})
        EXPECT_FALSE(FileExists(temp.Sub(gone))) << ToUtf8(gone);

    // Without the limit, everything goes.
    Unattended(L"/clean /only:TempDir");
    EXPECT_FALSE(FileExists(temp.Sub(L"new.tmp")));
    EXPECT_FALSE(FileExists(temp.Sub(L"folder")));
}

}  // namespace

}  // namespace veltrane
