// The Netscape-family readers and writers fed mutated profile files: they
// must not crash or hang, a cookie rewrite may only drop the lines of the
// domains it deletes, and a file named by a preference never lies outside
// its profile.
#include <gtest/gtest.h>

#include <set>

#include "browser/netscape_fixture.h"
#include "browser/test_run.h"
#include "plugins/browser/byte_file.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/netscape_profiles.h"
#include "robustness/mutation.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

using namespace std::string_literals;
using NetscapeFuzz = NetscapeTest;

const std::vector<std::string> kCookieSamples = {
    "# Netscape HTTP Cookie File\r\n# Do not edit.\r\n\r\n"
    ".site.test\tTRUE\t/\tFALSE\t2145916800\tid\t1\r\n"
    "www.site.test\tTRUE\t/\tFALSE\t2145916800\tid\t2\r\n"
    "ftp.files.test\tFALSE\t/pub\tFALSE\t0\tx\ty\r\n"
    ".other.test\tTRUE\t/\tTRUE\t2145916800\tsession\tabc\r\n",
    "# HTTP Cookie File\n.a.test\tTRUE\t/\tFALSE\t0\tn\tv\n.b.test\tTRUE\t/\tFALSE\t0\tn\tv\n"
    ".a.test\tTRUE\t/x\tFALSE\t0\tm\tw\nc.test\tFALSE\t/\tFALSE\t0\tn\tv",
    "#size#.test\tTRUE\t/\tFALSE\t0\tn\tv\n\t\t\n.\tTRUE\n www.\t\nwww.\tx\n",
};

// What the rewrite must leave: every line of the input, byte for byte,
// except those of the deleted domains.
std::string WithoutDomains(const std::string& input, const std::set<std::wstring>& deleted) {
    std::string kept;
    for (std::string_view line : SplitLinesKeepingEnds(input)) {
        std::optional<std::wstring> domain = CookieLineDomain(LineText(line));
        if (!domain || !deleted.count(*domain)) kept.append(line);
    }
    return kept;
}

TEST_F(NetscapeFuzz, CookieRewriteDropsOnlyTheLinesOfDeletedDomains) {
    const std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    const std::wstring firefox = FirefoxProfile(L"f1.default");
    ForEachMutation(kCookieSamples, 500, 1000, [&](uint64_t seed, const std::string& input) {
        const std::string second = kCookieSamples[seed % kCookieSamples.size()];
        WriteTestFile(mozilla + L"cookies.txt", input);
        WriteTestFile(firefox + L"cookies.txt", second);
        DomainMap domains;
        TestRun reader;
        ASSERT_TRUE(GetNetscapeCookies(domains, reader));
        // Every other domain is left alone, as if not ticked.
        std::set<std::wstring> deleted;
        bool take = seed % 2 == 0;
        for (auto it = domains.begin(); it != domains.end(); take = !take) {
            if (take) {
                deleted.insert(it->first);
                ++it;
            } else {
                it = domains.erase(it);
            }
        }
        TestRun run;
        EXPECT_TRUE(DeleteNetscapeCookies(domains, run));
        EXPECT_TRUE(ReadTestFile(mozilla + L"cookies.txt") == WithoutDomains(input, deleted));
        EXPECT_TRUE(ReadTestFile(firefox + L"cookies.txt") == WithoutDomains(second, deleted));
        for (const auto& [name, domain] : domains)
            EXPECT_EQ(domain.result, DomainInfo::kDeleted) << ToUtf8(name);
    });
}

const std::vector<std::string> kHistorySamples = {
    "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n< <(a=c)> // (f=iso-8859-1)\n"
    "(80=http://www.a.test/)(81=https://a.test/x)(82=ftp://ftp.b.test/)\n"
    "[1(^80=http://c.test/path?q=1)]\n",
    "http://", "https://www.#total#.test/", "ftp://x\n\nhttp://y"};

const std::vector<std::string> kSignonSamples = {
    "#2c\r\n.\r\nhttp://www.login.test\r\nuser\r\n*password\r\nhttp://other.test:80\r\n.\r\n",
    "W\r\nwww.shop.test/order\r\nwww.bare.test\r\nname/x\r\n", "http://www.\nwww.\n"};

TEST_F(NetscapeFuzz, HistoryAndSavedFormReadersTakeAnyBytes) {
    const std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    const std::wstring netscape = Netscape4Profile(L"jdoe");
    WriteTestFile(mozilla + L"prefs.js",
                  "user_pref(\"signon.SignonFileName\", \"1234.s\");\n"
                  "user_pref(\"wallet.SchemaValueFileName\", \"5678.w\");\n");
    ForEachMutation(kHistorySamples, 250, 5000, [&](uint64_t seed, const std::string& input) {
        WriteTestFile(mozilla + L"history.dat", input);
        WriteTestFile(netscape + L"history.dat", input.substr(0, input.size() / 2));
        Mutator mutator(seed);
        WriteTestFile(mozilla + L"1234.s", mutator.Mutate(kSignonSamples[0]));
        WriteTestFile(mozilla + L"5678.w", mutator.Mutate(kSignonSamples[seed % 3]));
        DomainMap history;
        DomainMap forms;
        TestRun run;
        EXPECT_TRUE(GetNetscapeHistory(history, run));
        EXPECT_TRUE(GetNetscapeForms(forms, run));
        for (const auto& [name, domain] : history) EXPECT_GT(domain.itemCount, 0);
        // Saved-form hosts end at their line.
        for (const auto& [name, domain] : forms) {
            EXPECT_GT(domain.itemCount, 0);
            EXPECT_EQ(name.find(L'\n'), std::wstring::npos);
        }
    });
}

// The pending deletions of the next system start, as one text.
std::wstring PendingRenames() {
    wchar_t data[32768] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    LSTATUS status = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::wstring(data, size / sizeof(wchar_t)) : std::wstring();
}

// Names a preference may hold that are no plain file of the profile, in the
// forms the Windows path rules turn into something else.
const std::vector<std::string> kPrefSamples = {
    "user_pref(\"signon.SignonFileName\", \"..\");\n",
    "user_pref(\"signon.SignonFileName\", \"...\");\n",
    "user_pref(\"signon.SignonFileName\", \".. \");\n",
    "user_pref(\"wallet.SchemaValueFileName\", \" \");\n",
    "user_pref(\"wallet.SchemaValueFileName\", \"control.txt\0x\");\n"s,
    "user_pref(\"signon.SignonFileName\", \"NUL\");\n",
    "user_pref(\"signon.SignonFileName\", \"..\\\\control.txt\");\n",
    "user_pref(\"signon.SignonFileName\", \"../control.txt\");\n",
    "user_pref(\"signon.SignonFileName\", \"C:control.txt\");\n",
    "user_pref(\"signon.SignonFileName\", \"*.*\");\n",
    "user_pref(\"signon.SignonFileName\", \"1234.s\");\n",
};

TEST_F(NetscapeFuzz, FilesNamedByPreferencesStayInsideTheProfile) {
    const std::wstring parent = MozillaRoot() + L"\\Profiles\\default\\";
    const std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    const std::wstring outside = parent + L"control.txt";
    WriteTestFile(outside, "not a trace");
    const std::wstring pendingBefore = PendingRenames();
    ForEachMutation(kPrefSamples, 300, 9000, [&](uint64_t seed, const std::string& input) {
        WriteTestFile(mozilla + L"prefs.js", input);
        WriteTestFile(mozilla + L"user.js", Mutator(seed + 1).Mutate(input));
        WriteTestFile(mozilla + L"control.txt", "a file beside prefs.js");
        WriteTestFile(mozilla + L"1234.s", "http://www.login.test\n");
        TestRun run;
        DomainMap domains;
        std::vector<WholeFile> files;
        (void)GetNetscapeForms(domains, run, &files);
        RemoveNetscapeFiles(files, kNetscapeFormsStore, domains, run);
        EXPECT_TRUE(FileExists(outside));
        EXPECT_TRUE(FileExists(mozilla + L"prefs.js"));
        EXPECT_TRUE(FileExists(mozilla + L"user.js"));
        EXPECT_FALSE(run.rebootNeeded);
        EXPECT_EQ(PendingRenames(), pendingBefore);
    });
}

// Netscape 4's profile comes from two registry strings; whatever they hold,
// the profile is a folder directly below "<program's parent>\Users".
TEST_F(NetscapeFuzz, Netscape4ProfileIsAlwaysAUsersSubfolder) {
    const std::wstring main = L"Software\\Netscape\\Netscape Navigator\\Main";
    const std::wstring biff = L"Software\\Netscape\\Netscape Navigator\\biff";
    const std::wstring users = std::wstring(kNetscapeRoot) + L"\\Users\\";
    const std::vector<std::wstring> names = {L"jdoe", L"..",    L"...", L".", L"..\\..\\Windows",
                                             L"a/b",  L"C:\\x", L"x. ", L" ", L""};
    for (uint64_t seed = 0; seed < 400 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mutator mutator(seed);
        SetString(HKEY_CURRENT_USER, main, L"Install Directory",
                  std::wstring(kNetscapeRoot) + L"\\Program");
        // A mutated program folder is the user's own choice: only no crash is asked there.
        const bool plainProgram = !mutator.OneIn(4);
        if (!plainProgram) {
            SetRegistryData(HKEY_CURRENT_USER, main, L"Install Directory",
                            mutator.RegistryValue(std::wstring(kNetscapeRoot) + L"\\Program"));
        }
        const std::wstring& name = names[mutator.Below(names.size())];
        if (mutator.OneIn(2))
            SetString(HKEY_CURRENT_USER, biff, L"CurrentUser", name);
        else
            SetRegistryData(HKEY_CURRENT_USER, biff, L"CurrentUser", mutator.RegistryValue(name));
        const std::wstring folder = GetNetscape4ProfileFolder();
        if (folder.empty() || !plainProgram) continue;
        // The folder as Windows resolves it, against the folder the text names.
        std::wstring full(GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr), L'\0');
        ASSERT_FALSE(full.empty());
        full.resize(GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                     nullptr));
        EXPECT_TRUE(full == folder) << ToUtf8(folder.substr(0, 200));
        ASSERT_TRUE(StartsWith(folder, users)) << ToUtf8(folder.substr(0, 200));
        std::wstring user = folder.substr(users.size());
        EXPECT_EQ(user.find_first_of(L"\\/"), user.size() - 1) << ToUtf8(folder.substr(0, 200));
    }
}

}  // namespace

}  // namespace veltrane
