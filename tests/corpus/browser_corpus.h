#pragma once
// What the browser corpus tests share: the sandbox's profile places, planting
// a corpus file, the truth read from a database with SQLite itself (never
// through the program's code), and one unattended run of the program with
// its reports.
#include <windows.h>

#include <shlobj.h>

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support/corpus.h"

namespace veltrane {

std::wstring KnownFolder(int csidl);  // with a trailing backslash

// Copies the corpus file `relative` to `destination`, folders made on the way.
bool PlantCorpusFile(const std::wstring& relative, const std::wstring& destination);
// Copies every file of the corpus folder `relative` into `destination`.
bool PlantCorpusFolder(const std::wstring& relative, const std::wstring& destination);

// The first column of every row of `sql` on the database at `path`, read as
// the file stands (SQLite's immutable mode: the read writes nothing beside it).
std::vector<std::string> Column(const std::wstring& path, const std::string& sql);
std::string One(const std::wstring& path, const std::string& sql);
// Runs `sql` on the database at `path`, as a browser writing to it would.
void Exec(const std::wstring& path, const std::string& sql);
// The data-item key of the report row whose first cell is `name` ("" when
// it has none).
std::wstring RowItemKey(const std::wstring& page, const std::wstring& name);

// The host of a URL ("" when it has none), as a reader of the URL sees it.
std::string HostOf(const std::string& url);

// Texts a clean must have removed from a file: each of `gone`, except those
// that are part of what stays (`kept`: the rows the clean keeps, as text).
class Traces {
public:
    void Add(const std::string& text) {
        if (text.size() >= 4) gone_.insert(text);
    }
    void Keep(const std::string& text) { kept_ += text + '\n'; }
    // The traces still in the bytes of `path` (and its -wal and -journal).
    std::vector<std::string> LeftIn(const std::wstring& path) const;
    size_t Size() const { return gone_.size(); }

private:
    std::set<std::string> gone_;
    std::string kept_;
};

// Files that must be byte for byte as they were.
class Untouched {
public:
    void Add(const std::wstring& path);
    void Expect() const;

private:
    std::vector<std::pair<std::wstring, std::string>> files_;
};

struct UnattendedRun {
    DWORD exitCode = 0;
    nlohmann::json document;  // the /json output
    std::string output;
    // The report `ID.scan.html` or `ID.clean.html` of the run.
    std::string Report(const std::wstring& id, bool clean) const;
};
// Runs `veltrane.exe /scan` or `/clean` for `ids` with /json and /report.
UnattendedRun RunUnattended(bool clean, const std::wstring& ids);
// The plug-in entry of `id` in the run's /json output (null when absent).
const nlohmann::json& PluginEntry(const UnattendedRun& run, const std::string& id);

// The run's reports of `ids` are readable (no control or replacement
// characters, no invalid UTF-8) and show no failed row (a clean) and no
// database that could not be read (a scan).
void ExpectSoundReports(const UnattendedRun& run, std::initializer_list<const wchar_t*> ids);
// Files below `folder`, recursively (folders not counted).
size_t CountFiles(const std::wstring& folder);
bool HasWalOrShm(const std::wstring& database);

}  // namespace veltrane
