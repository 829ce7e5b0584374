#include "seedtraces/seed_windows.h"

#include <windows.h>

#include <shlobj.h>

#include <string>

#include "seedtraces/seed_writer.h"
#include "seedtraces/seeders.h"
#include "seedtraces/shell_item_data.h"
#include "sysaccess/known_folders.h"

namespace veltrane {

namespace {

using seeding::Bytes;
using seeding::Writer;

const HKEY HKCU = HKEY_CURRENT_USER;
const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
constexpr wchar_t kControl[] = L"VeltraneControl";

std::wstring Number(int n) { return std::to_wstring(n); }

std::wstring Rot13(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(L'a' + (c - L'a' + 13) % 26);
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(L'A' + (c - L'A' + 13) % 26);
    }
    return text;
}

const wchar_t* const kDocuments[] = {L"Quarterly report.docx", L"budget 2026.xlsx", L"notes.txt",
                                     L"holiday.jpg"};

std::wstring Extension(const std::wstring& name) { return name.substr(name.rfind(L'.')); }

// Each value: the document's name, then the item of its shortcut in Recent.
void SeedRecentDocs(Writer& w, int scale) {
    const std::wstring key = kExplorer + L"RecentDocs";
    int count = 4 * scale;
    for (int i = 0; i < count; ++i) {
        std::wstring name = kDocuments[i % 4];
        if (i >= 4) name = Number(i) + L" " + name;
        std::string data =
            Utf16Bytes(name) + FileItem(name + L".lnk", false) + std::string(2, '\0');
        w.Binary(HKCU, key, Number(i), data);
        w.Binary(HKCU, key + L"\\" + Extension(name), Number(i), data);
    }
    w.Binary(HKCU, key, L"MRUListEx", MruListEx(count));
    for (const wchar_t* document : kDocuments) w.Key(HKCU, key + L"\\" + Extension(document));
    w.ControlKey(HKCU, kExplorer + L"RecentDocsKeep");
}

void SeedDialogLists(Writer& w, int scale) {
    const std::wstring dialogs = kExplorer + L"ComDlg32\\";
    const std::wstring pidl = dialogs + L"OpenSavePidlMRU\\";
    for (const wchar_t* type : {L"*", L"docx", L"txt"}) {
        w.Key(HKCU, pidl + type);
        for (int i = 0; i < 3 * scale; ++i) {
            std::wstring file = L"C:\\Users\\Public\\Documents\\draft " + Number(i) + L"." +
                                (type[0] == L'*' ? L"pdf" : type);
            w.Binary(HKCU, pidl + type, Number(i), ItemListOfPath(file));
        }
        w.Binary(HKCU, pidl + type, L"MRUListEx", MruListEx(3 * scale));
    }
    const std::string folder = ItemListOfPath(L"C:\\Users\\Public\\Documents", true);
    for (const wchar_t* name : {L"LastVisitedPidlMRU", L"LastVisitedPidlMRULegacy"}) {
        w.Key(HKCU, dialogs + name);
        w.Binary(HKCU, dialogs + name, L"0", Utf16Bytes(L"WINWORD.EXE") + folder);
        w.Binary(HKCU, dialogs + name, L"1", Utf16Bytes(L"notepad.exe") + folder);
        w.Binary(HKCU, dialogs + name, L"MRUListEx", MruListEx(2));
    }
    w.Key(HKCU, dialogs + L"CIDSizeMRU");
    w.Binary(HKCU, dialogs + L"CIDSizeMRU", L"0", Utf16Bytes(L"WINWORD.EXE") + Bytes(36, '\x01'));
    w.Binary(HKCU, dialogs + L"CIDSizeMRU", L"MRUListEx", MruListEx(1));
    w.Key(HKCU, dialogs + L"FirstFolder");
    w.Binary(HKCU, dialogs + L"FirstFolder", L"0", Utf16Bytes(L"WINWORD.EXE") + folder);
    w.Binary(HKCU, dialogs + L"FirstFolder", L"MRUListEx", MruListEx(1));
    // The list's own key stays; beside it, keys that are not traces.
    w.ControlKey(HKCU, dialogs + L"OpenSavePidlMRUKeep");
}

void SeedTypedPaths(Writer& w, int scale) {
    const std::wstring key = kExplorer + L"TypedPaths";
    const wchar_t* paths[] = {L"C:\\Users\\Public\\Documents\\Taxes", L"\\\\fileserver\\projects",
                              L"Control Panel\\All Control Panel Items", L"%TEMP%"};
    for (int i = 0; i < 4 * scale; ++i)
        w.Value(HKCU, key, L"url" + Number(i + 1),
                paths[i % 4] + (i >= 4 ? L"\\" + Number(i) : std::wstring()));
    w.ControlKey(HKCU, key + L"\\" + kControl);
}

void SeedSearchHistory(Writer& w, int scale) {
    const std::wstring key = kExplorer + L"WordWheelQuery";
    const wchar_t* terms[] = {L"salary review", L"*.pst", L"passport scan", L"kind:=music"};
    for (int i = 0; i < 4 * scale; ++i)
        w.Binary(HKCU, key, Number(i),
                 Utf16Bytes(terms[i % 4] + (i >= 4 ? L" " + Number(i) : std::wstring())));
    w.Binary(HKCU, key, L"MRUListEx", MruListEx(4 * scale));
    w.ControlKey(HKCU, kExplorer + L"WordWheelQueryKeep");
}

void SeedUserAssist(Writer& w, int scale) {
    const std::wstring userAssist = kExplorer + L"UserAssist\\";
    // Programs started, and shortcuts started.
    for (const wchar_t* guid :
         {L"{CEBFF5CD-ACE2-4F4F-9178-9926F41749EA}", L"{F4E57C4B-2036-4F5D-9CE2-7D4D3D5B7D00}"}) {
        const std::wstring count = userAssist + guid + L"\\Count";
        w.Binary(HKCU, count, Rot13(L"UEME_CTLSESSION"), Bytes(1612, '\0'));
        for (int i = 0; i < 3 * scale; ++i) {
            std::wstring program = kUserAssistPrograms[i % 3];
            if (i >= 3) program += L"." + Number(i);
            w.Binary(HKCU, count, Rot13(program), UserAssistData(i + 1, i));
        }
        // Explorer's settings of the list.
        w.ControlValue(HKCU, userAssist + guid, L"Version", L"5");
    }
}

// Folder views: BagMRU mirrors the folders opened, one key per folder, each
// value one item below its key's folder and with a key of its own; Bags hold
// each folder's view, found through the keys' NodeSlot.
void SeedShellBags(Writer& w, int scale) {
    for (const std::wstring shell :
         {L"Software\\Microsoft\\Windows\\Shell\\",
          L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\"}) {
        const std::wstring bagMru = shell + L"BagMRU";
        const std::string computer = ItemListOfPath(L"C:\\x");
        const std::string end(2, '\0');
        // My Computer, the drive below it, then folders on the drive.
        w.Binary(HKCU, bagMru, L"0", computer.substr(0, 20) + end);
        w.Binary(HKCU, bagMru, L"MRUListEx", MruListEx(1));
        w.Binary(HKCU, bagMru, L"NodeSlots", std::string("\x02\x02", 2));
        SeedDword(HKCU, bagMru, L"NodeSlot", 1);
        w.Binary(HKCU, bagMru + L"\\0", L"0", computer.substr(20, 25) + end);
        w.Binary(HKCU, bagMru + L"\\0", L"MRUListEx", MruListEx(1));
        const std::wstring drive = bagMru + L"\\0\\0";
        for (int i = 0; i < 3 * scale; ++i) {
            w.Binary(HKCU, drive, Number(i), FileItem(L"Project " + Number(i), true) + end);
            w.Binary(HKCU, drive + L"\\" + Number(i), L"MRUListEx", MruListEx(0));
            SeedDword(HKCU, drive + L"\\" + Number(i), L"NodeSlot", 2 + i);
        }
        w.Binary(HKCU, drive, L"MRUListEx", MruListEx(3 * scale));
        w.Key(HKCU, bagMru);
        const std::wstring view = shell + L"Bags\\1\\Shell\\{5C4F28B5-F869-4E84-8E60-F11DB97C5CC7}";
        SeedDword(HKCU, view, L"Mode", 4);
        w.Key(HKCU, shell + L"Bags");
        w.ControlKey(HKCU, shell + L"MuiCache");
    }
}

void SeedJumpLists(Writer& w, int scale) {
    const std::wstring recent = GetKnownFolderPath(FOLDERID_Recent);
    if (recent.empty()) return;
    const std::wstring automatic = recent + L"\\AutomaticDestinations";
    const std::wstring custom = recent + L"\\CustomDestinations";
    const wchar_t* apps[] = {L"5f7b5f1e01b83767", L"9b9cdc69c1c24e2b", L"a7bd71699cd38d1c",
                             L"1b4dd67f29cb1962"};
    for (int i = 0; i < 2 * scale; ++i) {
        w.File(automatic + L"\\" + apps[i % 4] + (i >= 4 ? Number(i) : L"") +
                   L".automaticDestinations-ms",
               7680 + 512 * i);
        w.File(custom + L"\\" + apps[(i + 1) % 4] + (i >= 4 ? Number(i) : L"") +
                   L".customDestinations-ms",
               2200 + 100 * i);
    }
    // Only the lists go: the folders, anything else in them and Explorer's own
    // list (Quick Access and its pins) stay.
    w.ControlFile(automatic + L"\\readme.txt");
    w.ControlFile(automatic + L"\\f01b4d95cf55d32a.automaticDestinations-ms");
    w.ControlFolder(automatic);
    w.ControlFolder(custom);
}

void SeedThumbnailCache(Writer& w, int scale) {
    const std::wstring local = GetKnownFolderPath(FOLDERID_LocalAppData);
    if (local.empty()) return;
    const std::wstring explorer = local + L"\\Microsoft\\Windows\\Explorer";
    for (const wchar_t* size : {L"16", L"32", L"96", L"256", L"1280", L"idx", L"sr"})
        w.File(explorer + L"\\thumbcache_" + size + L".db", 24 * 1024 * scale);
    for (const wchar_t* size : {L"16", L"32", L"256", L"idx"})
        w.File(explorer + L"\\iconcache_" + size + L".db", 8 * 1024 * scale);
    w.ControlFile(explorer + L"\\ExplorerStartupLog.etl");
    w.ControlFolder(explorer);
}

void SeedErrorReports(Writer& w, int scale) {
    const std::wstring local = GetKnownFolderPath(FOLDERID_LocalAppData);
    if (local.empty()) return;
    const std::wstring wer = local + L"\\Microsoft\\Windows\\WER\\";
    // Everything in the two report folders is the plug-in's; the folders stay.
    NoteTraceFolderContent(wer + L"ReportArchive");
    NoteTraceFolderContent(wer + L"ReportQueue");
    for (int i = 0; i < scale; ++i) {
        const std::wstring archived = wer + L"ReportArchive\\AppCrash_notepad.exe_" + Number(i) +
                                      L"a3c5e6d7f8b9c0d1e2f3a4b5c6d7e8f9a0b1c2_cab_0d1e2f3a";
        w.Folder(archived);
        w.File(archived + L"\\Report.wer", 9100);
        const std::wstring queued =
            wer + L"ReportQueue\\AppHang_WINWORD.EXE_" + Number(i) + L"f0e1d2c3b4a5_1234abcd";
        w.Folder(queued);
        w.File(queued + L"\\Report.wer", 7400);
        w.File(queued + L"\\memory.hdmp", 256 * 1024);
        w.File(queued + L"\\WERInternalMetadata.xml", 5200);
    }
    w.ControlFolder(wer + L"ReportArchive");
    w.ControlFolder(wer + L"ReportQueue");
    w.ControlFile(wer + L"ERC\\statecache.lock");
}

}  // namespace

bool SeedWindowsTraces(int scale, StandardSeedManifest* manifest) {
    if (scale < 1) scale = 1;
    Writer w(manifest);
    SeedRecentDocs(w, scale);
    SeedDialogLists(w, scale);
    SeedTypedPaths(w, scale);
    SeedSearchHistory(w, scale);
    SeedUserAssist(w, scale);
    SeedShellBags(w, scale);
    SeedJumpLists(w, scale);
    SeedThumbnailCache(w, scale);
    SeedErrorReports(w, scale);
    return w.Ok();
}

bool SeedWindows(int scale) { return SeedWindowsTraces(scale, nullptr); }

}  // namespace veltrane
