// A stored keep-list that cannot be read, through the unattended program:
// every cookie plug-in refuses to clean and leaves every cookie, while the
// other plug-ins of the same browsers clean as before.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <nlohmann/json.hpp>

#include "app/command_line.h"
#include "seedtraces/browser_traces.h"
#include "seedtraces/modern_browsers.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/settings_store.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kCookiePlugins[] =
    L"IECookies,NetscapeCookies,OperaCookies,ChromiumCookies,FirefoxCookies";
constexpr wchar_t kControls[] =
    L"IEHistory,NetscapeHistory,OperaCache,ChromiumHistory,FirefoxHistory";
constexpr wchar_t kReports[] = L"C:\\VeltraneKeepListReports";

// The plug-ins of one unattended run, by id.
std::map<std::string, nlohmann::json> RunUnattended(const std::wstring& arguments,
                                                    DWORD& exitCode) {
    const ChildResult child = RunChild(VeltraneCommand(arguments + L" /json"), 300000);
    exitCode = child.exitCode;
    std::map<std::string, nlohmann::json> plugins;
    const auto document = nlohmann::json::parse(child.output, nullptr, false);
    if (!document.contains("plugins")) ADD_FAILURE() << child.output;
    for (const auto& plugin : document.value("plugins", nlohmann::json::array()))
        plugins[plugin["id"]] = plugin;
    return plugins;
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE);
    return path;
}

// Cookies and one other trace of each browser family, removed again at the end.
class BrowserTraces {
public:
    BrowserTraces() {
        const std::string line = "\tTRUE\t/\tFALSE\t2145916800\tid\t42\n";
        seeded_ = AddCookie(L"http://www.refusal.test/", L"id", L"1") &&
                  AddHistoryEntry(L"http://www.refusal.test/") &&
                  WriteChromiumUserData(chrome_, {{L"Default", L"Person 1"}}) &&
                  WriteChromiumProfile(chrome_ + L"Default\\", chrome_ + L"Default\\") &&
                  WriteProfilesIni(firefox_, {{L"default", L"Profiles/opt.default", true}}) &&
                  WriteFirefoxProfile(firefox_ + L"Profiles\\opt.default\\",
                                      firefox_ + L"Profiles\\opt.default\\");
        const std::wstring netscape = mozilla_ + L"Profiles\\default\\opt.slt\\";
        WriteTestFile(netscape + L"cookies.txt",
                      "# Netscape HTTP Cookie File\n.refusal.test" + line);
        WriteTestFile(netscape + L"history.dat", "(80=http://www.refusal.test/)\n");
        WriteTestFile(opera_ + L"Opera7\\profile\\cookies4.dat", std::string(6400, 'c'));
        WriteTestFile(opera_ + L"Opera7\\profile\\Cache4\\opr00001.tmp", std::string(700, 'o'));
    }
    ~BrowserTraces() {
        DWORD exitCode = 0;
        RunUnattended(L"/clean /only:IECookies,IEHistory", exitCode);
        RemoveTree(chrome_);
        RemoveTree(mozilla_);
        RemoveTree(opera_);
    }
    bool Seeded() const { return seeded_; }

private:
    std::wstring chrome_ = Folder(CSIDL_LOCAL_APPDATA) + L"\\Google\\Chrome\\User Data\\";
    std::wstring mozilla_ = Folder(CSIDL_APPDATA) + L"\\Mozilla\\";
    std::wstring firefox_ = mozilla_ + L"Firefox\\";
    std::wstring opera_ = Folder(CSIDL_APPDATA) + L"\\Opera\\";
    bool seeded_ = false;
};

TEST(UnreadableKeepList, EveryCookiePluginRefusesAndTheOthersStillClean) {
    BrowserTraces traces;
    ASSERT_TRUE(traces.Seeded());
    // A list written as bytes: the domains it names are not known.
    const BYTE list[] = {'b', 0, 'a', 0, 'n', 0, 'k', 0, '.', 0, 't', 0};
    SetBinary(HKEY_LOCAL_MACHINE, kOptionsKey, L"KeepCookies", list, sizeof(list));

    const std::wstring only = std::wstring(kCookiePlugins) + L"," + kControls;
    RemoveTree(kReports);
    DWORD exitCode = 0;
    auto cleaned = RunUnattended(L"/clean /only:" + only + L" /report:" + kReports, exitCode);
    EXPECT_EQ(exitCode, 1u);
    auto after = RunUnattended(L"/scan /only:" + only, exitCode);
    SHDeleteValueW(HKEY_LOCAL_MACHINE, kOptionsKey, L"KeepCookies");

    for (const std::wstring& id : SplitList(kCookiePlugins, L',')) {
        const std::string name = ToUtf8(id);
        SCOPED_TRACE(name);
        EXPECT_EQ(cleaned[name]["result"], 1);
        EXPECT_GT(cleaned[name]["items"], 0);
        EXPECT_EQ(after[name]["items"], cleaned[name]["items"]);  // every cookie stayed
        const std::string report =
            ReadTestFile(std::wstring(kReports) + L"\\" + id + L".clean.html");
        EXPECT_NE(report.find("status status-failed"), std::string::npos) << report;
        EXPECT_EQ(report.find("status status-deleted"), std::string::npos) << report;
    }
    for (const std::wstring& id : SplitList(kControls, L',')) {
        const std::string name = ToUtf8(id);
        SCOPED_TRACE(name);
        EXPECT_EQ(cleaned[name]["result"], 0);
        EXPECT_GT(cleaned[name]["items"], 0);
        EXPECT_LT(after[name]["items"], cleaned[name]["items"]);
    }
    RemoveTree(kReports);
}

}  // namespace

}  // namespace veltrane
