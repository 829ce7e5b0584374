// Rewriting and deleting the Netscape family's cookie, history and form
// files: what stays byte for byte, a cancel between files, and files held open.
#include "engine/changed_since_scan.h"
#include "netscape_cookie_file.h"
#include "netscape_fixture.h"
#include "plugins/browser/netscape_files.h"
#include "sysaccess/handles.h"
#include "sysaccess/text.h"
#include "test_run.h"

namespace veltrane {

namespace {

using NetscapeFiles = NetscapeTest;

TEST_F(NetscapeFiles, CookieRewriteKeepsEverythingElseByteForByte) {
    std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    const std::string longKept = CookieLine(".kept.test", std::string(5000, 'K'));
    const std::string longGone = CookieLine(".gone.test", std::string(5000, 'G'));
    WriteTestFile(mozilla + L"cookies.txt", kHeader + CookieLine(".gone.test", "1") + longKept +
                                                longGone + "unix line end\tkept\n" +
                                                CookieLine("www.both.test", "2"));
    WriteTestFile(firefox + L"cookies.txt", kHeader + CookieLine(".both.test", "3"));
    DomainMap domains = ReadCookies();
    // Seen by the scan, then left alone: only the scanned domains go.
    domains.erase(L"kept.test");
    domains.erase(L"unix line end");

    TestRun run;
    EXPECT_TRUE(DeleteNetscapeCookies(domains, run));
    EXPECT_EQ(ReadTestFile(mozilla + L"cookies.txt"), kHeader + longKept + "unix line end\tkept\n");
    EXPECT_EQ(ReadTestFile(firefox + L"cookies.txt"), kHeader);
    EXPECT_EQ(domains[L"gone.test"].result, DomainInfo::kDeleted);
    EXPECT_EQ(domains[L"both.test"].result, DomainInfo::kDeleted);
    EXPECT_EQ(domains[L"both.test"].profileIndex, 1);
}

// A cancel lets the file being rewritten finish and leaves the next as it was.
TEST_F(NetscapeFiles, CancelledCookieRewriteStopsBetweenFiles) {
    std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    WriteTestFile(mozilla + L"cookies.txt", kHeader + CookieLine(".first.test", "1"));
    const std::string second = kHeader + CookieLine(".second.test", "2");
    WriteTestFile(firefox + L"cookies.txt", second);
    DomainMap domains = ReadCookies();
    TestRun run;
    run.cancelAfterChecks = 1;
    DeleteNetscapeCookies(domains, run);
    EXPECT_EQ(ReadTestFile(mozilla + L"cookies.txt"), kHeader);
    EXPECT_EQ(ReadTestFile(firefox + L"cookies.txt"), second);
    EXPECT_EQ(domains[L"first.test"].result, DomainInfo::kDeleted);
    EXPECT_EQ(domains[L"second.test"].result, DomainInfo::kNotProcessed);
    EXPECT_FALSE(domains[L"second.test"].error);
}

TEST_F(NetscapeFiles, CookieFileThatCannotBeRewrittenFailsItsDomains) {
    std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    WriteTestFile(mozilla + L"cookies.txt", kHeader + CookieLine(".locked.test", "1"));
    WriteTestFile(firefox + L"cookies.txt", kHeader + CookieLine(".free.test", "2"));
    DomainMap domains = ReadCookies();
    FindOrAddDomain(domains, L"vanished.test").itemCount = 1;
    // The browser holds it open for reading only.
    const std::wstring lockedPath = mozilla + L"cookies.txt";
    UniqueHandle holder = HoldOpen(lockedPath, FILE_SHARE_READ);
    ASSERT_TRUE(holder.IsValid());

    TestRun run;
    EXPECT_FALSE(DeleteNetscapeCookies(domains, run));
    holder.Close();

    const DomainInfo& locked = domains[L"locked.test"];
    EXPECT_EQ(locked.result, DomainInfo::kError);
    ASSERT_TRUE(locked.error);
    EXPECT_EQ(locked.error->GetKind(), ItemError::kStoreEntries);
    EXPECT_EQ(locked.error->GetTitle().rfind(L"Error occurred while attempting to delete Netscape "
                                             L"cookies that correspond to \"locked.test\".\n",
                                             0),
              0u)
        << locked.error->GetTitle();
    EXPECT_NE(locked.error->GetTitle().find(L"Cannot open file " + lockedPath + L" in write mode."),
              std::wstring::npos);
    EXPECT_EQ(domains[L"free.test"].result, DomainInfo::kDeleted);
    EXPECT_EQ(ReadTestFile(lockedPath), kHeader + CookieLine(".locked.test", "1"));
    const DomainInfo& vanished = domains[L"vanished.test"];
    EXPECT_EQ(vanished.result, DomainInfo::kError);
    ASSERT_TRUE(vanished.error);
    EXPECT_EQ(vanished.error->GetReason(), L"Unknown error.");
}

TEST_F(NetscapeFiles, HistoryHostsAndDeletion) {
    std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    std::wstring netscape = Netscape4Profile(L"jdoe");
    std::string longHost(400, 'h');
    WriteTestFile(mozilla + L"history.dat",
                  "(80=http://www.a.test/)(81=https://a.test/x)(82=ftp://ftp.b.test/)"
                  "(83=http://" +
                      longHost + ".test/)");
    WriteTestFile(netscape + L"history.dat", "(80=http://www.a.test/)");
    const std::wstring held = firefox + L"History.dat";
    WriteTestFile(held, "(80=http://c.test/)");
    DomainMap domains;
    TestRun run;
    std::vector<WholeFile> files;
    EXPECT_TRUE(GetNetscapeHistory(domains, run, &files));
    EXPECT_EQ(domains[L"www.a.test"].itemCount, 2);
    EXPECT_EQ(domains[L"a.test"].itemCount, 1);
    EXPECT_EQ(domains[L"ftp.b.test"].itemCount, 1);
    EXPECT_EQ(domains[L"c.test"].itemCount, 1);
    EXPECT_EQ(domains.count(std::wstring(400, L'h') + L".test"), 1u);
    EXPECT_EQ(domains.size(), 5u);
    ASSERT_EQ(files.size(), 3u);

    // After the scan: one file held open, one written anew.
    UniqueHandle holder = HoldOpen(held);
    ASSERT_TRUE(holder.IsValid());
    WriteTestFile(netscape + L"history.dat", "(80=http://www.later.test/)");
    RemoveNetscapeFiles(files, kNetscapeHistoryStore, domains, run);
    holder.Close();
    EXPECT_FALSE(FileExists(mozilla + L"history.dat"));
    EXPECT_TRUE(FileExists(netscape + L"history.dat"));  // another file than the scan read
    // Each row comes to what its files came to: a row whose entries are
    // still in a file left does not say it was removed.
    EXPECT_EQ(domains[L"a.test"].result, ItemOutcome::kRemoved);
    EXPECT_EQ(domains[L"ftp.b.test"].result, ItemOutcome::kRemoved);
    const DomainInfo& changed = domains[L"www.a.test"];
    EXPECT_EQ(changed.result, ItemOutcome::kFailed);
    ASSERT_TRUE(changed.error);
    EXPECT_TRUE(TellsChangedSinceScan(*changed.error));
    const DomainInfo& deferred = domains[L"c.test"];
    EXPECT_EQ(deferred.result, ItemOutcome::kDeferred);
    ASSERT_TRUE(deferred.error);
    EXPECT_TRUE(deferred.error->IsReboot());
    EXPECT_EQ(_wcsicmp(deferred.error->GetName().c_str(), held.c_str()), 0);
    EXPECT_TRUE(run.rebootNeeded);
}

// A history file a rule keeps stays, and so do its rows, with why; one that
// appeared after the scan was never listed and stays too.
TEST_F(NetscapeFiles, HistoryKeptByARuleOrNewSinceTheScanStays) {
    const std::wstring history = MozillaProfile(L"default", L"s1.slt") + L"history.dat";
    WriteTestFile(history, "(80=http://www.a.test/)");
    DomainMap domains;
    TestRun run;
    std::vector<WholeFile> files;
    EXPECT_TRUE(GetNetscapeHistory(domains, run, &files));
    ASSERT_EQ(files.size(), 1u);
    run.keptPlace = files[0].identity.path;
    const std::wstring late = FirefoxProfile(L"f1.default") + L"history.dat";
    WriteTestFile(late, "(80=http://c.test/)");
    RemoveNetscapeFiles(files, kNetscapeHistoryStore, domains, run);
    EXPECT_EQ(domains[L"www.a.test"].result, ItemOutcome::kKept);
    EXPECT_EQ(domains[L"www.a.test"].kept.kind, KeepVerdict::Kind::kExcluded);
    EXPECT_TRUE(FileExists(history));
    EXPECT_TRUE(FileExists(late));
}

TEST_F(NetscapeFiles, SavedFormsAreReadAndDeleted) {
    std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    WriteTestFile(mozilla + L"prefs.js",
                  "user_pref(\"signon.SignonFileName\", \"1234.s\");\n"
                  "user_pref(\"wallet.SchemaValueFileName\", \"5678.w\");\n");
    WriteTestFile(mozilla + L"user.js",
                  "user_pref(\"signon.SignonFileName\", \"..\\\\outside.s\");\n");
    WriteTestFile(mozilla + L"1234.s",
                  "#2c\r\n.\r\nhttp://www.login.test\r\nuser\r\nhttp://other.test:80\r\n.\r\n");
    WriteTestFile(mozilla + L"5678.w", "W\r\nwww.shop.test/order\r\nwww.bare.test\r\nname/x\r\n");
    WriteTestFile(mozilla + L"..\\outside.s", "http://www.outside.test\n");
    // Firefox profiles are not part of saved forms.
    WriteTestFile(firefox + L"prefs.js", "user_pref(\"signon.SignonFileName\", \"9.s\");\n");
    WriteTestFile(firefox + L"9.s", "http://www.firefox.test\n");

    DomainMap domains;
    TestRun run;
    std::vector<WholeFile> files;
    EXPECT_TRUE(GetNetscapeForms(domains, run, &files));
    EXPECT_EQ(domains[L"login.test"].itemCount, 1);
    EXPECT_EQ(domains[L"other.test:80"].itemCount, 1);
    EXPECT_EQ(domains[L"shop.test"].itemCount, 1);
    EXPECT_EQ(domains[L"bare.test"].itemCount, 1);
    EXPECT_EQ(domains.size(), 4u);
    EXPECT_EQ(files.size(), 2u);  // the saved logins and the wallet

    RemoveNetscapeFiles(files, kNetscapeFormsStore, domains, run);
    for (const auto& [name, domain] : domains) {
        EXPECT_EQ(domain.result, ItemOutcome::kRemoved) << ToUtf8(name);
        EXPECT_FALSE(domain.error);
    }
    EXPECT_FALSE(FileExists(mozilla + L"1234.s"));
    EXPECT_FALSE(FileExists(mozilla + L"5678.w"));
    EXPECT_TRUE(FileExists(mozilla + L"prefs.js"));
    EXPECT_TRUE(FileExists(mozilla + L"..\\outside.s"));
    EXPECT_TRUE(FileExists(firefox + L"9.s"));
}

}  // namespace

}  // namespace veltrane
