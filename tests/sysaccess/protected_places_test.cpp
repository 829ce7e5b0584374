#include <windows.h>

#include <gtest/gtest.h>
#include <knownfolders.h>

#include "scoped_subst.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_identity.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/path_canonical.h"
#include "sysaccess/protected_places.h"

namespace veltrane {

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
    // The system's own prefixes, this machine's administrative shares and a
    // subst drive name the same place too.
    const std::wstring below = windows.substr(3);  // "windows"
    for (const std::wstring& alias :
         {L"\\\\?\\" + windows, L"\\\\.\\" + windows, L"\\\\localhost\\C$\\" + below,
          L"\\\\127.0.0.1\\c$\\" + below, L"\\\\?\\UNC\\localhost\\C$\\" + below})
        ExpectRefused(alias, L"Windows folder");
    ScopedSubst drive(L"C:\\");
    ASSERT_TRUE(drive.Defined());
    ExpectRefused(drive.Path(below), L"Windows folder");
    ExpectRefused(drive.Path(), L"top of a drive");
}

TEST(ProtectedPlaces, FoldersInsideTheUsersSettingsStayCleanable) {
    for (const std::wstring& folder :
         {GetKnownFolderPath(FOLDERID_RoamingAppData) + L"\\Opera\\Opera7\\profile\\Cache4",
          std::wstring(L"C:\\RECYCLER\\S-1-5-21-1-2-3-1000"), WindowsFolder() + L"\\Prefetch"}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(MayEmptyFolder(folder));
        EXPECT_TRUE(MayRemoveFolder(folder));
    }
}

TEST(ProtectedPlaces, InsideTheUsersOwnFilesOnlyATraceFoldersFilesGo) {
    for (const std::wstring& folder :
         {GetKnownFolderPath(FOLDERID_Documents) + L"\\My Received Files\\History",
          GetKnownFolderPath(FOLDERID_Pictures) + L"\\2024",
          GetKnownFolderPath(FOLDERID_SavedGames) + L"\\Game\\Cache",
          GetKnownFolderPath(FOLDERID_PublicDocuments) + L"\\Work"}) {
        SCOPED_TRACE(folder);
        for (FolderAction action : {FolderAction::kEmpty, FolderAction::kRemove}) {
            PlaceVerdict verdict = CheckFolder(folder, action);
            EXPECT_FALSE(verdict.allowed);
            EXPECT_NE(verdict.reason.find(L"is inside the"), std::wstring::npos) << verdict.reason;
        }
        EXPECT_TRUE(CheckFolder(folder, FolderAction::kEmptyTraceFolder).allowed);
    }
    EXPECT_FALSE(
        CheckFolder(GetKnownFolderPath(FOLDERID_Documents), FolderAction::kEmptyTraceFolder)
            .allowed);
}

TEST(ProtectedPlaces, AFolderReachedThroughALinkIsRefused) {
    ScopedTestFolder base(L"GuardLinks");
    ScopedTestFolder target(L"GuardLinkTarget");
    MakeFolder(target.Sub(L"Cache"));
    ASSERT_TRUE(MakeFolderLink(base.Sub(L"Profile"), target.Path()));
    for (const std::wstring& folder : {base.Sub(L"Profile"), base.Sub(L"Profile\\Cache")}) {
        SCOPED_TRACE(folder);
        for (FolderAction action : {FolderAction::kEmpty, FolderAction::kEmptyTraceFolder}) {
            PlaceVerdict verdict = CheckFolder(folder, action);
            EXPECT_FALSE(verdict.allowed);
            EXPECT_NE(verdict.reason.find(L"link"), std::wstring::npos) << verdict.reason;
            EXPECT_NE(verdict.reason.find(target.Path()), std::wstring::npos) << verdict.reason;
        }
    }
    RemoveFolderLink(base.Sub(L"Profile"));
    EXPECT_TRUE(MayEmptyFolder(target.Sub(L"Cache")));
    // The links the system made for its own folders are no alias: Wine links
    // Documents to the Linux home, and a trace folder inside is still listed.
    const std::wstring trace = GetKnownFolderPath(FOLDERID_Documents) + L"\\VeltraneGuardTrace";
    WriteTestFile(trace + L"\\log.xml", "<Log/>");
    EXPECT_TRUE(CheckFolder(trace, FolderAction::kEmptyTraceFolder).allowed);
    FolderTreeListing listing;
    EXPECT_EQ(ListFolderItems(nullptr, trace, nullptr, ListingDepth::kFiles, &listing).kind,
              ListingResult::kListed);
    EXPECT_EQ(listing.files.size(), 1u);
    RemoveTree(trace);
    RemoveDirectoryW(trace.c_str());
}

TEST(ProtectedPlaces, APlaceOnNoDriveIsNeverEmptied) {
    // Wine opens Linux places outside every drive as "\\?\unix\...": the
    // profile's Documents is one here, so its Linux path is known.
    const std::wstring documents = GetKnownFolderPath(FOLDERID_Documents);
    const UniqueHandle folder(CreateFileW(documents.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    const std::optional<std::wstring> linuxPath = TryFinalPath(folder.Get());
    const std::wstring unixPrefix = L"\\\\?\\unix\\";
    if (!linuxPath || !linuxPath->starts_with(unixPrefix))
        GTEST_SKIP() << "Documents is no Linux folder here";
    const std::wstring rest = linuxPath->substr(unixPrefix.size()) + L"\\VeltraneUnix";
    WriteTestFile(documents + L"\\VeltraneUnix\\notes.txt", "kept");
    for (const std::wstring& alias : {unixPrefix + rest, L"\\\\?\\UNC\\?\\unix\\" + rest,
                                      L"\\\\?\\UNC\\.\\unix\\" + rest, L"//?/unix/" + rest}) {
        SCOPED_TRACE(alias);
        for (FolderAction action :
             {FolderAction::kEmpty, FolderAction::kRemove, FolderAction::kEmptyTraceFolder})
            EXPECT_FALSE(CheckFolder(alias, action).allowed);
        EXPECT_FALSE(DeleteFolderFiles(alias, nullptr, L"*").Done());
        EXPECT_EQ(DeleteFileEx(alias + L"\\notes.txt", false).kind, DeleteOutcome::kFailed);
    }
    EXPECT_EQ(ReadTestFile(documents + L"\\VeltraneUnix\\notes.txt"), "kept");
    RemoveTree(documents + L"\\VeltraneUnix");
    RemoveDirectoryW((documents + L"\\VeltraneUnix").c_str());
    // Another machine's share is not told apart from this one's places either.
    EXPECT_FALSE(MayEmptyFolder(L"\\\\fileserver\\users\\me\\Temp"));
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
    const std::wstring work = GetKnownFolderPath(FOLDERID_Documents) + L"\\Work";
    const std::wstring roaming = GetKnownFolderPath(FOLDERID_RoamingAppData);
    ScopedSubst workDrive(work);
    ASSERT_TRUE(workDrive.Defined());
    // TEMP and TMP pointing at an ancestor of the profile, at the profile,
    // missing altogether (the system then falls back to the profile), inside
    // Documents, and at the user's settings or Documents by another name.
    const std::wstring cases[] = {profile + L"\\..",
                                  profile,
                                  L"",
                                  work,
                                  L"\\\\?\\" + roaming,
                                  workDrive.Path(),
                                  L"\\\\localhost\\C$\\" + roaming.substr(3),
                                  L"\\\\?\\UNC\\127.0.0.1\\c$\\" + work.substr(3)};
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

TEST(ProtectedFolders, AKnownFolderIsNotRemoved) {
    std::wstring contacts = GetKnownFolderPath(FOLDERID_Contacts);
    MakeFolder(contacts);
    EXPECT_FALSE(RemoveFolder(contacts).Removed());
    EXPECT_TRUE(FileExists(contacts));
}

}  // namespace

}  // namespace veltrane
