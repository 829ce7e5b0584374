#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "standard/registry_place.h"
#include "support/test_registry.h"
#include "sysaccess/path_macros.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

const wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const wchar_t kBiff[] = L"Software\\Netscape\\Netscape Navigator\\biff";

std::wstring TempPath() {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    return path;
}

std::wstring AppData() {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE);
    return path;
}

std::wstring Expand(const std::wstring& path, bool& anyEmpty) {
    anyEmpty = false;
    return ExpandPathMacros(path, &anyEmpty);
}

// An environment variable changed for one test.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t old[1024] = {};
        DWORD length = GetEnvironmentVariableW(name, old, _countof(old));
        had_ = length > 0 && length < _countof(old);
        old_ = old;
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

private:
    std::wstring name_;
    std::wstring old_;
    bool had_ = false;
};

TEST(PathMacros, TempFolderEndsWithItsBackslash) {
    std::wstring temp = TempPath();
    ASSERT_FALSE(temp.empty());
    ASSERT_EQ(temp.back(), L'\\');
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"[PATH_SYS_TEMP]setup.log", anyEmpty), temp + L"setup.log");
    EXPECT_FALSE(anyEmpty);
}

TEST(PathMacros, EveryOccurrenceIsReplaced) {
    ScopedEnvironment windir(L"WinDir", L"C:\\windows");
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"%WinDir%\\a;%WinDir%\\b", anyEmpty), L"C:\\windows\\a;C:\\windows\\b");
    EXPECT_FALSE(anyEmpty);
    // Case matters: this is not the macro.
    EXPECT_EQ(Expand(L"%windir%\\a", anyEmpty), L"%windir%\\a");
}

TEST(PathMacros, PathWithoutMacrosIsUnchangedAndUserNameStaysInFilePaths) {
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"C:\\Data\\[WIN_USERNAME]\\x.txt", anyEmpty),
              L"C:\\Data\\[WIN_USERNAME]\\x.txt");
    EXPECT_FALSE(anyEmpty);
    EXPECT_EQ(ExpandPathMacros(L"C:\\plain"), L"C:\\plain");
}

TEST(PathMacros, UserNameMacroInKeyPaths) {
    wchar_t user[256] = {};
    DWORD length = _countof(user);
    ASSERT_TRUE(GetUserNameW(user, &length));
    EXPECT_EQ(ExpandUserNameMacro(L"Software\\X\\[WIN_USERNAME]\\Y\\[WIN_USERNAME]"),
              std::wstring(L"Software\\X\\") + user + L"\\Y\\" + user);
    EXPECT_EQ(ExpandUserNameMacro(L"Software\\X"), L"Software\\X");
}

TEST(PathMacros, Netscape4RootIsThePartBeforeMail) {
    RegistryPlace biff(HKEY_CURRENT_USER, kBiff);
    SetString(HKEY_CURRENT_USER, kBiff, L"CurrentUser", L"u1");
    const std::wstring user = std::wstring(kBiff) + L"\\users\\u1";
    // No "defaultServer": the server is "mail".
    SetString(HKEY_CURRENT_USER, user + L"\\servers\\mail", L"popstatePath",
              L"C:\\Netscape\\Users\\u1\\mail\\popstate.dat");
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"[PATH_APP_NN4_ROOT]\\prefs.js", anyEmpty),
              L"C:\\Netscape\\Users\\u1\\prefs.js");
    EXPECT_FALSE(anyEmpty);

    SetString(HKEY_CURRENT_USER, user, L"defaultServer", L"pop.example");
    SetString(HKEY_CURRENT_USER, user + L"\\servers\\pop.example", L"popstatePath",
              L"D:\\nn\\alice\\mail\\x\\popstate.dat");
    EXPECT_EQ(Expand(L"[PATH_APP_NN4_ROOT]", anyEmpty), L"D:\\nn\\alice");

    SetString(HKEY_CURRENT_USER, user + L"\\servers\\pop.example", L"popstatePath",
              L"C:\\Netscape\\popstate.dat");
    EXPECT_EQ(Expand(L"[PATH_APP_NN4_ROOT]\\prefs.js", anyEmpty), L"\\prefs.js");
    EXPECT_TRUE(anyEmpty);
}

TEST(PathMacros, MissingApplicationMarksThePathAbsent) {
    RegistryPlace aol(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"Aol.exe", {L"Path"});
    RegistryPlace opera(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"Opera.exe", {L"Path"});
    SHDeleteValueW(HKEY_LOCAL_MACHINE, aol.Key().c_str(), L"Path");
    SHDeleteValueW(HKEY_LOCAL_MACHINE, opera.Key().c_str(), L"Path");
    bool anyEmpty = false;
    EXPECT_EQ(Expand(L"[PATH_APP_AOL_ROOT]\\organize", anyEmpty), L"\\organize");
    EXPECT_TRUE(anyEmpty);
    // A place below a missing one is missing too, though its text is not empty.
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA6_CACHE]", anyEmpty), L"\\Cache4");
    EXPECT_TRUE(anyEmpty);
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA_ROOT]\\opera.dir", anyEmpty), L"\\opera.dir");
    EXPECT_TRUE(anyEmpty);
    // A macro that is not in the path does not count.
    EXPECT_FALSE(Expand(L"%WinDir%\\x", anyEmpty).empty());
    EXPECT_FALSE(anyEmpty);
}

TEST(PathMacros, InstalledApplicationsExpandToTheirFolders) {
    RegistryPlace aol(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"Aol.exe", {L"Path"});
    RegistryPlace opera(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"Opera.exe", {L"Path"});
    SetString(HKEY_LOCAL_MACHINE, opera.Key(), L"Path", L"C:\\Program Files\\Opera");
    // A value inserted by one step is expanded by the later ones.
    SetString(HKEY_LOCAL_MACHINE, aol.Key(), L"Path", L"%ProgramFiles%\\AOL");
    ScopedEnvironment programFiles(L"ProgramFiles", L"C:\\Program Files");
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"[PATH_APP_AOL_ROOT]\\organize", anyEmpty),
              L"C:\\Program Files\\AOL\\organize");
    EXPECT_FALSE(anyEmpty);
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA6_CACHE]", anyEmpty), L"C:\\Program Files\\Opera\\Cache4");
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA_ROOT]\\cookies4.dat", anyEmpty),
              L"C:\\Program Files\\Opera\\cookies4.dat");
    EXPECT_FALSE(anyEmpty);
}

TEST(PathMacros, OperaProfilesLieInTheApplicationDataFolder) {
    std::wstring appData = AppData();
    ASSERT_FALSE(appData.empty());
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA7_USERDATA]\\global.dat", anyEmpty),
              appData + L"\\Opera\\Opera7\\profile\\global.dat");
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA75_USERDATA]", anyEmpty),
              appData + L"\\Opera\\Opera75\\profile");
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA7_CACHE]", anyEmpty),
              appData + L"\\Opera\\Opera7\\profile\\Cache4");
    EXPECT_EQ(Expand(L"[PATH_APP_OPERA75_CACHE]", anyEmpty),
              appData + L"\\Opera\\Opera75\\profile\\Cache4");
    EXPECT_FALSE(anyEmpty);
}

TEST(PathMacros, ShellFoldersAndSystemPlacesComeFromTheRegistry) {
    const std::wstring shell =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    RegistryPlace folders(HKEY_CURRENT_USER, shell, {L"History", L"Recent"});
    SetString(HKEY_CURRENT_USER, shell, L"History", L"C:\\H");
    SetString(HKEY_CURRENT_USER, shell, L"Recent", L"C:\\R");
    const std::wstring settings =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    RegistryPlace activeX(HKEY_LOCAL_MACHINE, settings, {L"ActiveXCache"});
    SetString(HKEY_LOCAL_MACHINE, settings, L"ActiveXCache", L"C:\\windows\\Downloaded");
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"[PATH_SYS_SHELL_HISTORY]|[PATH_SYS_SHELL_RECENT]", anyEmpty),
              L"C:\\H|C:\\R");
    EXPECT_EQ(Expand(L"[PATH_SYS_DOWNLOADEDPROGRAMS]\\x", anyEmpty), L"C:\\windows\\Downloaded\\x");
    EXPECT_FALSE(anyEmpty);
    // Fresh at every call: nothing is remembered.
    SetString(HKEY_CURRENT_USER, shell, L"History", L"C:\\H2");
    EXPECT_EQ(ExpandPathMacros(L"[PATH_SYS_SHELL_HISTORY]"), L"C:\\H2");
}

TEST(PathMacros, OutlookExpressStoreOfTheDefaultIdentity) {
    RegistryPlace identities(HKEY_CURRENT_USER, L"Identities", {L"Default User ID"});
    const std::wstring id = L"{11111111-2222-3333-4444-555555555555}";
    RegistryPlace store(HKEY_CURRENT_USER, L"Identities\\" + id);
    SetString(HKEY_CURRENT_USER, L"Identities", L"Default User ID", id);
    SetString(HKEY_CURRENT_USER, store.Key() + L"\\Software\\Microsoft\\Outlook Express\\5.0",
              L"Store Root", L"C:\\OE\\Store");
    bool anyEmpty = true;
    EXPECT_EQ(Expand(L"[PATH_APP_OUTLOOKEXPRESS_STOREROOT]\\Inbox.dbx", anyEmpty),
              L"C:\\OE\\Store\\Inbox.dbx");
    EXPECT_FALSE(anyEmpty);
}

TEST(PathMacros, UnsetVariableIsEmptyNeverAnotherValue) {
    ScopedEnvironment appData(L"AppData", nullptr);
    bool anyEmpty = false;
    EXPECT_EQ(Expand(L"%AppData%\\x", anyEmpty), L"\\x");
    EXPECT_TRUE(anyEmpty);
}

}  // namespace

}  // namespace veltrane
