// Where the Netscape family's profiles are found: Mozilla's salted folders, Firefox's
// profiles and Netscape 4's folder.
#include "plugins/browser/netscape_profiles.h"
#include "netscape_fixture.h"

namespace veltrane {

namespace {

using NetscapeProfiles = NetscapeTest;

TEST_F(NetscapeProfiles, MozillaTakesOnlyPlainSaltedFolders) {
    std::wstring salted = MozillaProfile(L"default", L"k3w9x2ab.slt");
    MakeFolder(MozillaRoot() + L"\\Profiles\\default\\.hidden.slt");
    std::wstring hidden = MozillaRoot() + L"\\Profiles\\default\\h1dd3n.slt";
    MakeFolder(hidden);
    ASSERT_TRUE(
        SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    WriteTestFile(MozillaRoot() + L"\\Profiles\\default\\registry.dat", "x");
    WriteTestFile(MozillaRoot() + L"\\Profiles\\notaprofile.txt", "x");
    std::wstring older = WindowsMozillaRoot() + L"\\Profiles\\old\\s4lt.slt\\";
    MakeFolder(older);

    ProfileList list;
    ASSERT_TRUE(FindMozillaProfiles(list, 0));
    EXPECT_EQ(list, (ProfileList{older, salted}));
}

TEST_F(NetscapeProfiles, FirefoxAndNetscape4Folders) {
    std::wstring first = FirefoxProfile(L"a1.default");
    std::wstring second = FirefoxProfile(L"b2.work");
    ProfileList list;
    ASSERT_TRUE(FindFirefoxProfiles(list, 0));
    EXPECT_EQ(list, (ProfileList{first, second}));

    EXPECT_EQ(GetNetscape4ProfileFolder(), L"");
    std::wstring netscape = Netscape4Profile(L"jdoe");
    EXPECT_EQ(GetNetscape4ProfileFolder(), netscape);
    // A long install path is taken whole.
    std::wstring deep =
        std::wstring(kNetscapeRoot) + L"\\" + std::wstring(300, L'p') + L"\\Program";
    SetString(HKEY_CURRENT_USER, L"Software\\Netscape\\Netscape Navigator\\Main",
              L"Install Directory", deep);
    EXPECT_EQ(GetNetscape4ProfileFolder(),
              std::wstring(kNetscapeRoot) + L"\\" + std::wstring(300, L'p') + L"\\Users\\jdoe\\");
    SetString(HKEY_CURRENT_USER, L"Software\\Netscape\\Netscape Navigator\\Main",
              L"Install Directory", L"NoBackslash");
    EXPECT_EQ(GetNetscape4ProfileFolder(), L"");
}

}  // namespace

}  // namespace veltrane
