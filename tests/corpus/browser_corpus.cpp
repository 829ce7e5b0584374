#include "browser_corpus.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <sqlite3.h>

#include "support/child_process.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kReports[] = L"C:\\VeltraneCorpusReports";

// An immutable URI for SQLite: percent-encoded, forward slashes.
std::string ImmutableUri(const std::wstring& path) {
    std::string uri = "file:///";
    for (unsigned char c : ToUtf8(path)) {
        if (c == '\\') c = '/';
        if (isalnum(c) || c == '/' || c == ':' || c == '.' || c == '-' || c == '_') {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri + "?immutable=1";
}

}  // namespace

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return {};
    return std::wstring(path) + L"\\";
}

bool PlantCorpusFile(const std::wstring& relative, const std::wstring& destination) {
    const std::wstring source = CorpusFile(relative);
    if (source.empty()) return false;
    MakeFolder(destination.substr(0, destination.rfind(L'\\')));
    return CopyFileW(source.c_str(), destination.c_str(), FALSE) != FALSE;
}

bool PlantCorpusFolder(const std::wstring& relative, const std::wstring& destination) {
    const std::wstring source = CorpusFile(relative);
    if (source.empty()) return false;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((source + L"\\*").c_str(), &data));
    if (!find) return false;
    bool ok = true;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ok = PlantCorpusFile(relative + L"\\" + data.cFileName,
                             destination + L"\\" + data.cFileName) &&
             ok;
    } while (FindNextFileW(find.Get(), &data));
    return ok;
}

std::vector<std::string> Column(const std::wstring& path, const std::string& sql) {
    std::vector<std::string> values;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(ImmutableUri(path).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                        nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                const unsigned char* text = sqlite3_column_text(statement, 0);
                values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
        } else {
            ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return values;
}

std::string One(const std::wstring& path, const std::string& sql) {
    std::vector<std::string> values = Column(path, sql);
    return values.empty() ? std::string() : values[0];
}

void Exec(const std::wstring& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open16(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "") << " in " << sql;
    sqlite3_free(error);
    sqlite3_close(db);
}

std::wstring RowItemKey(const std::wstring& page, const std::wstring& name) {
    const size_t cell = page.find(L"<td>" + name + L"</td>");
    const size_t row = cell == std::wstring::npos ? cell : page.rfind(L"<tr", cell);
    if (row == std::wstring::npos) return {};
    const std::wstring tag = page.substr(row, page.find(L'>', row) - row);
    const size_t start = tag.find(L"data-item=\"");
    if (start == std::wstring::npos) return {};
    const size_t begin = start + wcslen(L"data-item=\"");
    std::wstring key = tag.substr(begin, tag.find(L'"', begin) - begin);
    ReplaceAll(key, L"&amp;", L"&");
    return key;
}

std::string HostOf(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return {};
    std::string host = url.substr(scheme + 3);
    host = host.substr(0, host.find_first_of("/?#:"));
    return host;
}

std::vector<std::string> Traces::LeftIn(const std::wstring& path) const {
    const std::string bytes =
        ReadTestFile(path) + ReadTestFile(path + L"-wal") + ReadTestFile(path + L"-journal");
    std::vector<std::string> left;
    for (const std::string& text : gone_)
        if (kept_.find(text) == std::string::npos && bytes.find(text) != std::string::npos)
            left.push_back(text);
    return left;
}

void Untouched::Add(const std::wstring& path) { files_.emplace_back(path, ReadTestFile(path)); }

void Untouched::Expect() const {
    for (const auto& [path, bytes] : files_) {
        EXPECT_TRUE(FileExists(path)) << ToUtf8(path);
        EXPECT_TRUE(ReadTestFile(path) == bytes) << ToUtf8(path) << " changed";
    }
}

std::string UnattendedRun::Report(const std::wstring& id, bool clean) const {
    return ReadTestFile(std::wstring(kReports) + L"\\" + id + (clean ? L".clean" : L".scan") +
                        L".html");
}

UnattendedRun RunUnattended(bool clean, const std::wstring& ids) {
    RemoveTree(kReports);
    ChildResult child = RunChild(VeltraneCommand(std::wstring(clean ? L"/clean" : L"/scan") +
                                                 L" /only:" + ids + L" /json /report:" + kReports));
    UnattendedRun run;
    run.exitCode = child.exitCode;
    run.output = child.output;
    run.document = nlohmann::json::parse(child.output, nullptr, false);
    EXPECT_TRUE(child.started);
    EXPECT_TRUE(run.document.contains("plugins")) << child.output;
    return run;
}

const nlohmann::json& PluginEntry(const UnattendedRun& run, const std::string& id) {
    static const nlohmann::json none;
    if (!run.document.contains("plugins")) return none;
    for (const nlohmann::json& plugin : run.document["plugins"])
        if (plugin.value("id", "") == id) return plugin;
    return none;
}

void ExpectSoundReports(const UnattendedRun& run, std::initializer_list<const wchar_t*> ids) {
    const bool clean = run.document.value("mode", "") == "clean";
    for (const wchar_t* id : ids) {
        const std::string report = run.Report(id, clean);
        EXPECT_FALSE(report.empty()) << ToUtf8(id);
        EXPECT_EQ(report.find(clean ? "status status-failed" : "cannot be read"), std::string::npos)
            << ToUtf8(id) << report;
        EXPECT_EQ(report.find("\xEF\xBF\xBD"), std::string::npos) << ToUtf8(id);  // U+FFFD
        for (unsigned char c : report)
            if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
                ADD_FAILURE() << ToUtf8(id) << " holds control character " << int(c);
                break;
            }
        EXPECT_EQ(ToUtf8(FromUtf8(report)), report) << ToUtf8(id) << " is no valid UTF-8";
    }
}

size_t CountFiles(const std::wstring& folder) {
    size_t count = 0;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return 0;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        count += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                     ? CountFiles(folder + L"\\" + name)
                     : 1;
    } while (FindNextFileW(find.Get(), &data));
    return count;
}

bool HasWalOrShm(const std::wstring& database) {
    return FileExists(database + L"-wal") || FileExists(database + L"-shm");
}

}  // namespace veltrane
