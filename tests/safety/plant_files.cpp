// The planters of the file families: neighbours, file links, held files,
// recycle bin look-alikes, profile lists into user folders and folder links.
#include <windows.h>

#include <knownfolders.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "safety/adversaries.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::wstring Leaf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// "..\" as often as `from` (a folder, ending in "\") lies below the drive
// root, then `to` without its drive: a relative path that climbs out.
std::wstring ClimbingPath(const std::wstring& from, const std::wstring& to) {
    std::wstring climb;
    for (size_t at = 3; at < from.size(); ++at)
        if (from[at] == L'\\') climb += L"..\\";
    return climb + to.substr(3);
}

// A Chromium profile's trace files, and a document that is no trace at all.
void WriteChromiumLookAlike(const std::wstring& folder) {
    for (const wchar_t* file :
         {L"Cache\\Cache_Data\\index", L"Code Cache\\js\\index", L"GPUCache\\data_1",
          L"Sessions\\Session_13345678901234567", L"Current Session", L"Last Tabs", L"Shortcuts",
          L"Visited Links", L"Top Sites", L"thesis.docx"})
        WriteTestFile(folder + L"\\" + file, "the user's own project file");
}

// A Firefox profile's session and cache files, and a document.
void WriteFirefoxLookAlike(const std::wstring& folder) {
    for (const wchar_t* file :
         {L"sessionstore.jsonlz4", L"sessionstore-backups\\recovery.jsonlz4", L"cache2\\index",
          L"cache2\\entries\\0A1B2C3D4E5F60718293A4B5C6D7E8F901234567", L"thesis.docx"})
        WriteTestFile(folder + L"\\" + file, "the user's own project file");
}

// Folders that are the machine's or the user's own, or hold the test and
// the program: never moved to put a link in their place.
bool IsMovable(const std::wstring& folder) {
    if (!IsPlainFolder(folder)) return false;
    static const std::vector<std::wstring> fixed = [] {
        std::vector<std::wstring> names;
        for (const KNOWNFOLDERID* id :
             {&FOLDERID_Windows, &FOLDERID_System, &FOLDERID_ProgramFiles,
              &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramData, &FOLDERID_UserProfiles,
              &FOLDERID_Profile, &FOLDERID_RoamingAppData, &FOLDERID_LocalAppData,
              &FOLDERID_Documents, &FOLDERID_Desktop, &FOLDERID_Public})
            names.push_back(TraceItemName(GetKnownFolderPath(*id)));
        for (const wchar_t* path :
             {kInstalledProgramFolder, L"C:\\veltrane-tests", L"C:\\veltrane-corpus", kNetRoot})
            names.push_back(TraceItemName(path));
        return names;
    }();
    const std::wstring name = TraceItemName(folder);
    return std::none_of(fixed.begin(), fixed.end(),
                        [&name](const std::wstring& place) { return IsAtOrBelow(place, name); });
}

// Moves `folder` into a control folder and puts a link to it in its place.
bool ReplaceByLink(Plantation& plantation, const std::wstring& name, const std::wstring& slug,
                   Family family, const std::wstring& why) {
    // The noted places are lower case; the folder comes home as it was spelt.
    wchar_t spelt[MAX_PATH] = {};
    DWORD length = GetLongPathNameW(name.c_str(), spelt, MAX_PATH);
    const std::wstring folder = length > 0 && length < MAX_PATH ? spelt : name;
    const std::wstring moved = plantation.ControlFolder(slug) + L"\\" + Leaf(folder);
    if (!MoveFileExW(folder.c_str(), moved.c_str(), 0)) return false;
    if (!MakeFolderLink(folder, moved)) {
        MoveFileExW(moved.c_str(), folder.c_str(), 0);
        return false;
    }
    plantation.Guard(moved, family, why);
    plantation.OnUndo([folder, moved] {
        RemoveFolderLink(folder);
        MoveFileExW(moved.c_str(), folder.c_str(), 0);
    });
    return true;
}

}  // namespace

void PlantNeighbours(Plantation& plantation, const std::vector<StartFolder>& starts) {
    for (const StartFolder& start : starts) {
        const std::wstring control = plantation.ControlFolder(L"neighbours");
        WriteTestFile(control + L"\\behind a link\\precious.txt", "reached only through a link");
        const std::wstring shared = control + L"\\shared.txt";
        WriteTestFile(shared, "the same data under two names");
        const std::wstring beside =
            ParentOf(start.path) + L"\\safety-beside-" + Leaf(control) + L".txt";
        WriteTestFile(beside, "beside a trace folder");
        plantation.OnUndo([beside] { DeleteFileW(beside.c_str()); });

        const std::wstring link = start.path + L"\\safety-link";
        RemoveFolderLink(link);  // one an interrupted run left
        if (MakeFolderLink(link, control + L"\\behind a link")) {
            plantation.NoteTrace(link);
            plantation.Guard(control + L"\\behind a link", Family::kNeighbours,
                             L"behind a folder link in " + start.path);
            plantation.OnUndo([link] { RemoveFolderLink(link); });
        }
        const std::wstring hardLink =
            start.path + L"\\" + SiblingName(start.firstTrace, L"hardlink");
        DeleteFileW(hardLink.c_str());
        if (CreateHardLinkW(hardLink.c_str(), shared.c_str(), nullptr)) {
            plantation.NoteTrace(hardLink);
            plantation.Guard(shared, Family::kNeighbours, L"another name of " + hardLink);
            plantation.OnUndo([hardLink] { DeleteFileW(hardLink.c_str()); });
        }
    }
}

void PlantFileLinks(Plantation& plantation, const std::vector<StartFolder>& starts) {
    for (const StartFolder& start : starts) {
        const std::wstring control = plantation.ControlFolder(L"file-links");
        const std::wstring sibling = start.path + L"\\" + SiblingName(start.firstTrace, L"link");
        const std::wstring target = control + L"\\" + Leaf(sibling);
        WriteTestFile(target, "a document a file link leads to");
        if (MakeFileLink(sibling, target)) {
            plantation.NoteTrace(sibling);
            plantation.NoteLink(sibling);
            plantation.Guard(target, Family::kFileLinks,
                             L"the file link " + sibling + L" leads here");
            plantation.OnUndo([sibling] { RemoveFolderLink(sibling); });
        }
        // The trace itself becomes a link to a copy: what the plug-in reads
        // stays the same, where it writes does not.
        if (start.firstTrace.empty() || !FileExists(start.firstTrace)) continue;
        const std::wstring trace = start.firstTrace;
        const std::wstring copy = control + L"\\copy of " + Leaf(trace);
        if (!CopyFileW(trace.c_str(), copy.c_str(), FALSE) || !DeleteFileW(trace.c_str())) continue;
        if (!MakeFileLink(trace, copy)) {
            MoveFileExW(copy.c_str(), trace.c_str(), 0);
            continue;
        }
        plantation.NoteLink(trace);
        plantation.Guard(copy, Family::kFileLinks, L"the trace " + trace + L" is a link here");
        plantation.OnUndo([trace] { RemoveFolderLink(trace); });
    }
}

void PlantHeldFiles(Plantation& plantation, const std::vector<StartFolder>& starts) {
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    for (const StartFolder& start : starts) {
        HeldFile held;
        held.path = start.path + L"\\" + SiblingName(start.firstTrace, L"held");
        held.content = "in use by another program since " + std::to_string(GetTickCount64());
        held.share = share;
        WriteTestFile(held.path, held.content);
        held.handle = HoldOpen(held.path, share);
        if (!held.handle) continue;
        plantation.NoteTrace(held.path);
        const std::wstring path = held.path;
        plantation.OnUndo([path] { DeleteFileW(path.c_str()); });
        plantation.Held().push_back(std::move(held));
        share ^= FILE_SHARE_DELETE;  // every other one lets others delete it meanwhile
    }
}

void CheckHeldFiles(Plantation& plantation, Verdict& verdict) {
    for (HeldFile& held : plantation.Held()) {
        std::string now(held.content.size() + 64, '\0');
        DWORD got = 0;
        SetFilePointer(held.handle.Get(), 0, nullptr, FILE_BEGIN);
        ReadFile(held.handle.Get(), now.data(), static_cast<DWORD>(now.size()), &got, nullptr);
        now.resize(got);
        if (now == held.content) continue;
        const auto wiped = std::count(now.begin(), now.end(), '\xFF');
        verdict.Add(Family::kHeldOpen,
                    ToUtf8(held.path) + " (shared for " +
                        (held.share & FILE_SHARE_DELETE ? "read, write, delete" : "read, write") +
                        ") changed while held: " + std::to_string(wiped) + " of " +
                        std::to_string(now.size()) + " bytes are 0xFF");
    }
}

void PlantBinLookAlikes(Plantation& plantation) {
    // The seeders' C:\Recycled becomes what the user made of it: a folder of his own.
    RemoveTree(L"C:\\Recycled");
    WriteTestFile(L"C:\\Recycled\\Family photos\\IMG_0001.jpg", "a photo of the family");
    WriteTestFile(L"C:\\Recycled\\Family photos\\IMG_0002.jpg", "another photo");
    WriteTestFile(L"C:\\Recycler\\Invoices\\2024-001.pdf", "an invoice");
    plantation.Guard(L"C:\\Recycled", Family::kBinLookAlikes,
                     L"a user's folder named Recycled, with no bin's shape");
    plantation.Guard(L"C:\\Recycler\\Invoices", Family::kBinLookAlikes,
                     L"a user's folder in C:\\Recycler that is no bin");
    plantation.OnUndo([] {
        RemoveTree(L"C:\\Recycled");
        RemoveTree(L"C:\\Recycler\\Invoices");
    });
}

void PlantProfileLists(Plantation& plantation) {
    const std::wstring projects = GetKnownFolderPath(FOLDERID_Documents) + L"\\Safety projects";
    plantation.Guard(projects, Family::kProfileLists, L"the user's Documents");
    plantation.OnUndo([projects] { RemoveTree(projects); });

    const std::wstring userData =
        GetKnownFolderPath(FOLDERID_LocalAppData) + L"\\Google\\Chrome\\User Data\\";
    const std::wstring state = userData + L"Local State";
    const std::string saved = ReadTestFile(state);
    auto document = nlohmann::json::parse(saved, nullptr, false);
    if (document.is_object()) {
        // A profile folder in User Data that is a link into Documents, and
        // names that climb out of User Data on their own.
        WriteChromiumLookAlike(projects + L"\\webapp");
        WriteChromiumLookAlike(projects + L"\\climbed");
        WriteChromiumLookAlike(projects + L"\\absolute");
        const std::wstring linked = userData + L"Client work";
        if (MakeFolderLink(linked, projects + L"\\webapp"))
            plantation.OnUndo([linked] { RemoveFolderLink(linked); });
        auto& cache = document["profile"]["info_cache"];
        for (const std::wstring& name :
             {std::wstring(L"Client work"), ClimbingPath(userData, projects + L"\\climbed"),
              projects + L"\\absolute"})
            cache[ToUtf8(name)] = {{"name", ToUtf8(Leaf(name))}};
        WriteTestFile(state, document.dump());
        plantation.OnUndo([state, saved] { WriteTestFile(state, saved); });
    }

    const std::wstring firefox =
        GetKnownFolderPath(FOLDERID_RoamingAppData) + L"\\Mozilla\\Firefox\\";
    const std::wstring ini = firefox + L"profiles.ini";
    const std::string savedIni = ReadTestFile(ini);
    if (!savedIni.empty()) {
        WriteFirefoxLookAlike(projects + L"\\site");
        WriteFirefoxLookAlike(projects + L"\\drafts");
        std::wstring climbing = ClimbingPath(firefox, projects + L"\\site");
        std::replace(climbing.begin(), climbing.end(), L'\\', L'/');
        WriteTestFile(ini, savedIni + "\r\n[Profile90]\r\nName=site\r\nIsRelative=1\r\nPath=" +
                               ToUtf8(climbing) + "\r\n\r\n[Profile91]\r\nName=drafts\r\n" +
                               "IsRelative=0\r\nPath=" + ToUtf8(projects + L"\\drafts") + "\r\n");
        plantation.OnUndo([ini, savedIni] { WriteTestFile(ini, savedIni); });
    }
}

bool PlantFolderLinks(Plantation& plantation, const std::vector<StartFolder>& starts, bool above,
                      std::string& why) {
    const Family family = above ? Family::kFolderLinksAbove : Family::kFolderLinksAt;
    const std::wstring slug = above ? L"links-above" : L"links-at";
    std::vector<std::wstring> candidates;
    for (const StartFolder& start : starts) {
        std::wstring folder = above ? ParentOf(start.path) : start.path;
        if (IsMovable(folder)) candidates.push_back(folder);
    }
    // Outermost first; a folder inside one already replaced lies behind its link.
    std::sort(candidates.begin(), candidates.end(),
              [](const std::wstring& a, const std::wstring& b) { return a.size() < b.size(); });
    std::vector<std::wstring> replaced;
    for (const std::wstring& folder : candidates) {
        const std::wstring name = TraceItemName(folder);
        if (std::any_of(replaced.begin(), replaced.end(), [&name](const std::wstring& done) {
                return IsAtOrBelow(name, done) || IsAtOrBelow(done, name);
            }))
            continue;
        if (!ReplaceByLink(
                plantation, folder, slug, family,
                folder + (above ? L" above a starting folder" : L"") + L" is a link here")) {
            why += "could not replace " + ToUtf8(folder) + " by a link\n";
            continue;
        }
        replaced.push_back(name);
    }
    if (!above) return why.empty();
    // The temporary folder's parent is the user's Local AppData: TEMP and TMP
    // lead through a link instead.
    const std::wstring behind = plantation.ControlFolder(slug);
    for (const wchar_t* file : {L"~DF0001.tmp", L"setup.log", L"unpacked\\python.dll"})
        WriteTestFile(behind + L"\\Temp\\" + file, "reached only through a link above TEMP");
    const std::wstring link = std::wstring(kNetRoot) + L"\\temp-above";
    if (!MakeFolderLink(link, behind)) {
        why += "could not make the link above TEMP\n";
        return false;
    }
    plantation.Guard(behind, family, L"TEMP leads here through the link " + link);
    auto temp = std::make_shared<ScopedTempVariables>(link + L"\\Temp");
    plantation.OnUndo([link, temp]() mutable {
        temp.reset();
        RemoveFolderLink(link);
    });
    return why.empty();
}

}  // namespace veltrane
