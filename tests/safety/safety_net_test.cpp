// The whole-machine safety net: a clean of every plug-in, with overwriting
// on, may remove or change the traces the seeders wrote and nothing else.
//
// 1. Every seeder of tools/seedtraces (AllSeeders) writes its traces, and
//    notes where it put them (NoteTraceFile, NoteTraceFolderContent,
//    NoteTraceKey, NoteTraceValue in seedtraces/seed_util.h).
// 2. Beside and inside every folder a plug-in empties, the test plants what
//    a careless cleaner would destroy: a control file beside the folder, a
//    folder link inside it leading to a control folder elsewhere, and a hard
//    link inside it sharing its data with a control file elsewhere.
// 3. It takes a snapshot of every file (path, size, hash) and every registry
//    key and value of the sandbox, runs "veltrane.exe /clean" of every
//    plug-in through the unattended program, and takes the snapshot again.
// 4. Any removed or changed item that is not at or below a noted trace place
//    fails the test, as does a deletion left for the next start outside them.
//
// Joining: a new plug-in's seeder is added to AllSeeders and notes the
// places of its traces with the Note... functions. Nothing here changes.
#include <windows.h>

#include <gtest/gtest.h>
#include <knownfolders.h>

#include <nlohmann/json.hpp>
#include <set>

#include "safety/snapshot.h"
#include "seedtraces/seed_util.h"
#include "seedtraces/seeders.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace {

constexpr wchar_t kControlRoot[] = L"C:\\VeltraneSafetyNet";
constexpr wchar_t kOptionsKey[] = L"SOFTWARE\\Veltrane\\Options";

// Items that change on every run for reasons of their own, and why.
const wchar_t* const kVolatile[] = {
    // The program's own options and the ticks of its plug-ins, saved by every run.
    L"hkey_local_machine\\software\\veltrane",
    // Deletions left for the next start: checked one by one below.
    L"hkey_local_machine\\system\\currentcontrolset\\control\\session manager\t"
    L"pendingfilerenameoperations",
    // The program's record of them, checked at its next start.
    L"hkey_current_user\\software\\veltrane\\deferred",
};

bool IsAllowed(const std::wstring& name, const std::vector<TracePlace>& places) {
    for (const TracePlace& place : places)
        if (IsAtOrBelow(name, place.name) && !(place.contentOnly && name == place.name))
            return true;
    for (const wchar_t* item : kVolatile)
        if (IsAtOrBelow(name, item)) return true;
    return false;
}

std::wstring ParentOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool IsPlainFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// "history.dat" -> "history-safety.dat": a name the plug-in's masks still take.
std::wstring SiblingName(const std::wstring& file) {
    std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0) return name + L"-safety";
    return name.substr(0, dot) + L"-safety" + name.substr(dot);
}

struct Planted {
    std::vector<std::wstring> links;
    std::vector<std::wstring> hardLinks;
    std::vector<std::wstring> besides;
    size_t folders = 0;
};

// Step 2: the folders the plug-ins empty are the noted folders and the
// folders that hold noted files.
Planted PlantAdversaries(std::vector<TracePlace>& places) {
    std::map<std::wstring, std::wstring> folders;  // folder -> a trace file in it, if any
    for (const TracePlace& place : places) {
        if (place.name.rfind(L"c:", 0) != 0) continue;
        if (IsPlainFolder(place.name)) folders.emplace(place.name, L"");
        std::wstring parent = ParentOf(place.name);
        if (!place.contentOnly && !IsPlainFolder(place.name) && IsPlainFolder(parent))
            folders[parent] = place.name;
    }
    Planted planted;
    for (const auto& [folder, sample] : folders) {
        std::wstring target =
            std::wstring(kControlRoot) + L"\\" + std::to_wstring(++planted.folders);
        WriteTestFile(target + L"\\behind a link\\precious.txt", "reached only through a link");
        std::wstring shared = target + L"\\shared.txt";
        WriteTestFile(shared, "the same data under two names");
        std::wstring beside =
            ParentOf(folder) + L"\\safety-beside-" + std::to_wstring(planted.folders) + L".txt";
        WriteTestFile(beside, "beside a trace folder");
        planted.besides.push_back(beside);

        std::wstring link = folder + L"\\safety-link";
        RemoveFolderLink(link);  // one an interrupted run left
        if (MakeFolderLink(link, target + L"\\behind a link")) {
            planted.links.push_back(link);
            places.push_back({TraceItemName(link)});
        }
        std::wstring hardLink =
            folder + L"\\" + (sample.empty() ? L"safety-hardlink.tmp" : SiblingName(sample));
        DeleteFileW(hardLink.c_str());  // one an interrupted run left
        if (CreateHardLinkW(hardLink.c_str(), shared.c_str(), nullptr)) {
            planted.hardLinks.push_back(hardLink);
            places.push_back({TraceItemName(hardLink)});
        }
    }
    return planted;
}

std::wstring AllPluginIds() {
    ChildResult list = RunChild(VeltraneCommand(L"/list /json"));
    auto document = nlohmann::json::parse(list.output, nullptr, false);
    std::wstring ids;
    if (!document.contains("plugins")) return ids;
    for (const auto& plugin : document["plugins"])
        ids += (ids.empty() ? L"" : L",") + FromUtf8(plugin["id"].get<std::string>());
    return ids;
}

// The files the system will delete at the next start, by their DOS names.
std::set<std::wstring> PendingDeletions() {
    std::set<std::wstring> paths;
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return paths;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr,
                         &size) != ERROR_SUCCESS)
        return paths;
    std::wstring text(size / sizeof(wchar_t) + 2, L'\0');
    RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(text.data()), &size);
    // Pairs of "\??\source" and target; an empty target is a deletion.
    std::vector<std::wstring> strings;
    for (size_t at = 0; at < text.size() && text[at] != L'\0';) {
        strings.emplace_back(text.c_str() + at);
        at += strings.back().size() + 1;
        if (at < text.size() && text[at] == L'\0' && strings.size() % 2 == 1) {
            strings.emplace_back();
            ++at;
        }
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        std::wstring source = strings[i];
        if (source.rfind(L"\\??\\", 0) == 0) source = source.substr(4);
        paths.insert(source);
    }
    return paths;
}

// The leftovers of the seeders and of step 2, so that later tests find the
// sandbox as they expect it.
void RemoveSeededAndPlanted(const Planted& planted) {
    for (const std::wstring& link : planted.links) RemoveFolderLink(link);
    for (const std::wstring& link : planted.hardLinks) DeleteFileW(link.c_str());
    for (const std::wstring& beside : planted.besides) DeleteFileW(beside.c_str());
    RemoveTree(kControlRoot);
    // The seeders' own folders and keys that tests seeding after this one
    // expect to find empty.
    std::wstring appData = GetKnownFolderPath(FOLDERID_RoamingAppData);
    for (const std::wstring& folder :
         {std::wstring(L"C:\\VeltraneControl"), std::wstring(L"C:\\Program Files\\ICQ"),
          appData + L"\\ICQLite", appData + L"\\Mozilla",
          std::wstring(L"C:\\Program Files\\Netscape"),
          GetKnownFolderPath(FOLDERID_Documents) + L"\\My Received Files"})
        RemoveTree(folder);
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\MSNMessenger");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Netscape");
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\Protected Storage System Provider");
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis");
}

TEST(SafetyNet, ACleanOfEveryPlugInTouchesOnlyTheSeededTraces) {
    for (const Seeder& seeder : AllSeeders()) ASSERT_TRUE(seeder.seed(1)) << ToUtf8(seeder.name);
    std::vector<TracePlace> places = NotedTracePlaces();
    Planted planted = PlantAdversaries(places);
    ASSERT_GT(planted.folders, 10u);
    ASSERT_EQ(planted.links.size(), planted.folders) << "folder links could not be made";
    ASSERT_EQ(planted.hardLinks.size(), planted.folders) << "hard links could not be made";
    std::wstring ids = AllPluginIds();
    ASSERT_FALSE(ids.empty());
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite", L"1");
    std::set<std::wstring> pendingBefore = PendingDeletions();

    Snapshot before = TakeSnapshot();
    ChildResult clean = RunChild(VeltraneCommand(L"/clean /only:" + ids + L" /json"));
    Snapshot after = TakeSnapshot();
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite", L"0");
    ASSERT_TRUE(clean.started);

    std::string harm;
    size_t traces = 0;
    for (const Damage& damage : CompareSnapshots(before, after)) {
        if (IsAllowed(damage.name, places))
            ++traces;
        else
            harm += ToUtf8(damage.what + L": " + damage.name) + "\n";
    }
    EXPECT_TRUE(harm.empty()) << "A clean damaged what is not a trace:\n" << harm << clean.output;
    for (const std::wstring& pending : PendingDeletions()) {
        if (pendingBefore.count(pending)) continue;
        EXPECT_TRUE(IsAllowed(TraceItemName(pending), places))
            << "left for deletion at the next start: " << ToUtf8(pending);
    }
    // The clean did its work: the net is not passed by a clean that removed nothing.
    EXPECT_GT(traces, 100u) << clean.output;

    RemoveSeededAndPlanted(planted);
}

}  // namespace
