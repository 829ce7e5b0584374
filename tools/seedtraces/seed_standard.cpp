#include "seedtraces/seed_standard.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>

#include "seedtraces/seed_util.h"
#include "seedtraces/seed_writer.h"
#include "seedtraces/seeders.h"
#include "sysaccess/handles.h"
#include "sysaccess/os_version.h"
#include "sysaccess/registry_keys.h"

namespace veltrane {

namespace {

using seeding::Writer;

const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;
constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
constexpr wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr wchar_t kControl[] = L"VeltraneControl";

std::wstring Format(const wchar_t* format, int number) {
    wchar_t text[512];
    swprintf(text, _countof(text), format, number);
    return text;
}

// "a" .. "z", then "aa", "ab", ...: the value names of the MRU lists.
std::wstring MruName(int index) {
    std::wstring name;
    for (++index; index > 0; index = (index - 1) / 26)
        name.insert(name.begin(), static_cast<wchar_t>(L'a' + (index - 1) % 26));
    return name;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, value, _countof(value));
    return length > 0 && length < _countof(value) ? value : L"";
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetTempPathW(MAX_PATH, path);
    std::wstring folder(path, length);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring AppData() {
    wchar_t path[MAX_PATH] = {};
    return SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE) ? path : L"";
}

std::wstring ParentOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void SeedRunHistory(Writer& w, int scale) {
    const std::wstring key = std::wstring(kExplorer) + L"RunMRU";
    const wchar_t* commands[] = {L"notepad",
                                 L"cmd",
                                 L"regedit",
                                 L"calc",
                                 L"mspaint",
                                 L"\\\\fileserver\\share",
                                 L"http://intranet.example/"};
    std::wstring order;
    int count = 6 * scale;
    for (int i = 0; i < count; ++i) {
        std::wstring command = commands[i % 7];
        if (i >= 7) command += L" C:\\Work\\file" + std::to_wstring(i) + L".txt";
        w.Value(HKCU, key, MruName(i), command + L"\\1");
        if (i < 26) order += MruName(i);
    }
    w.Value(HKCU, key, L"MRUList", order);
    // Only the values of the key are the list.
    w.ControlKey(HKCU, key + L"\\" + kControl);
}

void SeedOrderHistory(Writer& w) {
    const std::wstring menuOrder = std::wstring(kExplorer) + L"MenuOrder\\";
    w.Binary(HKCU, menuOrder + L"Start Menu\\Programs", L"Order", 96);
    w.Binary(HKCU, menuOrder + L"Favorites", L"Order", 64);
    w.ControlKey(HKCU, menuOrder + L"Start Menu\\Programs\\Accessories");
}

void SeedOpenHistory(Writer& w, int scale) {
    const std::wstring comDlg = std::wstring(kExplorer) + L"ComDlg32\\";
    const std::wstring key = comDlg + L"OpenSaveMRU";
    w.Key(HKCU, key);
    for (const wchar_t* type : {L"*", L"txt", L"doc", L"jpg"}) {
        std::wstring order;
        for (int i = 0; i < 4 * scale; ++i) {
            SeedString(HKCU, key + L"\\" + type, MruName(i),
                       L"C:\\Users\\Public\\Documents\\report" + std::to_wstring(i) + L"." +
                           (type[0] == L'*' ? L"xls" : type));
            if (i < 26) order += MruName(i);
        }
        SeedString(HKCU, key + L"\\" + type, L"MRUList", order);
    }
    w.ControlKey(HKCU, comDlg + kControl);
}

void SeedTempDir(Writer& w, int scale) {
    const std::wstring temp = TempFolder();
    // Whatever lies in the temporary folder is the plug-in's to remove.
    NoteTraceFolderContent(temp);
    for (int i = 0; i < 20 * scale; ++i)
        w.File(temp + L"\\" + Format(L"~DF%04X.tmp", 0x1A20 + i), 512 + 997 * (i % 13));
    w.File(temp + L"\\setup.log", 4096);
    std::wstring readOnly = temp + L"\\installer.lock";
    w.File(readOnly, 10);
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring office = temp + L"\\msohtmlclip1";
    w.Folder(office);
    w.Folder(office + L"\\01");
    w.File(office + L"\\01\\clip_image001.png", 24000);
    w.File(office + L"\\01\\clip_filelist.xml", 300);
    const std::wstring unpacked = temp + L"\\_MEI" + std::to_wstring(4711);
    w.Folder(unpacked);
    w.File(unpacked + L"\\python.dll", 150000);
    w.Folder(temp + L"\\empty folder");
    // The folder itself stays, and nothing beside it is touched.
    w.ControlFolder(temp);
    w.MadeFolder(ParentOf(temp) + L"\\" + kControl);
    w.ControlFile(ParentOf(temp) + L"\\" + kControl + L"\\keep.txt");
    w.ControlFolder(ParentOf(temp) + L"\\" + kControl);
}

void SeedRegeditLastKey(Writer& w) {
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
    w.Value(HKCU, key, L"LastKey", L"My Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft");
    w.ControlValue(HKCU, key, L"View", L"Details");
}

void SeedLogonNames(Writer& w) {
    const std::wstring ntUser = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    const std::wstring user9x = L"Software\\Microsoft\\Windows\\CurrentVersion\\Winlogon";
    const std::wstring machine = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    w.Value(HKCU, ntUser, L"DefaultUserName", L"alice");
    w.Value(HKCU, ntUser, L"AltDefaultUserName", L"alice.smith");
    w.Value(HKCU, user9x, L"DefaultUserName", L"alice");
    w.Value(HKLM, machine, L"DefaultUserName", L"alice");
    w.Value(HKLM, machine, L"AltDefaultUserName", L"Administrator");
    w.Value(HKLM, L"Network\\Logon", L"username", L"alice");
    w.Value(HKCU, ntUser, L"DefaultDomainName", L"CORP");
    w.Value(HKCU, ntUser, L"AltDefaultDomainName", L"CORP-EU");
    w.Value(HKCU, user9x, L"DefaultDomainName", L"CORP");
    w.Value(HKLM, machine, L"DefaultDomainName", L"CORP");
    w.Value(HKLM, machine, L"AltDefaultDomainName", L"WORKGROUP");
    w.ControlValue(HKLM, machine, kControl, L"logon settings stay");
    w.ControlValue(HKLM, L"Network\\Logon", L"PrimaryProvider", L"Microsoft Network");
}

// Each Windows keeps its search history in its own place; only the one the
// running Windows uses is written.
void SeedFindHistory(Writer& w, int scale) {
    if (IsWindowsXP()) {
        const std::wstring key = L"Software\\Microsoft\\Search Assistant\\ACMru";
        w.Key(HKCU, key);
        for (int i = 0; i < 3 * scale; ++i)
            SeedString(HKCU, key + L"\\5603", Format(L"%03d", i), L"budget " + std::to_wstring(i));
        w.ControlKey(HKCU, L"Software\\Microsoft\\Search Assistant\\" + std::wstring(kControl));
        return;
    }
    if (IsWindows2000() || IsWindowsMe()) {
        const std::wstring bars = L"Software\\Microsoft\\Internet Explorer\\Explorer Bars\\";
        const std::wstring key = bars + L"{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}";
        w.Key(HKCU, key);
        for (int i = 0; i < 3 * scale; ++i)
            SeedString(HKCU, key + L"\\FilesNamedMRU", Format(L"%03d", i),
                       L"*.doc budget " + std::to_wstring(i));
        w.ControlKey(HKCU, bars + kControl);
        return;
    }
    for (const wchar_t* name : {L"FindComputerMRU", L"Doc Find Spec MRU"}) {
        const std::wstring key = std::wstring(kExplorer) + name;
        w.Key(HKCU, key);
        std::wstring order;
        for (int i = 0; i < 3 * scale; ++i) {
            SeedString(HKCU, key, MruName(i), L"budget" + std::to_wstring(i));
            if (i < 26) order += MruName(i);
        }
        SeedString(HKCU, key, L"MRUList", order);
    }
    w.ControlKey(HKCU, std::wstring(kExplorer) + kControl);
}

void SeedInternetExplorer(Writer& w, int scale) {
    const std::wstring ie = L"Software\\Microsoft\\Internet Explorer\\";
    const std::wstring forms = ie + L"IntelliForms";
    w.Key(HKCU, forms);
    for (int i = 0; i < 3 * scale; ++i)
        w.Binary(HKCU, forms + L"\\SPW", Format(L"E5A7C0F1B2D3%04X", i), 180);
    SeedDword(HKCU, forms, L"AskUser", 0);

    for (int i = 1; i <= 10 * scale; ++i)
        w.Value(HKCU, kTypedUrlsKey, Format(L"url%d", i),
                Format(L"http://www.example%d.com/", i) + (i % 3 == 0 ? L"news?a=1&b=<2>" : L""));
    w.ControlValue(HKCU, ie + L"Main", L"Start Page", L"http://www.example.com/");

    const std::wstring settings =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    std::wstring downloads = Environment(L"WinDir") + L"\\Downloaded Program Files";
    w.Setting(HKLM, settings, L"ActiveXCache", downloads);
    NoteTraceFolderContent(downloads);  // the plug-in empties the whole folder
    w.File(downloads + L"\\swflash.inf", 2100);
    w.File(downloads + L"\\swflash.ocx", 140000);
    w.Folder(downloads + L"\\CONFLICT.1");
    w.File(downloads + L"\\CONFLICT.1\\setup.inf", 900);
    w.ControlFolder(downloads);

    const std::wstring helpers =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    w.Key(HKLM, helpers);
    SeedString(HKLM, helpers + L"\\{A1B2C3D4-0000-4000-8000-000000000001}", L"",
               L"Example Toolbar");
    SeedDword(HKLM, helpers + L"\\{A1B2C3D4-0000-4000-8000-000000000002}", L"NoExplorer", 1);
    w.ControlKey(
        HKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\" + std::wstring(kControl));
}

void SeedAol(Writer& w) {
    const std::wstring root = Environment(L"ProgramFiles") + L"\\America Online 9.0";
    w.MadeFolder(root);
    w.Setting(HKLM, std::wstring(kAppPaths) + L"Aol.exe", L"Path", root);
    w.Setting(HKLM, std::wstring(kAppPaths) + L"Aol.exe", L"", root + L"\\aol.exe");
    const std::wstring organize = root + L"\\organize";
    w.File(organize + L"\\Screen Name.ARL", 3000);
    w.File(organize + L"\\Screen Name.AUT", 1200);
    w.File(organize + L"\\Guest.ARL", 800);
    // Only the lists directly in the folder are the history.
    w.ControlFile(organize + L"\\mail.pfc");
    w.ControlFile(organize + L"\\Archive\\old.ARL");
    w.ControlFolder(organize);
}

void SeedOpera(Writer& w, int scale) {
    const std::wstring root = Environment(L"ProgramFiles") + L"\\Opera";
    w.MadeFolder(root);
    w.Setting(HKLM, std::wstring(kAppPaths) + L"Opera.exe", L"Path", root);
    w.MadeFolder(AppData() + L"\\Opera");
    const std::wstring profile = AppData() + L"\\Opera\\Opera7\\profile";
    for (const std::wstring& folder : {root, profile}) {
        w.File(folder + L"\\opera.dir", 5200);
        w.File(folder + L"\\global.dat", 8800);
        w.File(folder + L"\\cookies4.dat", 6400);
        for (int i = 0; i < 5 * scale; ++i)
            w.File(folder + L"\\Cache4" + Format(L"\\opr%05X.tmp", i + 1), 700 + 311 * i);
        // The cache's sub-folders and the settings are not traces.
        w.ControlFile(folder + L"\\Cache4\\sessions\\autosave.win");
        w.ControlFile(folder + L"\\opera6.ini");
    }
}

void SeedMediaPlayers(Writer& w, int scale) {
    const std::wstring player = L"Software\\Microsoft\\MediaPlayer\\Player\\";
    for (int i = 0; i < 4 * scale; ++i) {
        w.Value(HKCU, player + L"RecentURLList", Format(L"URL%d", i),
                Format(L"http://media.example/stream%d.asx", i));
        w.Value(HKCU, player + L"RecentFileList", Format(L"File%d", i),
                Format(L"C:\\Users\\Public\\Music\\track%02d.wma", i));
    }
    w.ControlValue(HKCU, player + L"Settings", L"Volume", L"75");

    const std::wstring user = L"SOFTWARE\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
    const std::wstring machine = L"SOFTWARE\\Classes\\" + user;
    for (int n = 1; n <= 4; ++n) {
        w.Key(HKCU, user + Format(L"MostRecentClips%d", n));
        SeedString(HKCU, user + Format(L"MostRecentClips%d", n), L"",
                   Format(L"file://C:\\Users\\Public\\Videos\\clip%d.rm", n));
    }
    w.Key(HKLM, machine + L"MostRecentClips1");
    SeedString(HKLM, machine + L"MostRecentClips1", L"", L"rtsp://media.example/live.rm");
    w.Key(HKCU, user + L"HistoryList");
    SeedString(HKCU, user + L"HistoryList", L"1", L"rtsp://media.example/news.rm");
    SeedString(HKCU, user + L"HistoryList\\Extra", L"", L"nested");
    w.ControlKey(HKCU, user + L"Volume");

    const std::wstring acd32 = L"Software\\ACD Systems\\ACDSee32";
    w.Value(HKCU, acd32, L"LastFolder", L"C:\\Users\\Public\\Pictures\\Holiday");
    w.Binary(HKCU, acd32, L"HistPaths", 120);
    w.Value(HKCU, acd32, L"OpenFolder", L"C:\\Users\\Public\\Pictures");
    for (const wchar_t* key :
         {L"Software\\ACD Systems\\ACDSee\\50", L"Software\\ACD Systems\\ACDSee"}) {
        w.Value(HKCU, key, L"HistPaths", L"C:\\Users\\Public\\Pictures\\Holiday");
        w.Value(HKCU, key, L"OpenFolder", L"C:\\Users\\Public\\Pictures");
        w.Value(HKCU, key, L"HistSearchText", L"beach");
        w.Value(HKCU, key, L"HistFileFilters", L"*.jpg;*.png");
    }
    w.ControlValue(HKCU, acd32, L"WindowPos", L"0,0,800,600");
}

}  // namespace

bool SeedStandardTraces(int scale, StandardSeedManifest* manifest) {
    if (scale < 1) scale = 1;
    Writer w(manifest);
    SeedRunHistory(w, scale);
    SeedOrderHistory(w);
    SeedOpenHistory(w, scale);
    SeedTempDir(w, scale);
    SeedRegeditLastKey(w);
    SeedLogonNames(w);
    SeedFindHistory(w, scale);
    SeedInternetExplorer(w, scale);
    SeedAol(w);
    SeedOpera(w, scale);
    SeedMediaPlayers(w, scale);
    return w.Ok();
}

bool SeedStandard(int scale) { return SeedStandardTraces(scale, nullptr); }

bool RenumberTypedUrls(const std::wstring& newAddress) {
    const RegKey key = CreateRegKeyAsGranted(HKCU, kTypedUrlsKey);
    if (!key) return false;
    std::vector<std::wstring> addresses{newAddress};
    for (int n = 1;; ++n) {
        wchar_t data[2048] = {};
        DWORD size = sizeof(data) - sizeof(wchar_t);
        if (RegQueryValueExW(key.Get(), Format(L"url%d", n).c_str(), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
            break;
        addresses.push_back(data);
    }
    bool ok = true;
    for (size_t i = 0; i < addresses.size(); ++i) {
        const std::wstring& address = addresses[i];
        ok = RegSetValueExW(key.Get(), Format(L"url%d", static_cast<int>(i + 1)).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(address.c_str()),
                            static_cast<DWORD>((address.size() + 1) * sizeof(wchar_t))) ==
                 ERROR_SUCCESS &&
             ok;
    }
    return ok;
}

}  // namespace veltrane
