// Plants hostile text wherever a report or dialog of the program shows data,
// for the browser tests: hostile_traces plant|remove FILE.json. The file
// names each place and the text to plant there (UTF-8); the browser test
// checks that each shows as text and none runs as script.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <sqlite3.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "seedtraces/modern_browsers.h"
#include "sysaccess/file_bytes.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
constexpr wchar_t kRunMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

std::wstring Known(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return {};
    return std::wstring(path) + L"\\";
}

std::wstring ChromeUserData() {
    return Known(CSIDL_LOCAL_APPDATA) + L"Google\\Chrome\\User Data\\";
}
std::wstring FirefoxRoot() { return Known(CSIDL_APPDATA) + L"Mozilla\\Firefox\\"; }
std::wstring FirefoxCache() { return Known(CSIDL_LOCAL_APPDATA) + L"Mozilla\\Firefox\\"; }

std::wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetTempPathW(MAX_PATH, path);
    return std::wstring(path, length);
}

// A text as an SQL literal ('...'), or with `quote` '"' as an identifier.
std::string Quoted(const std::string& text, char quote = '\'') {
    std::string quoted(1, quote);
    for (char c : text) {
        if (c == quote) quoted += quote;
        quoted += c;
    }
    return quoted + quote;
}

// The place's text, as UTF-8.
std::string Text(const nlohmann::json& text, const char* place) {
    auto found = text.find(place);
    return found != text.end() && found->is_string() ? found->get<std::string>() : place;
}

// Runs `sql` on an existing database the way any program may write it.
bool Exec(const std::wstring& database, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(ToUtf8(database).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
                  SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) fprintf(stderr, "%s: %s\n", ToUtf8(database).c_str(), sqlite3_errmsg(db));
    sqlite3_close(db);
    return ok;
}

bool SetValue(const wchar_t* key, const std::wstring& name, const std::wstring& data) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result =
        RegSetValueExW(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return result == ERROR_SUCCESS;
}

// Chrome's Default profile, named with markup, with markup in its history,
// cookies and form entries, and a trigger that would fail every clean of its
// history with markup for a message. "Profile 2" has a history whose pages
// may not be reset: its clean fails with SQLite's message, which names the
// constraint (markup again).
bool PlantChrome(const nlohmann::json& text) {
    const std::wstring userData = ChromeUserData();
    const std::wstring first = userData + L"Default\\";
    const std::wstring second = userData + L"Profile 2\\";
    bool ok = WriteChromiumUserData(userData, {{L"Default", FromUtf8(Text(text, "chromeProfile"))},
                                               {L"Profile 2", L"Checked"}});
    ok = WriteChromiumProfile(first, first) && ok;
    ok = WriteChromiumProfile(second, second) && ok;
    ok = Exec(first + L"History",
              "INSERT INTO urls VALUES(100," +
                  Quoted("https://" + Text(text, "historyDomain") + "/page") + "," +
                  Quoted(Text(text, "historyTitle")) +
                  ",1,0,13340000000000000,0);"
                  "INSERT INTO visits(url,visit_time,transition) VALUES(100,13340000000000000,0);"
                  "CREATE TRIGGER hostile BEFORE DELETE ON visits BEGIN SELECT RAISE(ABORT, " +
                  Quoted(Text(text, "trigger")) + "); END;") &&
         ok;
    ok = Exec(first + L"Network\\Cookies",
              "INSERT INTO cookies SELECT creation_utc+100," + Quoted(Text(text, "cookieHost")) +
                  ",top_frame_site_key," + Quoted(Text(text, "cookieName")) +
                  ",value,encrypted_value,path,expires_utc,is_secure,is_httponly,last_access_utc,"
                  "has_expires,is_persistent,priority,samesite,source_scheme,source_port,"
                  "last_update_utc FROM cookies LIMIT 1;") &&
         ok;
    ok = Exec(first + L"Web Data", "INSERT INTO autofill(name,value,value_lower) VALUES(" +
                                       Quoted(Text(text, "formField")) + "," +
                                       Quoted(Text(text, "formValue")) + ",'x');") &&
         ok;
    ok = Exec(second + L"History",
              "ALTER TABLE urls RENAME TO plain_urls;"
              "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT,url LONGVARCHAR,title "
              "LONGVARCHAR,visit_count INTEGER DEFAULT 0 NOT NULL,typed_count INTEGER DEFAULT 0 "
              "NOT NULL,last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL,"
              "CONSTRAINT " +
                  Quoted(Text(text, "sqliteCheck"), '"') +
                  " CHECK (last_visit_time <> 0));"
                  "INSERT INTO urls SELECT * FROM plain_urls; DROP TABLE plain_urls;") &&
         ok;
    return ok;
}

// A Firefox profile named with markup, with markup for a form field.
bool PlantFirefox(const nlohmann::json& text) {
    const std::wstring relative = L"Profiles\\hostile.default\\";
    bool ok = WriteProfilesIni(FirefoxRoot(), {{FromUtf8(Text(text, "firefoxProfile")),
                                                L"Profiles/hostile.default", true}});
    ok = WriteFirefoxProfile(FirefoxRoot() + relative, FirefoxCache() + relative) && ok;
    ok = Exec(FirefoxRoot() + relative + L"formhistory.sqlite",
              "INSERT INTO moz_formhistory(fieldname,value,timesUsed,firstUsed,lastUsed,guid) "
              "VALUES(" +
                  Quoted(Text(text, "firefoxFormField")) + ",'x',1,1,1,'hostile00001');") &&
         ok;
    return ok;
}

bool Plant(const nlohmann::json& text) {
    bool ok = PlantChrome(text);
    ok = PlantFirefox(text) && ok;
    ok = SetValue(kTypedUrls, L"url1", FromUtf8(Text(text, "typedUrl"))) && ok;
    ok = SetValue(kRunMru, FromUtf8(Text(text, "runMru")), L"notepad\\1") && ok;
    ok = SetValue(kRunMru, L"MRUList", L"a") && ok;
    return WriteWholeFile(TempFolder() + FromUtf8(Text(text, "tempFile")), "hostile").Done() && ok;
}

void RemoveTree(const std::wstring& folder) {
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\') from.pop_back();
    from.push_back(L'\0');  // the list's second NUL
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

void Remove(const nlohmann::json& text) {
    RemoveTree(ChromeUserData());
    RemoveTree(FirefoxRoot());
    RemoveTree(FirefoxCache());
    DeleteFileW((TempFolder() + FromUtf8(Text(text, "tempFile"))).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kTypedUrls);
    RegDeleteTreeW(HKEY_CURRENT_USER, kRunMru);
}

}  // namespace

}  // namespace veltrane

int wmain(int argc, wchar_t** argv) {
    using namespace veltrane;
    const std::wstring command = argc == 3 ? argv[1] : L"";
    if (command != L"plant" && command != L"remove") {
        fprintf(stderr, "usage: hostile_traces plant|remove FILE.json\n");
        return 2;
    }
    const std::optional<std::string> content = TryReadWholeFile(argv[2]);
    if (!content) {
        fprintf(stderr, "cannot read the file\n");
        return 2;
    }
    nlohmann::json text = nlohmann::json::parse(*content, nullptr, false);
    if (!text.is_object()) {
        fprintf(stderr, "not a JSON object\n");
        return 2;
    }
    if (command == L"remove") {
        Remove(text);
        return 0;
    }
    return Plant(text) ? 0 : 1;
}
