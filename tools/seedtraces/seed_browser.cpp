// Traces for the Internet Explorer and Netscape-family plug-ins: URL cache
// entries, cookies and history through WinInet, Protected Storage items,
// and Mozilla, Firefox and Netscape 4 profiles, with neighbours that must
// survive a clean.
#include <windows.h>

#include <shlobj.h>

#include <string>

#include "seedtraces/browser_traces.h"
#include "seedtraces/seed_util.h"
#include "seedtraces/seeders.h"
#include "sysaccess/reg_security.h"

namespace veltrane {

namespace {

constexpr wchar_t kFormsType[] = L"e161255a-37c3-11d2-bcaa-00c04fd929db";

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return {};
    return path;
}

bool SeedUrlCache(int scale) {
    bool ok = true;
    const wchar_t* pages[] = {
        L"http://www.example.com/index.html", L"https://example.com/style.css",
        L"http://Example.com/logo.png",       L"http://news.site.org/today.html",
        L"https://secure.bank.test/login",    L"ftp://ftp.files.test/readme.txt",
        L"res://ieframe.dll/dnserror.htm",    L"nocolonentry",
    };
    for (const wchar_t* page : pages) ok = AddCacheEntry(page, 2048) && ok;
    // The bulk that --scale multiplies, spread over a few domains.
    for (int i = 0; i < 12 * scale; ++i) {
        std::wstring url = L"http://www.bulk" + std::to_wstring(i % 7) + L".example/page" +
                           std::to_wstring(i) + L".html";
        ok = AddCacheEntry(url, 1000 + (i % 13) * 100) && ok;
    }

    ok = AddCookie(L"http://www.cookies.test/", L"session", L"abc123") && ok;
    ok = AddCookie(L"http://cookies.test/shop", L"cart", L"3-items") && ok;
    ok = AddCookie(L"http://tracker.ads.test/", L"uid", L"0f0f0f0f") && ok;

    SYSTEMTIME visited = {2026, 12, 1, 7, 0, 15, 0, 0};
    FILETIME time;
    SystemTimeToFileTime(&visited, &time);
    ok = AddHistoryEntry(L"http://www.visited.test/", &time) && ok;
    ok = AddHistoryEntry(L"https://visited.test/news", nullptr) && ok;
    ok = AddHistoryEntry(L"http://www.other.test/a", nullptr) && ok;
    ok = AddHistoryEntry(L"file:///C:/Users/Public/report.txt", nullptr) && ok;

    // The stores WinInet keeps its entries in belong to the plug-ins that empty them.
    for (int csidl : {CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY})
        NoteTraceFolderContent(SpecialFolder(csidl));
    std::wstring history = SpecialFolder(CSIDL_HISTORY);
    ok = !history.empty() &&
         SeedFile(history + L"\\MSHist012026120120261208\\visits.dat", "visited pages") && ok;
    return ok;
}

bool SeedProtectedStorage() {
    std::wstring sid = GetCurrentUserSidString();
    if (sid.empty()) return false;
    const std::wstring data =
        L"Software\\Microsoft\\Protected Storage System Provider\\" + sid + L"\\Data";
    const std::wstring items = data + L"\\" + kFormsType + L"\\" + kFormsType;
    // The forms items may go (the clean takes those it listed); other item types stay.
    NoteTraceKey(HKEY_CURRENT_USER, data + L"\\" + kFormsType);
    const BYTE secret[] = {1, 2, 3, 4};
    bool ok = true;
    for (const wchar_t* item : {L"username:StringData", L"username:StringIndex", L"q:StringData",
                                L"http://www.bank.test/login.aspx:StringData",
                                L"https://bank.test/login.aspx:StringData", L"nickname"})
        ok = SeedBinary(HKEY_CURRENT_USER, items + L"\\" + item, L"Item Data", secret,
                        sizeof(secret)) &&
             ok;
    // Another item type of the same account: not forms data, must stay.
    ok = SeedBinary(HKEY_CURRENT_USER, data + L"\\5e7e8100-9138-11d1-945a-00c04fc308ff\\keep",
                    L"Item Data", secret, sizeof(secret)) &&
         ok;
    return ok;
}

std::string CookiesTxt(const std::string& hosts) {
    std::string content =
        "# Netscape HTTP Cookie File\r\n"
        "# This is a generated file!  Do not edit.\r\n\r\n";
    content += hosts;
    // A cookie line far longer than any fixed line buffer.
    content += ".long.test\tTRUE\t/\tFALSE\t2145916800\tblob\t" + std::string(5000, 'L') + "\r\n";
    return content;
}

// One profile folder of the Netscape family with the files its plug-ins read.
bool SeedProfile(const std::wstring& folder, const std::string& site, bool forms) {
    // History goes, cookies are rewritten, stored forms and passwords go.
    for (const wchar_t* trace : {L"history.dat", L"cookies.txt", L"52391842.s", L"70271530.w"})
        NoteTraceFile(folder + trace);
    NoteTraceFolderContent(folder + L"Cache");
    NoteTraceFolderContent(folder + L"Cache.Trash");
    bool ok = SeedFile(folder + L"history.dat",
                       "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n(80=http://www." + site +
                           "/)(81=https://" + site + "/news/)(82=ftp://ftp." + site + "/pub/)\n");
    ok = SeedFile(folder + L"cookies.txt",
                  CookiesTxt("." + site + "\tTRUE\t/\tFALSE\t2145916800\tid\t42\r\n" + "www." +
                             site + "\tFALSE\t/\tFALSE\t2145916800\tpref\tblue\r\n")) &&
         ok;
    ok = SeedFile(folder + L"prefs.js",
                  "# Mozilla User Preferences\n"
                  "user_pref(\"browser.startup.homepage\", \"http://www." +
                      site + "/\");\n" +
                      (forms ? "user_pref(\"signon.SignonFileName\", \"52391842.s\");\n"
                               "user_pref(\"wallet.SchemaValueFileName\", \"70271530.w\");\n"
                             : "")) &&
         ok;
    ok = SeedFile(folder + L"user.js",
                  "user_pref(\"browser.display.use_system_colors\", true);\n") &&
         ok;
    ok = SeedFile(folder + L"bookmarks.html", "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n") && ok;
    if (forms) {
        ok = SeedFile(folder + L"52391842.s",
                      "#2c\n.\nhttp://www.login." + site + "\nuser\n*pass\n.\n") &&
             ok;
        ok = SeedFile(folder + L"70271530.w", "W\nwww.shop." + site + "/order\nname\n") && ok;
    }
    return ok;
}

bool SeedNetscapeFamily() {
    const std::wstring appData = SpecialFolder(CSIDL_APPDATA);
    if (appData.empty()) return false;
    const std::wstring mozilla = appData + L"\\Mozilla\\Profiles\\default\\k3w9x2ab.slt\\";
    bool ok = SeedProfile(mozilla, "mozilla-site.test", true);
    ok = SeedFile(mozilla + L"Cache\\_CACHE_MAP_", std::string(4096, '\0')) && ok;
    ok = SeedFile(mozilla + L"Cache\\0A1B2C3Dd01", "cached page") && ok;
    ok = SeedFile(mozilla + L"Cache.Trash\\old.bin", "trash") && ok;

    const std::wstring firefox = appData + L"\\Mozilla\\Firefox\\Profiles\\p4ke8r2x.default\\";
    ok = SeedProfile(firefox, "firefox-site.test", false) && ok;

    const std::wstring program = L"C:\\Program Files\\Netscape\\Communicator";
    ok = SeedString(HKEY_CURRENT_USER, L"Software\\Netscape\\Netscape Navigator\\Main",
                    L"Install Directory", program) &&
         ok;
    ok = SeedString(HKEY_CURRENT_USER, L"Software\\Netscape\\Netscape Navigator\\biff",
                    L"CurrentUser", L"jdoe") &&
         ok;
    ok = SeedFolder(program) && ok;
    const std::wstring netscape4 = L"C:\\Program Files\\Netscape\\Users\\jdoe\\";
    ok = SeedProfile(netscape4, "navigator-site.test", true) && ok;
    ok = SeedFile(netscape4 + L"Cache\\M0FXQ9L1.HTM", "cached page") && ok;
    return ok;
}

}  // namespace

bool SeedBrowser(int scale) {
    bool ok = SeedUrlCache(scale);
    ok = SeedProtectedStorage() && ok;
    return SeedNetscapeFamily() && ok;
}

}  // namespace veltrane
