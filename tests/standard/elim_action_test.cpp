// The table-driven engine against Wine's real registry and files: what a
// scan records for each kind of entry, and what the clean then removes.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlwapi.h>

#include <algorithm>

#include "probe_plugin.h"
#include "standard/registry_place.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

using Engine = CElimAction;

const wchar_t kProbe[] = L"StdProbeEngine";

std::wstring Shown(const ScopedTestKey& key, const std::wstring& rest = L"") {
    return L"HKEY_CURRENT_USER\\" + key.Path() + (rest.empty() ? L"" : L"\\" + rest);
}

// A folder at the root of the drive, where a path whose macro came out empty points.
struct DriveRootFolder {
    explicit DriveRootFolder(std::wstring folder) : path(std::move(folder)) { RemoveTree(path); }
    ~DriveRootFolder() { RemoveTree(path); }
    std::wstring path;
};

class EngineTest : public testing::Test {
protected:
    BareKernel bare{{kProbe}};
    ProbePlugin plugin{bare.kernel, kProbe, CStandartPlugin::kRegKeysValues};
    Engine& engine = plugin.Engine();
};

TEST_F(EngineTest, KeyTreeRecordsTheKeyItsSubKeysThenItsValues) {
    ScopedTestKey key(L"EngineTree");
    SetString(key.Root(), key.Path(), L"v1", L"one");
    SetString(key.Root(), key.Path(), L"v2", L"two");
    SetString(key.Root(), key.Sub(L"child"), L"a", L"1");
    SetString(key.Root(), key.Sub(L"child"), L"b", L"2");
    SetString(key.Root(), key.Sub(L"child\\deeper"), L"c", L"3");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kKeyTree);

    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& found = engine.regEntries[0].found;
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].name, Shown(key) + L"\\");
    EXPECT_EQ(found[0].regPath, Shown(key) + L"\\");
    EXPECT_EQ(found[0].regName, L"");
    EXPECT_FALSE(found[0].isKey);
    EXPECT_EQ(found[0].subitemsFound, 1u);
    EXPECT_EQ(found[1].name, Shown(key, L"child"));
    EXPECT_EQ(found[1].regName, L"child");
    EXPECT_TRUE(found[1].isKey);
    EXPECT_EQ(found[1].subitemsFound, 4u);  // a, b, deeper and c
    EXPECT_EQ(found[2].name, Shown(key, L"v1"));
    EXPECT_EQ(found[3].regName, L"v2");
    EXPECT_EQ(plugin.GetScanSummary().items, 1u + 5u + 1u + 1u);

    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_TRUE(plugin.Errors().empty());
    EXPECT_FALSE(KeyExists(key.Root(), key.Path()));
    for (const auto& record : found) EXPECT_EQ(record.status, Engine::kRemoved) << record.name;
    EXPECT_EQ(found[1].subitemsRemoved, 4u);
}

// A sub-key removed by someone else between the scan and the clean was not
// removed by the clean: its row says "Already gone".
TEST_F(EngineTest, ASubKeyGoneBeforeTheCleanIsAlreadyGoneNotRemoved) {
    ScopedTestKey key(L"EngineSubKeyGone");
    SetString(key.Root(), key.Sub(L"left"), L"a", L"1");
    SetString(key.Root(), key.Sub(L"taken"), L"b", L"2");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kKeyTree);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    ASSERT_EQ(RegDeleteTreeW(key.Root(), key.Sub(L"taken").c_str()), ERROR_SUCCESS);
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    const auto& found = engine.regEntries[0].found;
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[1].status, Engine::kRemoved);
    EXPECT_EQ(found[2].status, Engine::kGone);
    EXPECT_EQ(plugin.GetCleanSummary().removed, 2u);  // the key and "left"
    EXPECT_FALSE(KeyExists(key.Root(), key.Path()));
}

TEST_F(EngineTest, KeyTreeShowsTheUnnamedValueAsDefault) {
    ScopedTestKey key(L"EngineDefault");
    SetString(key.Root(), key.Path(), L"", L"the default");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kKeyTree);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& found = engine.regEntries[0].found;
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1].name, Shown(key) + L"\\(default)");
    EXPECT_EQ(found[1].regName, L"");
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_FALSE(KeyExists(key.Root(), key.Path()));
}

TEST_F(EngineTest, KeyThatGainedASubKeySinceTheScanStaysAndFails) {
    ScopedTestKey key(L"EngineGained");
    SetString(key.Root(), key.Path(), L"old", L"x");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kKeyTree);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    SetString(key.Root(), key.Sub(L"new"), L"y", L"z");
    // A clean that leaves a row it showed is not done.
    ASSERT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);
    const auto& found = engine.regEntries[0].found;
    EXPECT_EQ(found[1].status, Engine::kRemoved);
    EXPECT_EQ(found[0].status, Engine::kFailed);
    // The key itself is handled last, so its error is the last one and it knows it.
    ASSERT_EQ(plugin.Errors().size(), 1u);
    EXPECT_EQ(found[0].errorNumber, 1u);
    EXPECT_EQ(plugin.Errors()[0].GetKind(), ItemError::kRegValue);
    EXPECT_TRUE(ValueExists(key.Root(), key.Sub(L"new"), L"y"));
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"old"));
}

TEST_F(EngineTest, SingleValuesWithTheirData) {
    ScopedTestKey key(L"EngineSingle");
    SetString(key.Root(), key.Path(), L"text", L"C:\\Photos");
    BYTE bytes[] = {1, 2, 3};
    SetBinary(key.Root(), key.Path(), L"bin", bytes, sizeof(bytes));
    SetDword(key.Root(), key.Path(), L"number", 5);
    // More than the 4096 bytes a first look reads: still found, still removed.
    SetString(key.Root(), key.Path(), L"long", std::wstring(5000, L'x'));
    SetString(key.Root(), key.Path(), L"keep", L"not described");
    for (const wchar_t* name : {L"text", L"bin", L"number", L"missing", L"long"})
        plugin.AddRegEntry(key.Root(), key.Path(), Engine::kSingleValue, name);
    plugin.AddRegEntry(key.Root(), key.Sub(L"NoSuchKey"), Engine::kSingleValue, L"text");
    plugin.SetValueFlags({.showData = true});

    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& entries = engine.regEntries;
    ASSERT_EQ(entries[0].found.size(), 1u);
    EXPECT_EQ(entries[0].found[0].name, Shown(key, L"text"));
    EXPECT_EQ(entries[0].found[0].regPath, Shown(key) + L"\\");
    EXPECT_EQ(entries[0].found[0].valueData, L"C:\\Photos");
    EXPECT_EQ(entries[1].found[0].valueData, L"#BINARY DATA#");
    EXPECT_EQ(entries[2].found[0].valueData, L"#UNSUPPORTED FORMAT DATA#");
    EXPECT_TRUE(entries[3].absent);
    EXPECT_TRUE(entries[3].found.empty());
    EXPECT_EQ(entries[4].found[0].valueData, std::wstring(5000, L'x'));
    EXPECT_TRUE(entries[5].absent);

    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    for (const wchar_t* name : {L"text", L"bin", L"number", L"long"})
        EXPECT_FALSE(ValueExists(key.Root(), key.Path(), name)) << name;
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"keep"));
    EXPECT_TRUE(plugin.Errors().empty());
}

TEST_F(EngineTest, AllValuesLeavesSubKeysAndHidesDataUnlessAsked) {
    ScopedTestKey key(L"EngineAll");
    SetString(key.Root(), key.Path(), L"a", L"notepad\\1");
    SetString(key.Root(), key.Path(), L"MRUList", L"a");
    SetString(key.Root(), key.Sub(L"sub"), L"kept", L"1");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kAllValues);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& found = engine.regEntries[0].found;
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].valueData, L"");
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"a"));
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"MRUList"));
    EXPECT_TRUE(ValueExists(key.Root(), key.Sub(L"sub"), L"kept"));
}

class MatchByData : public EngineTest {
protected:
    void SetUp() override {
        for (int i = 1; i <= 3; ++i) Set(i, L"http://site" + std::to_wstring(i) + L".example/");
        plugin.AddRegEntry(key.Root(), key.Path(), Engine::kAllValues);
        plugin.SetValueFlags({.showData = true, .matchByData = true});
        ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    }
    void Set(int number, const std::wstring& address) {
        SetString(key.Root(), key.Path(), L"url" + std::to_wstring(number), address);
    }
    std::wstring Get(int number) {
        std::wstring data;
        GetString(key.Root(), key.Path(), L"url" + std::to_wstring(number), data);
        return data;
    }
    ScopedTestKey key{L"EngineMatch"};
};

TEST_F(MatchByData, RenumberedAddressesAreFoundByTheirData) {
    // The browser put a new address first and moved the others down.
    Set(4, L"http://site3.example/");
    Set(3, L"http://site2.example/");
    Set(2, L"http://site1.example/");
    Set(1, L"http://new.example/");
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_EQ(Get(1), L"http://new.example/");
    for (int i = 2; i <= 4; ++i)
        EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"url" + std::to_wstring(i)));
    for (const auto& record : engine.regEntries[0].found)
        EXPECT_EQ(record.status, Engine::kRemoved);
}

TEST_F(MatchByData, AnAddressGoneSinceTheScanIsGoneAndItsNameKeepsTheNewOne) {
    SHDeleteValueW(key.Root(), key.Path().c_str(), L"url1");
    Set(1, L"http://other.example/");
    SHDeleteValueW(key.Root(), key.Path().c_str(), L"url2");
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_EQ(Get(1), L"http://other.example/");
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"url3"));
    const auto& found = engine.regEntries[0].found;
    EXPECT_EQ(found[0].status, Engine::kGone);
    EXPECT_EQ(found[1].status, Engine::kGone);
    EXPECT_EQ(found[2].status, Engine::kRemoved);
    EXPECT_TRUE(plugin.Errors().empty());
}

// A value is the item the scan listed only while it holds the type and data
// the scan read: written again since (other text, other bytes of the same
// size, the same bytes as another type), it stays and its row fails, in a
// list, as a single value and among a whole key's values (the key then stays).
TEST_F(EngineTest, AValueWrittenAgainSinceTheScanStaysAndFails) {
    ScopedTestKey key(L"EngineRewritten");
    const std::wstring list = key.Sub(L"RunMRU");
    const std::wstring tree = key.Sub(L"Tree");
    SetString(key.Root(), list, L"a", L"notepad\\1");
    SetString(key.Root(), list, L"b", L"calc\\1");
    const BYTE bytes[] = {1, 2, 3};
    SetBinary(key.Root(), list, L"c", bytes, sizeof(bytes));
    SetString(key.Root(), key.Path(), L"LastKey", L"HKEY_CURRENT_USER");
    SetString(key.Root(), tree, L"v", L"old");
    plugin.AddRegEntry(key.Root(), list, Engine::kAllValues);
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kSingleValue, L"LastKey");
    plugin.AddRegEntry(key.Root(), tree, Engine::kKeyTree);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);

    SetString(key.Root(), list, L"a", L"C:\\Changed after the scan.txt");
    const BYTE other[] = {1, 2, 4};
    SetBinary(key.Root(), list, L"c", other, sizeof(other));
    SetString(key.Root(), list, L"d", L"added after the scan");
    const std::wstring same = L"HKEY_CURRENT_USER";
    ASSERT_EQ(RegSetKeyValueW(key.Root(), key.Path().c_str(), L"LastKey", REG_EXPAND_SZ,
                              same.c_str(), static_cast<DWORD>((same.size() + 1) * 2)),
              ERROR_SUCCESS);
    SetString(key.Root(), tree, L"v", L"new");

    ASSERT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);
    for (const wchar_t* name : {L"a", L"c", L"d"})
        EXPECT_TRUE(ValueExists(key.Root(), list, name)) << ToUtf8(name);
    EXPECT_FALSE(ValueExists(key.Root(), list, L"b"));
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"LastKey"));
    EXPECT_TRUE(ValueExists(key.Root(), tree, L"v"));
    const auto& entries = engine.regEntries;
    for (const auto* record : {&entries[0].found[0], &entries[0].found[2], &entries[1].found[0],
                               &entries[2].found[1], &entries[2].found[0]}) {
        SCOPED_TRACE(ToUtf8(record->name));
        ASSERT_EQ(record->status, Engine::kFailed);
        ASSERT_GT(record->errorNumber, 0u);
        EXPECT_EQ(plugin.Errors()[record->errorNumber - 1].GetReason().rfind(kChangedSinceScan, 0),
                  0u);
    }
    EXPECT_EQ(entries[0].found[1].status, Engine::kRemoved);
}

TEST_F(EngineTest, FolderFilesMatchTheMasksInTheirOrder) {
    ScopedTestFolder folder(L"EngineMasks");
    WriteTestFile(folder.Sub(L"b.AUT"), "12");
    WriteTestFile(folder.Sub(L"a.ARL"), "123");
    WriteTestFile(folder.Sub(L"notes.txt"), "x");
    WriteTestFile(folder.Sub(L"old\\c.ARL"), "x");
    plugin.AddFileEntry(folder.Path(), Engine::kFolderFiles, L"*.ARL|*.AUT");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& found = engine.fileEntries[0].found;
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, folder.Sub(L"a.ARL"));
    EXPECT_EQ(found[0].size, 3u);
    EXPECT_EQ(found[1].name, folder.Sub(L"b.AUT"));
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_FALSE(FileExists(folder.Sub(L"a.ARL")));
    EXPECT_FALSE(FileExists(folder.Sub(L"b.AUT")));
    EXPECT_TRUE(FileExists(folder.Sub(L"notes.txt")));
    EXPECT_TRUE(FileExists(folder.Sub(L"old\\c.ARL")));
}

TEST_F(EngineTest, FolderTreeRecordsSubFoldersThenFilesAndKeepsTheFolder) {
    ScopedTestFolder folder(L"EngineTree");
    WriteTestFile(folder.Sub(L"sub\\one.tmp"), std::string(1000, 'a'));
    WriteTestFile(folder.Sub(L"sub\\deeper\\two.tmp"), std::string(500, 'b'));
    WriteTestFile(folder.Sub(L"top.tmp"), std::string(20, 'c'));
    SetFileAttributesW(folder.Sub(L"top.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
    plugin.AddFileEntry(folder.Path(), Engine::kFolderTree, L"*.*");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& found = engine.fileEntries[0].found;
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, folder.Sub(L"sub"));
    EXPECT_TRUE(found[0].isFolder);
    EXPECT_EQ(found[0].subitemsFound, 3u);  // one.tmp, deeper, two.tmp
    EXPECT_EQ(found[0].size, 1500u);
    EXPECT_EQ(found[1].name, folder.Sub(L"top.tmp"));
    EXPECT_EQ(plugin.GetScanSummary().items, 4u + 1u);
    EXPECT_EQ(plugin.GetScanSummary().bytes, 1520u);

    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_EQ(found[0].status, Engine::kRemoved);
    EXPECT_EQ(found[0].subitemsRemoved, 3u);
    EXPECT_EQ(found[0].removedSize, 1500u);
    EXPECT_EQ(found[1].status, Engine::kRemoved);
    EXPECT_FALSE(FileExists(folder.Sub(L"sub")));
    EXPECT_FALSE(FileExists(folder.Sub(L"top.tmp")));
    EXPECT_TRUE(FileExists(folder.Path()));
}

TEST_F(EngineTest, RowsTheUserUntickedStayAndTheirFoldersWithThem) {
    ScopedTestFolder folder(L"EngineKeptByYou");
    WriteTestFile(folder.Sub(L"sub\\kept.tmp"), "kept");
    WriteTestFile(folder.Sub(L"sub\\gone.tmp"), "gone");
    WriteTestFile(folder.Sub(L"kept.log"), "kept");
    WriteTestFile(folder.Sub(L"gone.log"), "gone");
    plugin.AddFileEntry(folder.Path(), Engine::kFolderTree, L"*.*");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& found = engine.fileEntries[0].found;
    ASSERT_EQ(found.size(), 3u);  // sub, gone.log, kept.log
    const std::wstring keptKey = ItemKey(FileItemRef(folder.Sub(L"kept.log")));
    EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                            [&](const auto& record) { return record.itemKey == keptKey; }));
    bare.kernel.SetKeptByYou(
        {keptKey, ItemKey(FileItemRef(found[0].identity.path + L"\\kept.tmp"))});

    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_TRUE(FileExists(folder.Sub(L"kept.log")));
    EXPECT_TRUE(FileExists(folder.Sub(L"sub\\kept.tmp")));
    EXPECT_FALSE(FileExists(folder.Sub(L"gone.log")));
    EXPECT_FALSE(FileExists(folder.Sub(L"sub\\gone.tmp")));
    EXPECT_EQ(found[0].status, Engine::kKept);  // it holds a kept file
    EXPECT_EQ(plugin.GetKeptCount(), 2u);
    bare.kernel.SetKeptByYou({});
}

// A key tree's rows: the key's own, each sub-key and each value. The key's
// own row unticked keeps the key once what it held is gone; an unticked
// value keeps its key too.
TEST_F(EngineTest, UntickedRowsOfAKeyTreeStay) {
    ScopedTestKey key(L"EngineKeyTreeKept");
    SetString(key.Root(), key.Path(), L"v1", L"one");
    SetString(key.Root(), key.Path(), L"v2", L"two");
    SetString(key.Root(), key.Sub(L"child"), L"a", L"1");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kKeyTree);
    const auto& found = engine.regEntries[0].found;

    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    bare.kernel.SetKeptByYou({ItemKey(RegKeyItemRef(key.Root(), key.Path()))});
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_TRUE(KeyExists(key.Root(), key.Path()));
    EXPECT_EQ(found[0].status, Engine::kKept);
    EXPECT_FALSE(KeyExists(key.Root(), key.Sub(L"child")));
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"v1"));

    SetString(key.Root(), key.Path(), L"v1", L"one");
    SetString(key.Root(), key.Path(), L"v2", L"two");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    bare.kernel.SetKeptByYou({ItemKey(RegValueItemRef(key.Root(), key.Path(), L"v2"))});
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"v2"));
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"v1"));
    EXPECT_EQ(found[0].status, Engine::kKept);
    bare.kernel.SetKeptByYou({});
}

TEST_F(EngineTest, FolderTreeWithOverwritingStillRemovesTheFolders) {
    ScopedTestFolder folder(L"EngineWipe");
    WriteTestFile(folder.Sub(L"sub\\one.tmp"), std::string(70000, 'a'));
    WriteTestFile(folder.Sub(L"empty.tmp"), "");
    plugin.wipe = true;
    plugin.AddFileEntry(folder.Path(), Engine::kFolderTree, L"*.*");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_FALSE(FileExists(folder.Sub(L"sub")));
    EXPECT_FALSE(FileExists(folder.Sub(L"empty.tmp")));
    EXPECT_TRUE(plugin.Errors().empty());
    EXPECT_EQ(plugin.reboots, 0);
}

TEST_F(EngineTest, SingleFileAndAFolderInItsPlace) {
    ScopedTestFolder folder(L"EngineSingleFile");
    WriteTestFile(folder.Sub(L"cookies4.dat"), "12345");
    MakeFolder(folder.Sub(L"global.dat"));
    plugin.AddFileEntry(folder.Sub(L"cookies4.dat"), Engine::kSingleFile, L"*.*");
    plugin.AddFileEntry(folder.Sub(L"global.dat"), Engine::kSingleFile, L"*.*");
    plugin.AddFileEntry(folder.Sub(L"opera.dir"), Engine::kSingleFile, L"*.*");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& entries = engine.fileEntries;
    ASSERT_EQ(entries[0].found.size(), 1u);
    EXPECT_EQ(entries[0].found[0].size, 5u);
    EXPECT_TRUE(entries[1].absent);
    EXPECT_TRUE(entries[2].absent);
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_FALSE(FileExists(folder.Sub(L"cookies4.dat")));
    EXPECT_TRUE(FileExists(folder.Sub(L"global.dat")));
}

// An application that is not installed leaves its macro empty; what is left
// of the path would name a folder at the drive root that is not its own.
TEST_F(EngineTest, EntryWithAnEmptyMacroIsAbsentAndTouchesNothing) {
    const std::wstring appPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    RegistryPlace aol(HKEY_LOCAL_MACHINE, appPaths + L"Aol.exe", {L"Path"});
    RegistryPlace opera(HKEY_LOCAL_MACHINE, appPaths + L"Opera.exe", {L"Path"});
    SHDeleteValueW(HKEY_LOCAL_MACHINE, aol.Key().c_str(), L"Path");
    SHDeleteValueW(HKEY_LOCAL_MACHINE, opera.Key().c_str(), L"Path");
    DriveRootFolder unrelated(L"C:\\organize");
    DriveRootFolder cache(L"C:\\Cache4");
    WriteTestFile(L"C:\\organize\\Someone.ARL", "not AOL's");
    WriteTestFile(L"C:\\Cache4\\page.tmp", "not Opera's");
    WriteTestFile(L"C:\\cookies4.dat", "not Opera's");
    plugin.AddFileEntry(L"[PATH_APP_AOL_ROOT]\\organize", Engine::kFolderFiles, L"*.ARL|*.AUT");
    plugin.AddFileEntry(L"[PATH_APP_OPERA6_CACHE]", Engine::kFolderFiles, L"*.*");
    plugin.AddFileEntry(L"[PATH_APP_OPERA_ROOT]\\cookies4.dat", Engine::kSingleFile, L"*.*");

    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    for (const auto& entry : engine.fileEntries) {
        EXPECT_TRUE(entry.absent) << entry.path;
        EXPECT_TRUE(entry.found.empty()) << entry.path;
    }
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_TRUE(FileExists(L"C:\\organize\\Someone.ARL"));
    EXPECT_TRUE(FileExists(L"C:\\Cache4\\page.tmp"));
    EXPECT_TRUE(FileExists(L"C:\\cookies4.dat"));
    DeleteFileW(L"C:\\cookies4.dat");
}

TEST_F(EngineTest, MissingTemporaryFolderFindsNothing) {
    wchar_t tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", L"C:\\VeltraneTests\\NoSuchTemp");
    SetEnvironmentVariableW(L"TEMP", L"C:\\VeltraneTests\\NoSuchTemp");
    plugin.AddFileEntry(L"[PATH_SYS_TEMP]", Engine::kFolderTree, L"*.*");
    int result = plugin.Scan();
    SetEnvironmentVariableW(L"TMP", tmp);
    SetEnvironmentVariableW(L"TEMP", temp);
    EXPECT_EQ(result, CPlugin::kDone);
    EXPECT_TRUE(engine.fileEntries[0].found.empty());
    EXPECT_TRUE(plugin.Errors().empty());
}

TEST_F(EngineTest, ProtectedFoldersShowOneFailedRowAndKeepEverything) {
    wchar_t tmp[MAX_PATH] = {}, temp[MAX_PATH] = {}, profile[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    const std::wstring canary = std::wstring(profile) + L"\\engine-canary.txt";
    WriteTestFile(canary, "mine");
    // Without TEMP and TMP the temporary folder is the profile itself.
    SetEnvironmentVariableW(L"TMP", nullptr);
    SetEnvironmentVariableW(L"TEMP", nullptr);
    plugin.wipe = true;
    plugin.AddFileEntry(L"[PATH_SYS_TEMP]", Engine::kFolderTree, L"*.*");
    plugin.AddFileEntry(L"%WinDir%\\", Engine::kFolderFiles, L"*.*");
    plugin.AddFileEntry(L"C:\\", Engine::kFolderTree, L"*.*");
    int scanned = plugin.Scan();
    int cleaned = plugin.Fix();
    SetEnvironmentVariableW(L"TMP", tmp);
    SetEnvironmentVariableW(L"TEMP", temp);
    ASSERT_EQ(scanned, CPlugin::kDone);
    EXPECT_EQ(cleaned, CPlugin::kDoneWithFailures);  // refused rows are not done

    EXPECT_EQ(ReadTestFile(canary), "mine");
    DeleteFileW(canary.c_str());
    ASSERT_EQ(plugin.Errors().size(), 3u);
    for (size_t i = 0; i < engine.fileEntries.size(); ++i) {
        const auto& found = engine.fileEntries[i].found;
        ASSERT_EQ(found.size(), 1u) << ToUtf8(engine.fileEntries[i].path);
        EXPECT_TRUE(found[0].isFolder);
        EXPECT_EQ(found[0].subitemsFound, 0u);
        EXPECT_EQ(found[0].status, Engine::kFailed);
        EXPECT_EQ(found[0].errorNumber, i + 1);
        EXPECT_NE(plugin.Errors()[i].GetReason().find(L"protected"), std::wstring::npos)
            << ToUtf8(plugin.Errors()[i].GetReason());
    }
    EXPECT_NE(plugin.Errors()[0].GetReason().find(L"TEMP and TMP"), std::wstring::npos);
    EXPECT_NE(plugin.Errors()[0].GetTitle().find(L"delete folder"), std::wstring::npos);
}

TEST_F(EngineTest, LockedFileIsDeferredToTheNextStart) {
    ScopedTestFolder folder(L"EngineLocked");
    WriteTestFile(folder.Sub(L"held.tmp"), "busy");
    WriteTestFile(folder.Sub(L"free.tmp"), "idle");
    plugin.AddFileEntry(folder.Path(), Engine::kFolderFiles, L"*.tmp");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    {
        UniqueHandle held = HoldOpen(folder.Sub(L"held.tmp"));
        ASSERT_TRUE(held);
        ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    }
    const auto& found = engine.fileEntries[0].found;
    ASSERT_EQ(found.size(), 2u);
    const auto& held = found[0].name == folder.Sub(L"held.tmp") ? found[0] : found[1];
    const auto& free = &held == &found[0] ? found[1] : found[0];
    EXPECT_EQ(held.status, Engine::kDeferred);
    EXPECT_EQ(held.errorNumber, 1u);
    EXPECT_EQ(free.status, Engine::kRemoved);
    EXPECT_FALSE(FileExists(folder.Sub(L"free.tmp")));
    ASSERT_EQ(plugin.Errors().size(), 1u);
    EXPECT_EQ(plugin.Errors()[0].GetKind(), ItemError::kFile);
    EXPECT_TRUE(plugin.Errors()[0].IsReboot());
    EXPECT_EQ(plugin.Errors()[0].GetCode(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_GE(plugin.reboots, 1);
    EXPECT_TRUE(bare.kernel.IsRebootNeeded());
}

TEST_F(EngineTest, FolderWithADeferredFileFailsWithTheRebootReason) {
    ScopedTestFolder folder(L"EngineLockedTree");
    WriteTestFile(folder.Sub(L"sub\\held.tmp"), "busy");
    plugin.AddFileEntry(folder.Path(), Engine::kFolderTree, L"*.*");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    {
        UniqueHandle held = HoldOpen(folder.Sub(L"sub\\held.tmp"));
        ASSERT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);
    }
    const auto& record = engine.fileEntries[0].found[0];
    EXPECT_EQ(record.status, Engine::kFailed);
    ASSERT_EQ(plugin.Errors().size(), 1u);
    EXPECT_EQ(plugin.Errors()[0].GetKind(), ItemError::kFolder);
    EXPECT_EQ(plugin.Errors()[0].GetReasonType(), ItemError::kFolderKeptForReboot);
    EXPECT_EQ(record.subitemsRemoved, 1u);  // deferred counts as handled
}

// The variables name a folder inside the user's Documents: nothing in it goes.
TEST_F(EngineTest, TemporaryFolderInsideDocumentsKeepsTheThesis) {
    const std::wstring work = GetKnownFolderPath(FOLDERID_Documents) + L"\\VeltraneWork";
    WriteTestFile(work + L"\\thesis.docx", "the user's words");
    wchar_t tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", work.c_str());
    SetEnvironmentVariableW(L"TEMP", work.c_str());
    plugin.AddFileEntry(L"[PATH_SYS_TEMP]", Engine::kFolderTree, L"*.*");
    const int scanned = plugin.Scan();
    const int cleaned = plugin.Fix();
    SetEnvironmentVariableW(L"TMP", tmp);
    SetEnvironmentVariableW(L"TEMP", temp);
    EXPECT_EQ(scanned, CPlugin::kDone);
    EXPECT_EQ(cleaned, CPlugin::kDoneWithFailures);
    EXPECT_EQ(ReadTestFile(work + L"\\thesis.docx"), "the user's words");
    ASSERT_EQ(plugin.Errors().size(), 1u);
    EXPECT_NE(plugin.Errors()[0].GetReason().find(L"TEMP and TMP"), std::wstring::npos);
    EXPECT_NE(plugin.Errors()[0].GetReason().find(L"Documents"), std::wstring::npos);
    RemoveTree(work);
    RemoveDirectoryW(work.c_str());
}

// A Linux file link in the temporary folder: Wine lists it as a plain file
// and opens what it leads to. Neither the listing nor the named file reaches it.
TEST_F(EngineTest, AFileLinkNeverReachesTheFileItLeadsTo) {
    ScopedTestFolder temp(L"EngineFileLink");
    ScopedTestFolder user(L"EngineFileLinkTarget");
    const std::wstring thesis = user.Sub(L"thesis.docx");
    WriteTestFile(thesis, "the user's words");
    ASSERT_TRUE(MakeFileLink(temp.Sub(L"thesis.tmp"), thesis));
    plugin.wipe = true;
    plugin.AddFileEntry(temp.Path(), Engine::kFolderTree, L"*.*");
    plugin.AddFileEntry(temp.Sub(L"thesis.tmp"), Engine::kSingleFile, L"*.*");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    {
        // Its program has the thesis open, sharing it.
        UniqueHandle holder = HoldOpen(thesis, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);
    }
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    EXPECT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);
    RemoveFolderLink(temp.Sub(L"thesis.tmp"));
    EXPECT_EQ(ReadTestFile(thesis), "the user's words");
    for (const auto& entry : engine.fileEntries) {
        ASSERT_EQ(entry.found.size(), 1u);
        EXPECT_EQ(entry.found[0].status, Engine::kFailed);
    }
    EXPECT_EQ(plugin.reboots, 0);
}

// Between the scan and the clean the machine changes: listed files are
// replaced, a listed folder becomes a link to the user's files, files come
// and go. Only what the scan listed, still as it was, goes.
class ScanThenChange : public EngineTest {
protected:
    void SetUp() override {
        for (const wchar_t* name : {L"a.tmp", L"b.tmp", L"c.tmp", L"logs\\old.log",
                                    L"cache\\page.tmp", L"build\\obj\\x.o"})
            WriteTestFile(temp.Sub(name), "1234");
        WriteTestFile(temp.Sub(L"gone.tmp"), "12345678");
        WriteTestFile(user.Sub(L"thesis.docx"), "the user's words");
        WriteTestFile(user.Sub(L"obj\\x.o"), "the user's build");
        plugin.wipe = true;
        plugin.AddFileEntry(temp.Path(), Engine::kFolderTree, L"*.*");
        ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    }
    void TearDown() override { RemoveFolderLink(temp.Sub(L"build")); }

    const Engine::SFileRecord& Row(const wchar_t* name) const {
        for (const auto& record : engine.fileEntries[0].found)
            if (record.name == temp.Sub(name)) return record;
        ADD_FAILURE() << "no row " << ToUtf8(name);
        return engine.fileEntries[0].found.front();
    }
    std::wstring Reason(const wchar_t* name) {
        const auto& record = Row(name);
        return record.errorNumber == 0 ? L"" : plugin.Errors()[record.errorNumber - 1].GetReason();
    }

    ScopedTestFolder temp{L"EngineScanThenChange"};
    ScopedTestFolder user{L"EngineUsersFiles"};
};

TEST_F(ScanThenChange, OnlyWhatTheScanListedGoes) {
    DeleteFileW(temp.Sub(L"a.tmp").c_str());
    WriteTestFile(temp.Sub(L"a.tmp"), "new!");  // another file, of the same size
    DeleteFileW(temp.Sub(L"b.tmp").c_str());
    ASSERT_TRUE(
        CreateHardLinkW(temp.Sub(L"b.tmp").c_str(), user.Sub(L"thesis.docx").c_str(), nullptr));
    DeleteFileW(temp.Sub(L"gone.tmp").c_str());
    WriteTestFile(temp.Sub(L"cache\\new.tmp"), "n");
    WriteTestFile(temp.Sub(L"late.tmp"), "late");
    RemoveTree(temp.Sub(L"build"));
    ASSERT_TRUE(MakeFolderLink(temp.Sub(L"build"), user.Path()));

    EXPECT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);
    EXPECT_EQ(ReadTestFile(temp.Sub(L"a.tmp")), "new!");
    EXPECT_EQ(ReadTestFile(user.Sub(L"thesis.docx")), "the user's words");
    EXPECT_EQ(ReadTestFile(user.Sub(L"obj\\x.o")), "the user's build");
    EXPECT_EQ(ReadTestFile(temp.Sub(L"cache\\new.tmp")), "n");
    EXPECT_EQ(ReadTestFile(temp.Sub(L"late.tmp")), "late");
    EXPECT_FALSE(FileExists(temp.Sub(L"c.tmp")));
    EXPECT_FALSE(FileExists(temp.Sub(L"logs")));

    for (const wchar_t* changed : {L"a.tmp", L"b.tmp", L"cache", L"build"}) {
        SCOPED_TRACE(ToUtf8(changed));
        EXPECT_EQ(Row(changed).status, Engine::kFailed);
        EXPECT_EQ(Reason(changed).rfind(kChangedSinceScan, 0), 0u) << ToUtf8(Reason(changed));
    }
    EXPECT_NE(Reason(L"cache").find(L"did not list"), std::wstring::npos);
    EXPECT_NE(Reason(L"build").find(L"link"), std::wstring::npos);
    EXPECT_EQ(Row(L"c.tmp").status, Engine::kRemoved);
    EXPECT_EQ(Row(L"c.tmp").removedSize, 4u);
    EXPECT_EQ(Row(L"logs").status, Engine::kRemoved);
    EXPECT_EQ(Row(L"logs").removedSize, 4u);
    // Gone before the clean: not removed by it, and nothing freed.
    EXPECT_EQ(Row(L"gone.tmp").status, Engine::kGone);
    EXPECT_EQ(Row(L"gone.tmp").removedSize, 0u);
}

TEST_F(EngineTest, CancelEndsScanAndCleanKeepingWhatWasDone) {
    ScopedTestKey key(L"EngineCancel");
    for (const wchar_t* name : {L"a", L"b", L"c"}) SetString(key.Root(), key.Path(), name, L"x");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kAllValues);

    plugin.cancelAfter = 0;
    EXPECT_EQ(plugin.Scan(), CPlugin::kCancelled);

    plugin.cancelAfter = -1;
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    // Entry check and first item pass; the second item sees the cancel.
    plugin.cancelChecks = 0;
    plugin.cancelAfter = 2;
    EXPECT_EQ(plugin.Fix(), CPlugin::kCancelled);
    const auto& found = engine.regEntries[0].found;
    EXPECT_EQ(found[0].status, Engine::kRemoved);
    EXPECT_EQ(found[1].status, Engine::kFound);
    EXPECT_EQ(found[2].status, Engine::kFound);
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"a"));
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"b"));
}

TEST_F(EngineTest, EveryScanStartsAfreshAndACleanWithoutScanDoesNothing) {
    ScopedTestKey key(L"EngineAfresh");
    SetString(key.Root(), key.Path(), L"a", L"x");
    plugin.AddRegEntry(key.Root(), key.Path(), Engine::kAllValues);
    ASSERT_EQ(plugin.Fix(), CPlugin::kDone);
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"a"));
    plugin.Errors().emplace_back(L"old", L"error");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    EXPECT_EQ(engine.regEntries[0].found.size(), 1u);
    EXPECT_TRUE(plugin.Errors().empty());
}

// Registry links in the lists the engine walks: each shows as one row that
// the clean fails with its reason, and the key it points to, with its values
// and sub-keys, comes through the clean whole.
class EngineLinks : public EngineTest {
protected:
    void SetUp() override {
        SetString(key.Root(), Target(), L"setting", L"another program's");
        SetString(key.Root(), Target() + L"\\inner", L"deep", L"kept");
    }
    std::wstring Target() const { return key.Sub(L"Target"); }
    void ExpectTargetIntact() const {
        EXPECT_TRUE(ValueExists(key.Root(), Target(), L"setting"));
        EXPECT_TRUE(ValueExists(key.Root(), Target() + L"\\inner", L"deep"));
    }
    std::wstring ReasonOf(const Engine::SRegRecord& record) {
        if (record.errorNumber == 0 || record.errorNumber > plugin.Errors().size()) return {};
        return plugin.Errors()[record.errorNumber - 1].GetReason();
    }

    ScopedTestKey key{L"EngineLinks"};
};

TEST_F(EngineLinks, AListThatIsALinkIsOneRowTheCleanLeaves) {
    const std::wstring list = key.Sub(L"List");
    ASSERT_TRUE(MakeRegLink(key.Root(), list, Target()));
    plugin.AddRegEntry(key.Root(), list, Engine::kAllValues);
    plugin.AddRegEntry(key.Root(), list, Engine::kKeyTree);
    plugin.AddRegEntry(key.Root(), list, Engine::kSingleValue, L"setting");
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    for (const auto& entry : engine.regEntries) {
        ASSERT_EQ(entry.found.size(), 1u);
        EXPECT_TRUE(entry.found[0].isKey);
        EXPECT_EQ(entry.found[0].name, Shown(key, L"List") + L"\\");
    }

    ASSERT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);  // the link rows stayed
    ASSERT_EQ(plugin.Errors().size(), 3u);
    for (const auto& entry : engine.regEntries) {
        EXPECT_EQ(entry.found[0].status, Engine::kFailed);
        EXPECT_EQ(ReasonOf(entry.found[0]), kRegistryLinkLeft);
    }
    ExpectTargetIntact();
}

TEST_F(EngineLinks, ALinkAmongATreesSubKeysIsLeftAndKeepsItsParent) {
    const std::wstring list = key.Sub(L"Tree");
    SetString(key.Root(), list, L"trace", L"mine");
    SetString(key.Root(), list + L"\\old", L"trace", L"mine");
    ASSERT_TRUE(MakeRegLink(key.Root(), list + L"\\Link", Target()));
    plugin.AddRegEntry(key.Root(), list, Engine::kKeyTree);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    const auto& found = engine.regEntries[0].found;
    ASSERT_EQ(found.size(), 4u);  // the key, "Link", "old" and the value
    const auto link = std::ranges::find(found, L"Link", &Engine::SRegRecord::regName);
    ASSERT_NE(link, found.end());
    EXPECT_EQ(link->subitemsFound, 0u);  // nothing behind it is counted

    ASSERT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);  // the link rows stayed
    EXPECT_FALSE(KeyExists(key.Root(), list + L"\\old"));
    EXPECT_FALSE(ValueExists(key.Root(), list, L"trace"));
    EXPECT_EQ(ReasonOf(*link), kRegistryLinkLeft);
    EXPECT_EQ(ReasonOf(found[0]), kRegistryLinkInside);
    ExpectTargetIntact();
}

TEST_F(EngineLinks, APathThatLeadsThroughALinkSinceTheScanIsLeft) {
    // The scan lists Place\List; before the clean, Place becomes a link to
    // a key whose List holds values of the same names.
    SetString(key.Root(), key.Sub(L"Place\\List"), L"a", L"mine");
    SetString(key.Root(), key.Sub(L"Other\\List"), L"a", L"another program's");
    plugin.AddRegEntry(key.Root(), key.Sub(L"Place\\List"), Engine::kAllValues);
    ASSERT_EQ(plugin.Scan(), CPlugin::kDone);
    DeleteTree(key.Root(), key.Sub(L"Place"));
    ASSERT_TRUE(MakeRegLink(key.Root(), key.Sub(L"Place"), key.Sub(L"Other")));

    ASSERT_EQ(plugin.Fix(), CPlugin::kDoneWithFailures);  // the link rows stayed
    EXPECT_TRUE(ValueExists(key.Root(), key.Sub(L"Other\\List"), L"a"));
    const auto& record = engine.regEntries[0].found[0];
    EXPECT_EQ(record.status, Engine::kFailed);
    EXPECT_TRUE(StartsWith(ReasonOf(record), L"Changed since the scan: "))
        << ToUtf8(ReasonOf(record));
}

}  // namespace

}  // namespace veltrane
