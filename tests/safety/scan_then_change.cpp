#include "safety/scan_then_change.h"

#include <knownfolders.h>

#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

enum class Change {
    kHardLink,    // the listed file becomes another name of a control file
    kFileLink,    // the listed file becomes a link to a control file
    kRewrite,     // the listed file is written again: other size and write time
    kFolderLink,  // the folder moves away and a link to it takes its place
    kAdd,         // a file appears
};

// Places below the folders the seeders write to: "%temp%\~DF1A21.tmp".
struct FileChange {
    Change change;
    const wchar_t* path;
};

const FileChange kFileChanges[] = {
    {Change::kHardLink, L"%temp%\\~DF1A21.tmp"},
    {Change::kHardLink,
     L"%recent%\\AutomaticDestinations\\9b9cdc69c1c24e2b.automaticDestinations-ms"},
    {Change::kHardLink, L"%local%\\Microsoft\\Windows\\Explorer\\thumbcache_32.db"},
    {Change::kHardLink, L"C:\\Program Files\\ICQ\\2003b\\11111111\\messages.idx"},
    {Change::kFileLink, L"%temp%\\~DF1A22.tmp"},
    {Change::kFileLink, L"%roaming%\\Opera\\Opera7\\profile\\Cache4\\opr00002.tmp"},
    {Change::kFileLink, L"%local%\\Google\\Chrome\\User Data\\Default\\Visited Links"},
    {Change::kRewrite, L"%temp%\\setup.log"},
    {Change::kRewrite, L"%local%\\Google\\Chrome\\User Data\\Default\\Shortcuts"},
    {Change::kRewrite,
     L"C:\\FirefoxProfiles\\Work Profile\\sessionstore-backups\\previous.jsonlz4"},
    // A listed folder, and folders above listed items.
    {Change::kFolderLink, L"%temp%\\_MEI4711"},
    {Change::kFolderLink,
     L"%local%\\Microsoft\\Windows\\WER\\ReportQueue\\AppHang_WINWORD.EXE_0f0e1d2c3b4a5_1234abcd"},
    {Change::kFolderLink, L"%temp%\\msohtmlclip1"},
    {Change::kFolderLink, L"%local%\\Google\\Chrome\\User Data\\Work"},
    {Change::kAdd, L"%temp%\\added-after-scan.tmp"},
    {Change::kAdd, L"%recent%\\added after scan.txt.lnk"},
    {Change::kAdd, L"%local%\\Google\\Chrome\\User Data\\Default\\Cache\\Cache_Data\\f_added"},
    {Change::kAdd, L"%local%\\Microsoft\\Windows\\WER\\ReportArchive\\added-after-scan.wer"},
    {Change::kAdd, L"%local%\\Microsoft\\Windows\\Explorer\\thumbcache_added.db"},
    {Change::kAdd, L"%roaming%\\Microsoft\\Office\\Recent\\added.LNK"},
    {Change::kAdd, L"C:\\RECYCLER\\%sid%\\Dc99.txt"},
};

constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

// A value of a listed key: changed when it was listed, added when `name` is new.
struct ValueChange {
    std::wstring key;  // below HKEY_CURRENT_USER
    const wchar_t* name;
    bool added;
};

std::vector<ValueChange> ValueChanges() {
    const std::wstring explorer = kExplorer;
    return {
        {explorer + L"RunMRU", L"a", false},
        {explorer + L"RunMRU", L"z", true},
        {explorer + L"TypedPaths", L"url1", false},
        {explorer + L"TypedPaths", L"url99", true},
        {L"Software\\Microsoft\\Internet Explorer\\TypedURLs", L"url2", false},
        {explorer + L"RecentDocs", L"0", false},
        {L"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList", L"File0", false},
        {L"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList", L"File99", true},
    };
}

std::wstring Expand(const std::wstring& path) {
    std::wstring expanded = path;
    wchar_t temp[MAX_PATH + 1] = {};
    std::wstring tempFolder(temp, GetTempPathW(MAX_PATH + 1, temp));
    while (!tempFolder.empty() && tempFolder.back() == L'\\') tempFolder.pop_back();
    for (const auto& [token, value] : {std::pair<std::wstring, std::wstring>{L"%temp%", tempFolder},
                                       {L"%local%", GetKnownFolderPath(FOLDERID_LocalAppData)},
                                       {L"%roaming%", GetKnownFolderPath(FOLDERID_RoamingAppData)},
                                       {L"%recent%", GetKnownFolderPath(FOLDERID_Recent)},
                                       {L"%sid%", GetCurrentUserSidString()}}) {
        size_t at = expanded.find(token);
        if (at != std::wstring::npos) expanded.replace(at, token.size(), value);
    }
    return expanded;
}

std::wstring Leaf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// Makes one change; false when the item to change is not there as expected.
bool Make(Plantation& plantation, const FileChange& change, const std::wstring& path,
          Snapshot& before) {
    const std::wstring why = L"changed after the scan: ";
    switch (change.change) {
        case Change::kHardLink:
        case Change::kFileLink: {
            if (!IsPlainFolder(ParentOf(path)) || IsPlainFolder(path) || !DeleteFileW(path.c_str()))
                return false;
            const std::wstring target =
                plantation.ControlFolder(L"scan-then-change") + L"\\" + Leaf(path);
            WriteTestFile(target, "a document that another name or a link leads to");
            const bool made = change.change == Change::kHardLink
                                  ? CreateHardLinkW(path.c_str(), target.c_str(), nullptr) != 0
                                  : MakeFileLink(path, target);
            if (!made) return false;
            if (change.change == Change::kFileLink)
                plantation.OnUndo([path] { RemoveFolderLink(path); });
            plantation.Guard(target, Family::kScanThenChange, why + path + L" leads here");
            Retake(before, target);
            break;
        }
        case Change::kRewrite:
            if (!FileExists(path)) return false;
            WriteTestFile(path, "written again after the scan, by the program that owns it");
            break;
        case Change::kFolderLink: {
            const std::wstring moved =
                plantation.ControlFolder(L"scan-then-change") + L"\\" + Leaf(path);
            if (!IsPlainFolder(path) || !MoveFileExW(path.c_str(), moved.c_str(), 0)) return false;
            if (!MakeFolderLink(path, moved)) {
                MoveFileExW(moved.c_str(), path.c_str(), 0);
                return false;
            }
            plantation.OnUndo([path, moved] {
                RemoveFolderLink(path);
                MoveFileExW(moved.c_str(), path.c_str(), 0);
            });
            plantation.Guard(moved, Family::kScanThenChange, why + path + L" is a link here");
            Retake(before, moved);
            break;
        }
        case Change::kAdd:
            if (!IsPlainFolder(ParentOf(path))) return false;
            WriteTestFile(path, "appeared after the scan");
            plantation.OnUndo([path] { DeleteFileW(path.c_str()); });
            break;
    }
    plantation.Guard(path, Family::kScanThenChange, why + L"this item");
    Retake(before, path);
    return true;
}

}  // namespace

void ChangeAfterScan(Plantation& plantation, Snapshot& before, Verdict& verdict) {
    for (const FileChange& change : kFileChanges) {
        const std::wstring path = Expand(change.path);
        if (!Make(plantation, change, path, before))
            verdict.Add(Family::kScanThenChange, "could not change " + ToUtf8(path) +
                                                     " after the scan: is it still seeded?");
    }
    for (const ValueChange& change : ValueChanges()) {
        if (ValueExists(HKEY_CURRENT_USER, change.key, change.name) == change.added) {
            verdict.Add(Family::kScanThenChange, "could not change the value " +
                                                     ToUtf8(change.key + L"\\" + change.name) +
                                                     " after the scan: is it still seeded?");
            continue;
        }
        DWORD type = REG_SZ;
        std::wstring data;
        GetString(HKEY_CURRENT_USER, change.key, change.name, data, &type);
        if (type == REG_BINARY) {
            const char item[] = "c\0h\0a\0n\0g\0e\0d\0\0\0";
            SetBinary(HKEY_CURRENT_USER, change.key, change.name, item, sizeof(item) - 1);
        } else {
            SetString(HKEY_CURRENT_USER, change.key, change.name,
                      L"C:\\Changed after the scan.txt");
        }
        plantation.GuardValue(HKEY_CURRENT_USER, change.key, change.name, Family::kScanThenChange,
                              change.added ? L"added after the scan" : L"changed after the scan");
        if (change.added)
            plantation.OnUndo([key = change.key, name = std::wstring(change.name)] {
                RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str());
            });
        RetakeKey(before, HKEY_CURRENT_USER, change.key);
    }
}

}  // namespace veltrane
