#include <windows.h>

#include <gtest/gtest.h>
#include <knownfolders.h>

#include "sysaccess/known_folders.h"
#include "sysaccess/protected_places.h"

namespace {

// Sets an environment variable for one test; the old value comes back after.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t old[4096] = {};
        DWORD length = GetEnvironmentVariableW(name, old, 4096);
        had_ = length > 0 && length < 4096;
        if (had_) old_ = old;
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::wstring old_;
    bool had_ = false;
};

std::wstring WindowsFolder() {
    wchar_t path[MAX_PATH] = {};
    GetWindowsDirectoryW(path, MAX_PATH);
    return path;
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring TempPath() {
    wchar_t path[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, path);
    return path;
}

void ExpectRefused(const std::wstring& folder, const std::wstring& named) {
    SCOPED_TRACE(folder);
    ASSERT_FALSE(folder.empty());
    for (FolderAction action : {FolderAction::kEmpty, FolderAction::kRemove}) {
        PlaceVerdict verdict = CheckFolder(folder, action);
        EXPECT_FALSE(verdict.allowed);
        EXPECT_NE(verdict.reason.find(named), std::wstring::npos) << verdict.reason;
    }
}

TEST(ProtectedPlaces, EveryKindOfPlaceIsRefusedWithItsName) {
    ExpectRefused(L"C:\\", L"top of a drive");
    ExpectRefused(L"C:", L"top of a drive");
    ExpectRefused(WindowsFolder(), L"Windows folder");
    ExpectRefused(GetKnownFolderPath(FOLDERID_System), L"system folder");
    ExpectRefused(GetKnownFolderPath(FOLDERID_ProgramFiles), L"Program Files");
    ExpectRefused(GetKnownFolderPath(FOLDERID_ProgramFilesX86), L"Program Files");
    ExpectRefused(GetKnownFolderPath(FOLDERID_ProgramData), L"shared data");
    ExpectRefused(GetKnownFolderPath(FOLDERID_Profile), L"profile");
    ExpectRefused(GetKnownFolderPath(FOLDERID_Documents), L"Documents");
    ExpectRefused(GetKnownFolderPath(FOLDERID_Desktop), L"Desktop");
    ExpectRefused(GetKnownFolderPath(FOLDERID_RoamingAppData), L"application data");
    ExpectRefused(GetKnownFolderPath(FOLDERID_LocalAppData), L"local application data");
    ExpectRefused(GetKnownFolderPath(FOLDERID_Favorites), L"Favorites");
    ExpectRefused(GetKnownFolderPath(FOLDERID_SavedGames), L"Saved Games");
    ExpectRefused(GetKnownFolderPath(FOLDERID_Contacts), L"Contacts");
    ExpectRefused(GetKnownFolderPath(FOLDERID_Startup), L"Startup");
    ExpectRefused(GetKnownFolderPath(FOLDERID_PublicDocuments), L"Public Documents");
    ExpectRefused(ProgramFolder(), L"program's own folder");
    // The folder of all profiles holds every profile; it is refused either way.
    ExpectRefused(GetKnownFolderPath(FOLDERID_Profile) + L"\\..", L"profile");
}

TEST(ProtectedPlaces, SpellingDoesNotMatter) {
    std::wstring windows = WindowsFolder();
    ExpectRefused(windows + L"\\", L"Windows folder");
    ExpectRefused(windows + L"\\system32\\..\\.", L"Windows folder");
    std::wstring upper = windows;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    ExpectRefused(upper, L"Windows folder");
    std::wstring slashes = windows;
    for (wchar_t& c : slashes)
        if (c == L'\\') c = L'/';
    ExpectRefused(slashes, L"Windows folder");
    // An 8.3 name is the same folder.
    std::wstring programFiles = GetKnownFolderPath(FOLDERID_ProgramFiles);
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(programFiles.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(programFiles, shortName);
    ExpectRefused(shortName, L"Program Files");
}

TEST(ProtectedPlaces, FoldersInsideTheUsersPlacesStayCleanable) {
    for (const std::wstring& folder :
         {GetKnownFolderPath(FOLDERID_RoamingAppData) + L"\\Opera\\Opera7\\profile\\Cache4",
          GetKnownFolderPath(FOLDERID_Documents) + L"\\My Received Files\\History",
          std::wstring(L"C:\\RECYCLER\\S-1-5-21-1-2-3-1000"), WindowsFolder() + L"\\Prefetch"}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(MayEmptyFolder(folder));
        EXPECT_TRUE(MayRemoveFolder(folder));
    }
}

TEST(ProtectedPlaces, TraceFoldersAreEmptiedButNeverRemoved) {
    for (const std::wstring& folder :
         {GetKnownFolderPath(FOLDERID_Recent), GetKnownFolderPath(FOLDERID_History),
          GetKnownFolderPath(FOLDERID_Cookies), GetKnownFolderPath(FOLDERID_InternetCache),
          TempPath()}) {
        SCOPED_TRACE(folder);
        ASSERT_FALSE(folder.empty());
        EXPECT_TRUE(MayEmptyFolder(folder));
        PlaceVerdict removal = CheckFolder(folder, FolderAction::kRemove);
        EXPECT_FALSE(removal.allowed);
        EXPECT_NE(removal.reason.find(L"kept"), std::wstring::npos) << removal.reason;
        EXPECT_TRUE(MayRemoveFolder(folder + L"\\Content.IE5"));
    }
}

TEST(ProtectedPlaces, TemporaryFolderThatResolvesToTheUsersFilesIsRefused) {
    std::wstring profile = GetKnownFolderPath(FOLDERID_Profile);
    // TEMP and TMP pointing at an ancestor of the profile, at the profile,
    // and missing altogether (the system then falls back to the profile).
    const std::wstring cases[] = {profile + L"\\..", profile, L""};
    for (const std::wstring& value : cases) {
        SCOPED_TRACE(value);
        ScopedVariable temp(L"TEMP", value.empty() ? nullptr : value.c_str());
        ScopedVariable tmp(L"TMP", value.empty() ? nullptr : value.c_str());
        PlaceVerdict verdict = CheckFolder(TempPath(), FolderAction::kEmpty);
        EXPECT_FALSE(verdict.allowed) << TempPath();
        EXPECT_NE(verdict.reason.find(L"TEMP and TMP"), std::wstring::npos) << verdict.reason;
    }
    EXPECT_TRUE(MayEmptyFolder(TempPath()));
}

}  // namespace
