// Reading the Netscape family's cookie and history files: hosts counted,
// where a scan ends, and a file too large to be history.
#include "netscape_cookie_file.h"
#include "netscape_fixture.h"
#include "plugins/browser/byte_file.h"
#include "plugins/browser/netscape_files.h"
#include "sysaccess/handles.h"

namespace veltrane {

namespace {

using NetscapeFiles = NetscapeTest;

TEST_F(NetscapeFiles, CookiesAreCountedByHost) {
    std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    WriteTestFile(mozilla + L"cookies.txt",
                  kHeader + CookieLine(".site.test", "1") + CookieLine("www.site.test", "2") +
                      CookieLine("site.test", "3") + CookieLine(".www.kept.test", "4") +
                      CookieLine("ftp.files.test", "5") + "no tab on this line\r\n");
    WriteTestFile(firefox + L"cookies.txt", kHeader + CookieLine(".site.test", "6"));
    bool ok = false;
    DomainMap domains = ReadCookies(&ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(domains.size(), 3u);
    EXPECT_EQ(domains[L"site.test"].itemCount, 4);
    EXPECT_EQ(domains[L"www.kept.test"].itemCount, 1);
    EXPECT_EQ(domains[L"files.test"].itemCount, 1);
}

TEST_F(NetscapeFiles, MissingFirstCookieFileEndsTheScan) {
    MozillaProfile(L"default", L"s1.slt");
    std::wstring firefox = FirefoxProfile(L"f1.default");
    WriteTestFile(firefox + L"cookies.txt", kHeader + CookieLine(".site.test", "6"));
    bool ok = true;
    EXPECT_TRUE(ReadCookies(&ok).empty());
    EXPECT_FALSE(ok);
}

// A file of several hundred megabytes (here sparse) is no history: it is
// refused at once instead of being read into memory whole.
TEST_F(NetscapeFiles, AnOversizedHistoryIsNotRead) {
    std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    {
        UniqueHandle file(CreateFileW((mozilla + L"history.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size;
        size.QuadPart = kLargestByteFile + 1;
        ASSERT_TRUE(SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    std::string bytes;
    EXPECT_EQ(ReadByteFile(mozilla + L"history.dat", bytes),
              static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(bytes.empty());
    DomainMap domains;
    TestRun run;
    EXPECT_FALSE(GetNetscapeHistory(domains, run));
    EXPECT_TRUE(domains.empty());
}

}  // namespace

}  // namespace veltrane
