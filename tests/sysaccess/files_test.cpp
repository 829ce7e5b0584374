#include <windows.h>

#include <gtest/gtest.h>

#include "support/run_context_stub.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/os_version.h"
#include "sysaccess/text.h"

namespace {

std::wstring FileName(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

// The deletions the system has been asked to carry out at the next start.
std::wstring PendingRenames() {
    HKEY key = nullptr;
    std::wstring text;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return text;
    DWORD size = 0;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) ==
        ERROR_SUCCESS) {
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &size);
        for (wchar_t& c : buffer)
            if (c == 0) c = L'|';
        text = buffer;
    }
    RegCloseKey(key);
    return text;
}

class ScopedVersion {
public:
    explicit ScopedVersion(OsVersion version) { SetOsVersionOverride(version); }
    ~ScopedVersion() { SetOsVersionOverride(std::nullopt); }
};

TEST(FileWalk, MasksInOrderAndSubFoldersBeforeTheirFolder) {
    ScopedTestFolder folder(L"WalkMasks");
    WriteTestFile(folder.Sub(L"b.AUT"), "1");
    WriteTestFile(folder.Sub(L"a.ARL"), "22");
    WriteTestFile(folder.Sub(L"c.txt"), "333");
    StringList files;
    SizeList sizes;
    unsigned count = 0;
    ASSERT_TRUE(
        GetFileList(nullptr, folder.Path(), &files, nullptr, L"*.ARL|*.AUT", L'|', &count, &sizes));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(FileName(files[0]), L"a.ARL");
    EXPECT_EQ(FileName(files[1]), L"b.AUT");
    EXPECT_EQ(sizes, (SizeList{2, 1}));

    WriteTestFile(folder.Sub(L"sub\\deeper\\x.dat"), "4444");
    StringList all, folders;
    GetFileListPlugCancelProc collect(nullptr, &all, nullptr, &folders, nullptr, L'|');
    ASSERT_TRUE(WalkFolderTree(folder.Path(), collect));
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(FileName(folders[0]), L"deeper");
    EXPECT_EQ(FileName(folders[1]), L"sub");

    uint64_t total = 0;
    EXPECT_TRUE(GetFolderTreeSize(nullptr, folder.Path(), &total, &count));
    EXPECT_EQ(total, 10u);
    EXPECT_TRUE(
        GetFileList(nullptr, folder.Sub(L"missing"), &files, nullptr, nullptr, L'|', &count));
    EXPECT_EQ(count, 0u);
}

TEST(FileWalk, CancelStopsAfterTheCurrentEntry) {
    ScopedTestFolder folder(L"WalkCancel");
    for (int i = 0; i < 6; ++i) WriteTestFile(folder.Sub(L"f" + std::to_wstring(i)), "x");
    TestRunContext context;
    context.cancelAfterChecks = 3;
    StringList files;
    EXPECT_FALSE(GetFileList(&context, folder.Path(), &files, nullptr, nullptr, L'|', nullptr));
    EXPECT_EQ(files.size(), 3u);
}

TEST(FileDelete, ReadOnlyFileGoesAndGoneCountsAsDeleted) {
    ScopedTestFolder folder(L"DeleteReadOnly");
    std::wstring path = folder.Sub(L"ro.txt");
    WriteTestFile(path, "data");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(DeleteFileEx(path, false), DeleteOutcome::kRemoved);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(DeleteFileEx(path, true), DeleteOutcome::kRemoved);
    EXPECT_EQ(WipeFile(folder.Sub(L"never\\there.txt")), WipeOutcome::kMissing);
    EXPECT_TRUE(RemoveFolder(folder.Sub(L"never")));
}

TEST(FileDelete, ReadOnlyFileIsOverwrittenBeforeItGoes) {
    ScopedTestFolder folder(L"DeleteReadOnlyWipe");
    std::wstring path = folder.Sub(L"ro.bin");
    WriteTestFile(path, std::string(1000, 'a'));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    // Held open so that the content can be read after the (deferred) deletion.
    UniqueHandle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    EXPECT_EQ(DeleteFileEx(path, true), DeleteOutcome::kDeferred);
    std::string content(1001, '\0');
    DWORD got = 0;
    ReadFile(holder.Get(), content.data(), 1001, &got, nullptr);
    content.resize(got);
    EXPECT_EQ(content, std::string(1000, '\xFF'));
}

TEST(FileDelete, OverwriteWritesOnesBeforeADeferredDeletion) {
    ScopedTestFolder folder(L"DeleteWipe");
    std::wstring path = folder.Sub(L"secret.bin");
    WriteTestFile(path, std::string(100000, 'a'));
    // Held open without delete sharing: the overwrite gets through, the deletion does not.
    UniqueHandle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    EXPECT_EQ(DeleteFileEx(path, true), DeleteOutcome::kDeferred);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    std::string content(100001, '\0');
    DWORD got = 0;
    ReadFile(holder.Get(), content.data(), 100001, &got, nullptr);
    EXPECT_EQ(got, 100000u);
    content.resize(got);
    EXPECT_EQ(content, std::string(100000, '\xFF'));
    EXPECT_NE(PendingRenames().find(L"secret.bin"), std::wstring::npos);
}

TEST(FileDelete, LockedFileIsDeferredOnNT) {
    ScopedTestFolder folder(L"DeleteLocked");
    std::wstring path = folder.Sub(L"locked.dat");
    WriteTestFile(path, "busy");
    UniqueHandle holder(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    EXPECT_EQ(DeleteFileEx(path, false), DeleteOutcome::kDeferred);
    EXPECT_TRUE(FileExists(path));
    EXPECT_NE(PendingRenames().find(L"locked.dat"), std::wstring::npos);
    // Overwriting cannot open it either: still deferred, never a plain failure.
    EXPECT_EQ(DeleteFileEx(path, true), DeleteOutcome::kDeferred);
}

TEST(FileDelete, Windows9xWritesWininitNewestFirst) {
    ScopedTestFolder folder(L"DeleteWininit");
    WriteTestFile(folder.Sub(L"first long name.txt"), "1");
    WriteTestFile(folder.Sub(L"second.txt"), "2");
    auto shortName = [](const std::wstring& path) {
        char name[MAX_PATH] = {};
        DWORD length = GetShortPathNameA(ToUtf8(path).c_str(), name, MAX_PATH);
        return std::string(name, length);
    };
    const std::string first = shortName(folder.Sub(L"first long name.txt"));
    const std::string second = shortName(folder.Sub(L"second.txt"));
    ASSERT_FALSE(first.empty());
    const std::wstring ini = L"C:\\windows\\WININIT.INI";
    // Other sections stay; the entry goes first into an existing [rename].
    WriteTestFile(ini, "[other]\r\nkeep=1\r\n");
    {
        ScopedVersion windows98({VER_PLATFORM_WIN32_WINDOWS, 4, 10});
        EXPECT_TRUE(ScheduleDeleteOnReboot(folder.Sub(L"first long name.txt")));
        EXPECT_EQ(ReadTestFile(ini), "[other]\r\nkeep=1\r\n[rename]\r\nnul = " + first + "\r\n");
        EXPECT_TRUE(ScheduleDeleteOnReboot(folder.Sub(L"second.txt")));
    }
    EXPECT_EQ(ReadTestFile(ini),
              "[other]\r\nkeep=1\r\n[rename]\r\nnul = " + second + "\r\nnul = " + first + "\r\n");
    DeleteFileW(ini.c_str());
}

TEST(FileDelete, FolderTreeAndFolderFiles) {
    ScopedTestFolder folder(L"DeleteTree");
    WriteTestFile(folder.Sub(L"sub\\one.txt"), "12345");
    unsigned count = 0;
    uint64_t size = 0;
    bool reboot = true;
    TestRunContext context;
    EXPECT_TRUE(DeleteFolderTree(folder.Path(), &context, true, &count, &size, &reboot, nullptr));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(reboot);
    EXPECT_FALSE(FileExists(folder.Sub(L"sub")));
    EXPECT_TRUE(FileExists(folder.Path()));

    WriteTestFile(folder.Sub(L"a.tmp"), "1");
    WriteTestFile(folder.Sub(L"keep.txt"), "2");
    std::wstring locked = folder.Sub(L"b.tmp");
    WriteTestFile(locked, "3");
    UniqueHandle holder(
        CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(DeleteFolderFiles(folder.Path(), &context, true, &count, &size, &reboot, L"*.tmp"));
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(reboot);
    EXPECT_TRUE(context.rebootNeeded);
    EXPECT_FALSE(FileExists(folder.Sub(L"a.tmp")));
    EXPECT_TRUE(FileExists(folder.Sub(L"keep.txt")));
    holder.Close();

    // A folder holding a deferred file cannot go: the tree deletion reports it.
    WriteTestFile(folder.Sub(L"busy\\held.txt"), "4");
    UniqueHandle held(CreateFileW(folder.Sub(L"busy\\held.txt").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(DeleteFolderTree(folder.Path(), &context, true, &count, &size, &reboot, nullptr));
    EXPECT_TRUE(reboot);
}

TEST(FileWalk, FolderLinksAreNeverEnteredAndGoAsLinks) {
    ScopedTestFolder outside(L"LinkTarget");
    ScopedTestFolder folder(L"LinkWalk");
    WriteTestFile(outside.Sub(L"keep.txt"), "mine");
    WriteTestFile(folder.Sub(L"inner\\trace.tmp"), "trace");
    std::wstring link = folder.Sub(L"link");
    ASSERT_TRUE(MakeFolderLink(link, outside.Path()));
    ASSERT_TRUE(IsFolderLink(link));
    ASSERT_TRUE(IsFolderLink(link + L"\\"));  // a trailing separator must not hide it

    // Handed in as the start of a walk or a deletion, a link holds nothing.
    StringList files;
    unsigned count = 0;
    EXPECT_TRUE(GetFileList(nullptr, link, &files, nullptr, nullptr, L'|', &count));
    EXPECT_TRUE(files.empty());
    uint64_t size = 0;
    bool reboot = false;
    TestRunContext context;
    context.wipe = true;
    DeleteFolderTree(link + L"\\", &context, true, &count, &size, &reboot, nullptr);
    DeleteFolderFiles(link, &context, true, &count, &size, &reboot, nullptr);
    EXPECT_EQ(ReadTestFile(outside.Sub(L"keep.txt")), "mine");

    // Met inside a folder being emptied, it is removed as a link (Wine
    // cannot remove one and leaves it): never what it leads to.
    DeleteFolderTree(folder.Path(), &context, true, &count, &size, &reboot, nullptr);
    EXPECT_FALSE(FileExists(folder.Sub(L"inner")));
    EXPECT_EQ(ReadTestFile(outside.Sub(L"keep.txt")), "mine");
    RemoveFolderLink(link);
}

TEST(FileDelete, OverwriteNeverWritesThroughAnotherName) {
    ScopedTestFolder outside(L"HardLinkTarget");
    ScopedTestFolder folder(L"HardLinkTemp");
    std::wstring document = outside.Sub(L"document.txt");
    std::wstring link = folder.Sub(L"copy.txt");
    WriteTestFile(document, "the user's words");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), document.c_str(), nullptr));

    EXPECT_EQ(WipeFile(link), WipeOutcome::kShared);
    EXPECT_EQ(DeleteFileEx(link, true), DeleteOutcome::kRemovedWithoutOverwrite);
    EXPECT_FALSE(FileExists(link));
    EXPECT_EQ(ReadTestFile(document), "the user's words");

    // A file with one name is overwritten and flushed.
    std::wstring own = folder.Sub(L"own.txt");
    WriteTestFile(own, "secret");
    EXPECT_EQ(WipeFile(own), WipeOutcome::kWiped);
    EXPECT_EQ(ReadTestFile(own), std::string(6, '\xFF'));
}

TEST(FileDelete, OverwriteDecisionLooksAtTheOpenFile) {
    BY_HANDLE_FILE_INFORMATION info = {};
    info.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    info.nNumberOfLinks = 1;
    EXPECT_TRUE(MayOverwriteOpenFile(info));
    info.nNumberOfLinks = 0;  // file systems that keep no count
    EXPECT_TRUE(MayOverwriteOpenFile(info));
    info.nNumberOfLinks = 2;
    EXPECT_FALSE(MayOverwriteOpenFile(info));
    info.nNumberOfLinks = 1;
    info.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;  // a file symbolic link
    EXPECT_FALSE(MayOverwriteOpenFile(info));
}

TEST(FileDelete, AScheduleTheSystemRefusesIsAFailure) {
    ScopedTestFolder folder(L"DeleteNoSchedule");
    std::wstring path = folder.Sub(L"locked.dat");
    WriteTestFile(path, "busy");
    UniqueHandle holder(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    SetRebootSchedulerOverride([](const std::wstring&) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    });
    EXPECT_EQ(DeleteFileEx(path, false), DeleteOutcome::kFailed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(DeleteFileEx(path, true), DeleteOutcome::kFailed);

    TestRunContext context;
    unsigned count = 7;
    uint64_t size = 0;
    bool reboot = true;
    EXPECT_FALSE(DeleteFolderFiles(folder.Path(), &context, true, &count, &size, &reboot, nullptr));
    SetRebootSchedulerOverride(nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(reboot);
    EXPECT_FALSE(context.rebootNeeded);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(PendingRenames().find(L"DeleteNoSchedule"), std::wstring::npos);
}

TEST(FileDelete, ProtectedFoldersAreNeitherEmptiedNorRemoved) {
    std::wstring profile = GetKnownFolderPath(FOLDERID_Profile);
    ASSERT_FALSE(profile.empty());
    std::wstring canary = profile + L"\\veltrane-canary.txt";
    WriteTestFile(canary, "still here");
    TestRunContext context;
    unsigned count = 0;
    uint64_t size = 0;
    bool reboot = false;
    EXPECT_FALSE(DeleteFolderFiles(profile, &context, true, &count, &size, &reboot, L"*.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFolderTree(profile + L"\\..", &context, true, &count, &size, &reboot,
                                  L"veltrane-canary.txt"));
    EXPECT_EQ(ReadTestFile(canary), "still here");
    DeleteFileW(canary.c_str());

    std::wstring contacts = GetKnownFolderPath(FOLDERID_Contacts);
    MakeFolder(contacts);
    EXPECT_FALSE(RemoveFolder(contacts));
    EXPECT_TRUE(FileExists(contacts));
}

TEST(OsVersion, BranchesFollowTheVersionSource) {
    {
        ScopedVersion windows98({VER_PLATFORM_WIN32_WINDOWS, 4, 10});
        EXPECT_FALSE(IsWindowsNT());
        EXPECT_FALSE(IsWindowsMe());
    }
    {
        ScopedVersion me({VER_PLATFORM_WIN32_WINDOWS, 4, 90});
        EXPECT_TRUE(IsWindowsMe());
    }
    {
        ScopedVersion windows2000({VER_PLATFORM_WIN32_NT, 5, 0});
        EXPECT_TRUE(IsWindowsNT() && IsWindows2000() && !IsWindowsXP());
    }
    {
        ScopedVersion xp({VER_PLATFORM_WIN32_NT, 5, 1});
        EXPECT_TRUE(IsWindowsXP() && !IsWindows2000());
    }
    EXPECT_TRUE(IsWindowsNT());  // Wine reports an NT version
}

}  // namespace
