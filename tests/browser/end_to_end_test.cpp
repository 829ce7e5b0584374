// The browser plug-ins end to end: traces written by the seeder's own code,
// a clean through the installed program's unattended front end, then what
// the clean left behind, and a second scan that finds nothing.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "plugins/browser/protected_storage.h"
#include "plugins/browser/url_cache.h"
#include "seedtraces/seeders.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/reg_security.h"
#include "test_run.h"

namespace veltrane {

namespace {

constexpr wchar_t kOnly[] =
    L"/only:IEHistory,IECookies,IEFileCache,IEFormsAutocomplete,NetscapeHistory,"
    L"NetscapeCookies,NetscapeFileCache,NetscapeFormsManager";
constexpr const char* kIds[] = {"IEHistory",           "IECookies",           "IEFileCache",
                                "IEFormsAutocomplete", "NetscapeHistory",     "NetscapeCookies",
                                "NetscapeFileCache",   "NetscapeFormsManager"};
constexpr wchar_t kProvider[] = L"Software\\Microsoft\\Protected Storage System Provider";

struct Outcome {
    int result = -1;
    uint64_t items = 0;
};

std::map<std::string, Outcome> RunProgram(const std::wstring& action) {
    ChildResult child = RunChild(VeltraneCommand(action + L" " + kOnly + L" /json"), 300000);
    EXPECT_TRUE(child.started) << "veltrane.exe is not installed in the sandbox";
    const std::string& text = child.output;
    std::map<std::string, Outcome> outcome;
    // The JSON document starts at its first brace; the loader may print before it.
    size_t start = text.find('{');
    auto document =
        nlohmann::json::parse(start == std::string::npos ? "" : text.substr(start), nullptr, false);
    if (document.is_discarded() || !document.contains("plugins")) {
        ADD_FAILURE() << "veltrane.exe printed: " << text;
        return outcome;
    }
    for (const auto& plugin : document["plugins"]) {
        Outcome& entry = outcome[plugin["id"].get<std::string>()];
        entry.result = plugin["result"].get<int>();
        entry.items = plugin["items"].get<uint64_t>();
    }
    return outcome;
}

std::wstring AppData() {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE);
    return path;
}

class BrowserEndToEnd : public testing::Test {
protected:
    // Wine starts its desktop process for the first program that needs one,
    // and that process inherits the program's handles: start it from here,
    // before any pipe exists, so the child's output pipe closes when it ends.
    void SetUp() override { GetDesktopWindow(); }
    void TearDown() override {
        RemoveTree(AppData() + L"\\Mozilla");
        RemoveTree(L"C:\\Program Files\\Netscape");
        DeleteTree(HKEY_CURRENT_USER, L"Software\\Netscape");
        DeleteTree(HKEY_CURRENT_USER, kProvider);
    }
};

TEST_F(BrowserEndToEnd, CleanRemovesTheTracesAndKeepsTheRest) {
    ASSERT_TRUE(SeedBrowser(1));
    const std::wstring mozilla = AppData() + L"\\Mozilla\\Profiles\\default\\k3w9x2ab.slt\\";
    const std::wstring firefox = AppData() + L"\\Mozilla\\Firefox\\Profiles\\p4ke8r2x.default\\";
    const std::wstring netscape = L"C:\\Program Files\\Netscape\\Users\\jdoe\\";
    ASSERT_TRUE(FileExists(mozilla + L"history.dat"));

    std::map<std::string, Outcome> clean = RunProgram(L"/clean");
    for (const char* id : kIds) {
        EXPECT_EQ(clean[id].result, 0) << id;
        EXPECT_GT(clean[id].items, 0u) << id;
    }

    for (UrlCacheKind kind :
         {UrlCacheKind::kFiles, UrlCacheKind::kCookies, UrlCacheKind::kHistory}) {
        DomainMap left;
        TestRun run;
        EXPECT_EQ(EnumerateUrlCache(kind, left, run), CPlugin::kDone);
        EXPECT_TRUE(left.empty()) << static_cast<int>(kind);
    }
    ProtectedStorageKeys keys = GetProtectedStorageKeys(GetCurrentUserSidString());
    // The listed form items go with their index; an item that is no form entry stays.
    for (const wchar_t* item : {L"username:StringData", L"username:StringIndex", L"q:StringData",
                                L"https://bank.test/login.aspx:StringData"})
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\" + item)) << item;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\nickname"));
    EXPECT_TRUE(
        KeyExists(HKEY_CURRENT_USER, keys.data + L"\\5e7e8100-9138-11d1-945a-00c04fc308ff"));

    for (const std::wstring& profile : {mozilla, firefox, netscape}) {
        EXPECT_FALSE(FileExists(profile + L"history.dat")) << profile.c_str();
        EXPECT_FALSE(FileExists(profile + L"52391842.s")) << profile.c_str();
        EXPECT_FALSE(FileExists(profile + L"70271530.w")) << profile.c_str();
        EXPECT_TRUE(FileExists(profile + L"prefs.js")) << profile.c_str();
        EXPECT_TRUE(FileExists(profile + L"bookmarks.html")) << profile.c_str();
        EXPECT_FALSE(FileExists(profile + L"Cache\\0A1B2C3Dd01")) << profile.c_str();
        EXPECT_FALSE(FileExists(profile + L"Cache\\M0FXQ9L1.HTM")) << profile.c_str();
        std::string cookies = ReadTestFile(profile + L"cookies.txt");
        EXPECT_EQ(cookies.find('\t'), std::string::npos) << profile.c_str();
        EXPECT_EQ(cookies.rfind("# Netscape HTTP Cookie File\r\n", 0), 0u) << profile.c_str();
    }

    std::map<std::string, Outcome> again = RunProgram(L"/scan");
    for (const char* id : kIds) {
        EXPECT_EQ(again[id].result, 0) << id;
        EXPECT_EQ(again[id].items, 0u) << id;
    }
}

}  // namespace

}  // namespace veltrane
