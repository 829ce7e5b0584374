#include "seedtraces/seed_windows10.h"

#include <windows.h>

#include <shlobj.h>

#include "seedtraces/modern_browsers.h"
#include "seedtraces/seed_writer.h"
#include "seedtraces/seeders.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

using seeding::Writer;

const HKEY HKCU = HKEY_CURRENT_USER;
const std::wstring kOffice = L"Software\\Microsoft\\Office\\";
const std::wstring kFeatureUsage =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FeatureUsage\\";
// The Program Files folder as Windows names it in usage counters and the Timeline.
constexpr wchar_t kProgramFilesId[] = L"{6D809377-6AF0-444B-8957-A3773F02200E}";
// 2026-12-01 09:00 UTC, and the FILETIME of that moment in hexadecimal.
constexpr long long kSeedTime = 1796115600;
constexpr wchar_t kSeedFileTime[] = L"01DD817258612800";

std::wstring Number(int n) { return std::to_wstring(n); }

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// "Item N" as Office 2013 and later write it: flags, the time last used, the path.
std::wstring MruItem(const std::wstring& path) {
    return std::wstring(L"[F00000000][T") + kSeedFileTime + L"][O00000000]*" + path;
}

std::wstring MruMetadata(const std::wstring& path) {
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    return L"<Metadata><AppSpecific><id>" + path + L"</id><nm>" + name + L"</nm><du>" + path +
           L"</du></AppSpecific></Metadata>";
}

void SeedMruList(Writer& w, const std::wstring& key, const wchar_t* folder, const wchar_t* ext,
                 int count, bool metadata) {
    for (int i = 1; i <= count; ++i) {
        const std::wstring path =
            std::wstring(folder) + L"\\draft " + Number(i) + (ext[0] ? L"." : L"") + ext;
        w.Value(HKCU, key, L"Item " + Number(i), MruItem(path));
        if (metadata) w.Value(HKCU, key, L"Item Metadata " + Number(i), MruMetadata(path));
    }
    // The list's own setting stays.
    w.ControlValue(HKCU, key, L"Max Display", L"25");
}

void SeedOffice(Writer& w, int scale) {
    const int count = 3 * scale;
    constexpr wchar_t kDocs[] = L"C:\\Users\\Public\\Documents";
    // Office 2016 and later, signed in with a work account.
    const std::wstring word = kOffice + L"16.0\\Word";
    const std::wstring account = word + L"\\User MRU\\ADAL_8B5C2F9A1D3E4F60";
    SeedMruList(w, account + L"\\File MRU", kDocs, L"docx", count, true);
    SeedMruList(w, account + L"\\Place MRU", kDocs, L"", 1, false);
    // Not signed in: the lists directly below the program.
    SeedMruList(w, kOffice + L"16.0\\Excel\\File MRU", kDocs, L"xlsx", count, true);
    // Office 2013 and 2010.
    SeedMruList(w, kOffice + L"15.0\\PowerPoint\\File MRU", kDocs, L"pptx", count, false);
    SeedMruList(w, kOffice + L"14.0\\Word\\File MRU", kDocs, L"doc", count, false);
    SeedMruList(w, kOffice + L"14.0\\Word\\Place MRU", kDocs, L"", 1, false);
    // The programs' settings beside the lists.
    w.ControlValue(HKCU, word + L"\\Options", L"AutoSaveInterval", L"10");
    w.ControlValue(HKCU, kOffice + L"16.0\\Common\\General", L"Item 1", L"not a recent document");
}

void SeedFeatureUsage(Writer& w, int scale) {
    const std::wstring programs[] = {
        L"Microsoft.Windows.Explorer",
        std::wstring(kProgramFilesId) + L"\\Microsoft Office\\root\\Office16\\WINWORD.EXE",
        L"Microsoft.MicrosoftEdge.Stable_8wekyb3d8bbwe!App",
    };
    for (const wchar_t* counter :
         {L"AppSwitched", L"AppLaunch", L"ShowJumpView", L"AppBadgeUpdated"}) {
        const std::wstring key = kFeatureUsage + counter;
        for (int i = 0; i < 3 * scale; ++i) {
            const std::wstring name = i < 3 ? programs[i] : programs[i % 3] + L" " + Number(i);
            w.Dword(HKCU, key, name, static_cast<DWORD>(7 + i));
        }
    }
    const std::wstring tray = kFeatureUsage + L"TrayButtonClicked";
    for (const wchar_t* button : {L"StartButton", L"TaskViewButton", L"SearchBox"}) {
        w.Dword(HKCU, tray, button, 3);
    }
    // Not a count, so not a counter; and a key the plug-in does not know.
    w.ControlValue(HKCU, kFeatureUsage + L"AppSwitched", L"Layout", L"kept");
    w.ControlKey(HKCU, kFeatureUsage + L"KeepMe");
}

std::string ActivitySql(const TimelineActivity& a, const char* table, bool operation) {
    const std::string appId = "[{\"application\":\"" + a.exePath +
                              "\",\"platform\":\"x_exe_path\"},{\"application\":\"" +
                              a.displayName + "\",\"platform\":\"packageId\"}]";
    const std::string payload =
        a.clipboard.empty() ? "{\"displayText\":\"" + a.displayText + "\",\"appDisplayName\":\"" +
                                  a.displayName + "\",\"activationUri\":\"ms-shellactivity:\"}"
                            : std::string();
    const std::string clipboard =
        a.clipboard.empty()
            ? "NULL"
            : Quoted("[{\"content\":\"" + a.clipboard + "\",\"formatName\":\"Text\"}]");
    const std::string time = std::to_string(a.startTime);
    std::string sql =
        std::string("INSERT INTO ") + table + "(" +
        (operation ? "OperationType, CreatedTime, " : "") +
        "Id, AppId, AppActivityId, ActivityType, " + (operation ? "" : "ActivityStatus, ") +
        "LastModifiedTime, ExpirationTime, Payload, StartTime, EndTime, "
        "LastModifiedOnClient, ClipboardPayload, PlatformDeviceId, ETag) VALUES(" +
        (operation ? "1, " + time + ", " : "") + "X'" + a.idHex + "', " + Quoted(appId) + ", " +
        Quoted("ECB32AF3-1440-4086-94E3-5311F97F89C4" + a.idHex.substr(0, 4)) + ", " +
        std::to_string(a.type) + ", " + (operation ? "" : "1, ") + time + ", " +
        std::to_string(a.startTime + 30 * 86400) + ", " +
        (payload.empty() ? "NULL" : Quoted(payload)) + ", " + time + ", " +
        std::to_string(a.startTime + 600) + ", " + time + ", " + clipboard +
        ", 'x7f3c0V2rEtlPQ==', 1);";
    return sql;
}

std::wstring LocalAppData() { return GetKnownFolderPath(FOLDERID_LocalAppData); }

void SeedTimeline(Writer& w, int scale, bool& ok) {
    if (LocalAppData().empty()) return;
    const std::string word = ToUtf8(kProgramFilesId) +
                             "\\\\Microsoft Office\\\\root\\\\Office16"
                             "\\\\WINWORD.EXE";
    std::string local;
    for (int i = 0; i < scale; ++i) {
        char id[40];
        snprintf(id, sizeof(id), "%08X6AF0444B8957A3773F02%04X", 0x1000 + i, i);
        std::string suffix;
        if (i > 0) suffix.append(" ").append(std::to_string(i));
        local += TimelineRows(
            {id, word, "Word", "Quarterly report" + suffix + ".docx", 5, kSeedTime + i, ""}, false);
        id[0] = '2';
        local += TimelineRows({id, "C:\\\\Windows\\\\System32\\\\notepad.exe", "Notepad",
                               "notes" + suffix + ".txt", 6, kSeedTime + 60 + i, ""},
                              false);
        id[0] = '3';
        local += TimelineRows({id, "Microsoft.MicrosoftEdge.Stable_8wekyb3d8bbwe!App",
                               "Microsoft Edge", "Example Domain" + suffix, 5, kSeedTime + 120, ""},
                              i == 0);
    }
    const std::wstring localDb =
        TimelineAccountFolder(LocalTimelineAccount()) + L"\\ActivitiesCache.db";
    const std::wstring msDb =
        TimelineAccountFolder(kMicrosoftTimelineAccount) + L"\\ActivitiesCache.db";
    const std::string ms =
        TimelineRows({"4A9E0C3B5D7F41A2B3C4D5E6F708192A", "Microsoft.Windows.Explorer", "Clipboard",
                      "", 10, kSeedTime + 300, seeded::kTimelineClipboardMarker},
                     true);
    ok = WriteTimelineDatabase(localDb, local) && ok;
    ok = WriteTimelineDatabase(msDb, ms) && ok;
    for (const std::wstring& db : {localDb, msDb})
        for (const wchar_t* suffix : {L"", L"-journal", L"-wal", L"-shm"})
            NoteTraceFile(db + suffix);
    w.ControlFile(LocalAppData() + L"\\ConnectedDevicesPlatform\\CDPGlobalSettings.cdp");
    w.ControlFile(TimelineAccountFolder(LocalTimelineAccount()) + L"\\Settings.dat");
}

void SeedMachineErrorReports(Writer& w, int scale) {
    const std::wstring programData = GetKnownFolderPath(FOLDERID_ProgramData);
    if (programData.empty()) return;
    const std::wstring wer = programData + L"\\Microsoft\\Windows\\WER\\";
    NoteTraceFolderContent(wer + L"ReportArchive");
    NoteTraceFolderContent(wer + L"ReportQueue");
    for (int i = 0; i < scale; ++i) {
        const std::wstring archived =
            wer + L"ReportArchive\\Kernel_141_" + Number(i) + L"b2c4d6e8f0a1b3c5_0ac3e4f1";
        w.Folder(archived);
        w.File(archived + L"\\Report.wer", 6100);
        const std::wstring queued =
            wer + L"ReportQueue\\AppCrash_explorer.exe_" + Number(i) + L"9e8d7c6b5a4_4d3c2b1a";
        w.Folder(queued);
        w.File(queued + L"\\Report.wer", 8200);
        w.File(queued + L"\\WER4A1B.tmp.mdmp", 96 * 1024);
    }
    w.ControlFolder(wer + L"ReportArchive");
    w.ControlFolder(wer + L"ReportQueue");
    w.ControlFile(wer + L"Temp\\keep.txt");
}

void SeedCrashDumps(Writer& w, int scale) {
    if (LocalAppData().empty()) return;
    const std::wstring dumps = LocalAppData() + L"\\CrashDumps";
    for (int i = 0; i < scale; ++i) {
        w.File(dumps + L"\\notepad.exe." + Number(4120 + i) + L".dmp", 64 * 1024);
        w.File(dumps + L"\\WINWORD.EXE." + Number(7312 + i) + L".dmp", 128 * 1024);
    }
    w.ControlFile(dumps + L"\\readme.txt");
    w.ControlFolder(dumps);
}

}  // namespace

std::wstring TimelineAccountFolder(const std::wstring& account) {
    return LocalAppData() + L"\\ConnectedDevicesPlatform\\" + account;
}

std::wstring LocalTimelineAccount() {
    wchar_t user[256] = {};
    DWORD length = 256;
    if (!GetUserNameW(user, &length)) return L"L.user";
    return std::wstring(L"L.") + user;
}

std::string TimelineRows(const TimelineActivity& activity, bool pending) {
    std::string sql = ActivitySql(activity, "Activity", false);
    if (pending) sql += ActivitySql(activity, "ActivityOperation", true);
    sql +=
        "INSERT INTO Activity_PackageId(ActivityId, Platform, PackageName, ExpirationTime) "
        "VALUES(X'" +
        activity.idHex + "', 'x_exe_path', " + Quoted(activity.exePath) + ", " +
        std::to_string(activity.startTime + 30 * 86400) + ");";
    return sql;
}

bool WriteTimelineDatabase(const std::wstring& path, const std::string& rows) {
    const std::string schema =
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE Metadata(Key TEXT PRIMARY KEY NOT NULL UNIQUE, Value TEXT);"
        "CREATE TABLE ManualSequence(Key TEXT PRIMARY KEY NOT NULL UNIQUE, Value INT NOT NULL);"
        "CREATE TABLE AppSettings(AppId TEXT PRIMARY KEY NOT NULL, SettingsPropertyBag BLOB, "
        "AppTitle TEXT, Logo4141 TEXT);"
        "CREATE TABLE Activity(Id GUID PRIMARY KEY NOT NULL, AppId TEXT NOT NULL, "
        "PackageIdHash TEXT, AppActivityId TEXT NOT NULL, ActivityType INT NOT NULL, "
        "ActivityStatus INT NOT NULL, ParentActivityId GUID, Tag TEXT, \"Group\" TEXT, "
        "MatchId TEXT, LastModifiedTime DATETIME NOT NULL, ExpirationTime DATETIME NOT NULL, "
        "Payload BLOB, Priority INT, IsLocalOnly INT, PlatformDeviceId TEXT, "
        "CreatedInCloud DATETIME, StartTime DATETIME, EndTime DATETIME, "
        "LastModifiedOnClient DATETIME, GroupAppActivityId TEXT, ClipboardPayload BLOB, "
        "EnterpriseId TEXT, OriginalPayload BLOB, OriginalLastModifiedOnClient DATETIME, "
        "ETag INT NOT NULL, GroupItems TEXT);"
        "CREATE TABLE ActivityOperation(OperationOrder INTEGER PRIMARY KEY ASC NOT NULL UNIQUE, "
        "Id GUID NOT NULL, OperationType INT NOT NULL, AppId TEXT NOT NULL, PackageIdHash TEXT, "
        "AppActivityId TEXT NOT NULL, ActivityType INT NOT NULL, ParentActivityId GUID, "
        "Tag TEXT, \"Group\" TEXT, MatchId TEXT, LastModifiedTime DATETIME NOT NULL, "
        "ExpirationTime DATETIME, Payload BLOB, Priority INT, CreatedTime DATETIME, "
        "Attachments TEXT, PlatformDeviceId TEXT, CreatedInCloud DATETIME, StartTime DATETIME, "
        "EndTime DATETIME, LastModifiedOnClient DATETIME, CorrelationVector TEXT, "
        "GroupAppActivityId TEXT, ClipboardPayload BLOB, EnterpriseId TEXT, "
        "OriginalPayload BLOB, OriginalLastModifiedOnClient DATETIME, ETag INT NOT NULL, "
        "GroupItems TEXT);"
        "CREATE TABLE Activity_PackageId(ActivityId GUID NOT NULL, Platform TEXT NOT NULL, "
        "PackageName TEXT NOT NULL, ExpirationTime INT NOT NULL, "
        "FOREIGN KEY(ActivityId) REFERENCES Activity(Id) ON DELETE CASCADE);"
        "CREATE INDEX Activity_PackageId_ActivityId ON Activity_PackageId(ActivityId);"
        "INSERT INTO Metadata VALUES('" +
        std::string(seeded::kTimelineSettingKey) +
        "', '{\"ActivityRetentionDays\":30}'), ('Version', '4');"
        "INSERT INTO ManualSequence VALUES('ActivityOperation', 1);"
        "INSERT INTO AppSettings(AppId, AppTitle) VALUES('Microsoft.Windows.Explorer', "
        "'File Explorer');";
    return WriteDatabase(path, schema + rows);
}

bool SeedWindows10Traces(int scale, StandardSeedManifest* manifest) {
    if (scale < 1) scale = 1;
    Writer w(manifest);
    bool ok = true;
    SeedOffice(w, scale);
    SeedFeatureUsage(w, scale);
    SeedTimeline(w, scale, ok);
    SeedMachineErrorReports(w, scale);
    SeedCrashDumps(w, scale);
    return w.Ok() && ok;
}
bool SeedWindows10(int scale) { return SeedWindows10Traces(scale, nullptr); }

}  // namespace veltrane
