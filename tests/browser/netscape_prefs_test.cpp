// Values read from a profile's prefs.js.
#include "netscape_fixture.h"
#include "plugins/browser/netscape_files.h"

namespace veltrane {

namespace {

using NetscapeProfiles = NetscapeTest;

TEST_F(NetscapeProfiles, PreferenceValues) {
    std::wstring folder = FirefoxProfile(L"prefs");
    std::string longValue(300, 'v');
    WriteTestFile(folder + L"prefs.js",
                  "# signon.SignonFileName is mentioned here, \"not this\"\n"
                  "user_pref(\"signon.SignonFileName\", \"12345678.s\");\n"
                  "user_pref(\"no.comma\" \"x\");\n"
                  "user_pref(\"long.value\", \"" +
                      longValue + "\");\n" + "user_pref(\"padding\", \"" + std::string(2000, 'p') +
                      "\"); // wallet.SchemaValueFileName\n");
    EXPECT_EQ(ReadPrefValue(folder + L"prefs.js", L"signon.SignonFileName"), L"12345678.s");
    EXPECT_EQ(ReadPrefValue(folder + L"prefs.js", L"long.value"),
              std::wstring(longValue.begin(), longValue.end()));
    EXPECT_EQ(ReadPrefValue(folder + L"prefs.js", L"no.comma"), std::nullopt);
    EXPECT_EQ(ReadPrefValue(folder + L"prefs.js", L"wallet.SchemaValueFileName"),
              std::wstring(2000, L'p'));
    EXPECT_EQ(ReadPrefValue(folder + L"prefs.js", L"missing"), std::nullopt);
    EXPECT_EQ(ReadPrefValue(folder + L"nofile.js", L"signon.SignonFileName"), std::nullopt);
}

}  // namespace

}  // namespace veltrane
