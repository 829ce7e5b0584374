// Profiles found the way the browsers find them, and the profile lock that
// tells a browser in use.
#include <gtest/gtest.h>

#include <algorithm>

#include "modern_fixture.h"
#include "plugins/browser/browser_profiles.h"
#include "support/test_files.h"

namespace veltrane {

namespace {

std::vector<std::wstring> Folders(const BrowserProfiles& profiles) {
    std::vector<std::wstring> folders;
    for (const BrowserProfile& profile : profiles) folders.push_back(profile.folder);
    return folders;
}

TEST(BrowserProfiles, ChromiumProfilesFromLocalStateAndDisk) {
    ScopedTestFolder root(L"ChromiumProfiles");
    const std::wstring userData = root.Path() + L"\\User Data\\";
    WriteTestFile(userData + L"Local State",
                  "{\"profile\":{\"info_cache\":{\"Default\":{\"name\":\"Person 1\"},"
                  "\"Work\":{\"name\":\"Work\"},\"Gone\":{\"name\":\"Deleted\"},"
                  "\"..\\\\..\\\\Escape\":{\"name\":\"x\"}}}}");
    for (const wchar_t* name :
         {L"Default", L"Work", L"Profile 2", L"Profile X", L"System Profile", L"Escape"})
        MakeFolder(userData + name);
    MakeFolder(root.Path() + L"\\Escape");
    BrowserProfiles found = ChromiumProfilesIn(L"Chromium", userData, userData);
    // Local State's entries first (those on disk), then the Default and
    // "Profile N" folders it did not name; never a name that leaves User Data.
    EXPECT_EQ(Folders(found),
              (std::vector<std::wstring>{userData + L"Default\\", userData + L"Work\\",
                                         userData + L"Profile 2\\"}));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].name, L"Person 1 (Default)");
    EXPECT_EQ(found[1].name, L"Work");
    EXPECT_EQ(found[2].name, L"Profile 2");
    EXPECT_EQ(found[0].lockFile, userData + L"lockfile");

    // Without a readable Local State the disk still gives the usual folders.
    WriteTestFile(userData + L"Local State", "{ not json");
    EXPECT_EQ(Folders(ChromiumProfilesIn(L"Chromium", userData, userData)),
              (std::vector<std::wstring>{userData + L"Default\\", userData + L"Profile 2\\"}));
}

TEST(BrowserProfiles, FirefoxProfilesFromProfilesIniAndTheProfilesFolder) {
    ScopedTestFolder root(L"FirefoxProfiles");
    const std::wstring roaming = root.Path() + L"\\Roaming\\Mozilla\\Firefox\\";
    const std::wstring local = root.Path() + L"\\Local\\Mozilla\\Firefox\\";
    const std::wstring elsewhere = root.Path() + L"\\Elsewhere\\my profile";
    WriteTestFile(roaming + L"profiles.ini",
                  "[General]\r\nStartWithLastProfile=1\r\n\r\n"
                  "[Profile1]\r\nName=Work\r\nIsRelative=0\r\nPath=" +
                      std::string(elsewhere.begin(), elsewhere.end()) +
                      "\r\n\r\n"
                      "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\n"
                      "Path=Profiles/abc.default-release\r\nDefault=1\r\n\r\n"
                      "[Profile2]\r\nName=Missing\r\nIsRelative=1\r\nPath=Profiles/gone\r\n\r\n"
                      "[Profile3]\r\nName=Twice\r\nIsRelative=1\r\n"
                      "Path=Profiles/ABC.default-release\r\n\r\n"
                      "[Install4F96D1932A9F858E]\r\nDefault=Profiles/abc.default-release\r\n");
    MakeFolder(roaming + L"Profiles\\abc.default-release");
    MakeFolder(roaming + L"Profiles\\unlisted.old");
    MakeFolder(elsewhere);
    BrowserProfiles found = FirefoxProfilesIn(L"Firefox", roaming, local);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].folder, elsewhere + L"\\");
    EXPECT_EQ(found[0].name, L"Work");
    EXPECT_EQ(found[0].cacheFolder, elsewhere + L"\\");  // outside the roaming folder
    EXPECT_EQ(found[1].folder, roaming + L"Profiles\\abc.default-release\\");
    EXPECT_EQ(found[1].name, L"default-release");
    EXPECT_EQ(found[1].cacheFolder, local + L"Profiles\\abc.default-release\\");
    EXPECT_EQ(found[1].lockFile, found[1].folder + L"parent.lock");
    EXPECT_EQ(found[2].folder, roaming + L"Profiles\\unlisted.old\\");
}

TEST(BrowserProfiles, AProfileIsInUseOnlyWhileAnotherProcessHoldsItsLock) {
    ScopedTestFolder root(L"ProfileLock");
    const std::wstring lock = root.Sub(L"parent.lock");
    EXPECT_EQ(CheckProfileLock(lock), ProfileLock::kFree);  // no lock file at all
    WriteTestFile(lock, "");
    EXPECT_EQ(CheckProfileLock(lock), ProfileLock::kFree);  // left behind by a crash
    {
        HeldLock held(lock);
        ASSERT_TRUE(held.Holding());
        EXPECT_EQ(CheckProfileLock(lock), ProfileLock::kInUse);
    }
    EXPECT_EQ(CheckProfileLock(lock), ProfileLock::kFree);
}

}  // namespace

}  // namespace veltrane
