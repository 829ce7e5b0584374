#include <functional>

#include "plugins/browser/byte_file.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/netscape_profiles.h"
#include "sysaccess/file_bytes.h"
#include "sysaccess/file_info.h"
#include "sysaccess/text.h"
#include "sysaccess/trace.h"

namespace veltrane {

namespace {

// Visits every non-empty profile folder with progress; `visit` returns false
// to end the reading. False when cancelled or a finder failed.
bool ReadProfiles(bool withFirefox, IRunProgress& run,
                  const std::function<bool(const std::wstring&)>& visit) {
    std::optional<ProfileList> profiles = BuildProfileList(withFirefox);
    if (!profiles) return false;
    run.ReportProgress(L"");
    std::wstring dots = L".";
    for (const std::wstring& folder : *profiles) {
        if (folder.empty()) continue;
        if (run.IsCancelled()) return false;
        run.ReportProgress(dots);
        dots += L'.';
        if (!visit(folder)) break;
    }
    return true;
}

// Counts the hosts of one file into the domain map, and notes each domain
// once in the file it came from (when the file is noted).
class DomainTally {
public:
    DomainTally(DomainMap& domains, WholeFile* file) : domains_(domains), file_(file) {}
    void Count(const std::wstring& name) {
        ++FindOrAddDomain(domains_, name).itemCount;
        if (file_ != nullptr) file_->domains.insert(name);
    }

private:
    DomainMap& domains_;
    WholeFile* file_;
};

// The text of a whole-read file up to its first zero byte, as text mode reads it.
std::string SearchableText(std::string bytes) {
    size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
    return ToTextMode(std::move(bytes));
}

void FileHistoryHosts(const std::string& text, DomainTally tally) {
    for (const char* scheme : {"http://", "https://", "ftp://"}) {
        const size_t length = strlen(scheme);
        for (size_t at = text.find(scheme); at != std::string::npos;
             at = text.find(scheme, at + length)) {
            size_t start = at + length;
            size_t end = text.find('/', start);
            if (end == std::string::npos) end = text.size();
            tally.Count(FromUtf8(std::string_view(text).substr(start, end - start)));
        }
    }
}

void FileSignonHosts(const std::string& text, DomainTally tally) {
    for (size_t at = text.find("http://"); at != std::string::npos;) {
        size_t start = at + 7;
        if (text.compare(start, 4, "www.") == 0) start += 4;
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        tally.Count(FromUtf8(std::string_view(text).substr(start, end - start)));
        at = text.find("http://", start);
    }
}

void FileWalletHosts(const std::string& text, DomainTally tally) {
    for (size_t at = text.find("\nwww."); at != std::string::npos;) {
        size_t start = at + 5;
        // The host ends at its path or its line, whichever comes first.
        size_t end = text.find_first_of("/\n", start);
        if (end == std::string::npos) end = text.size();
        tally.Count(FromUtf8(std::string_view(text).substr(start, end - start)));
        at = text.find("\nwww.", start);
    }
}

// Notes a whole file the scan read, once: as the clean is to find it again,
// or, reached through a link or another name or not identified, with why the
// clean leaves it. The noted file; nothing when not noting or it is gone.
WholeFile* NoteReadFile(const std::wstring& path, std::vector<WholeFile>* files) {
    if (files == nullptr) return nullptr;
    IdentityReadOutcome read = ReadFileIdentity(path);
    WholeFile file;
    if (read.kind == IdentityRead::kRead) {
        file.identity = std::move(read.identity);
    } else if (read.kind == IdentityRead::kRefused) {
        file.identity.path = path;
        file.refusal = std::move(read.reason);
    } else if (read.kind == IdentityRead::kFailed) {
        file.identity.path = path;
        file.refusal = L"could not be identified (error " + std::to_wstring(read.error) + L")";
    } else {
        return nullptr;
    }
    for (WholeFile& noted : *files)
        if (_wcsicmp(noted.identity.path.c_str(), file.identity.path.c_str()) == 0) return &noted;
    return &files->emplace_back(std::move(file));
}

}  // namespace

std::optional<std::wstring> CookieLineDomain(std::string_view lineText) {
    if (lineText.empty() || lineText[0] == '#' || lineText[0] == '\r') return std::nullopt;
    size_t tab = lineText.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    std::string_view host = lineText.substr(0, tab);
    if (host.substr(0, 1) == ".")
        host.remove_prefix(1);
    else if (host.substr(0, 4) == "www." || host.substr(0, 4) == "ftp.")
        host.remove_prefix(4);
    return BytesToWide(host);
}

bool GetNetscapeHistory(DomainMap& domains, IRunProgress& run, std::vector<WholeFile>* files) {
    bool result = true;
    bool walked = ReadProfiles(true, run, [&](const std::wstring& folder) {
        const std::wstring path = folder + L"history.dat";
        std::string bytes;
        DWORD error = ReadByteFile(path, bytes);
        if (error == ERROR_SUCCESS) {
            WholeFile* file = NoteReadFile(path, files);
            FileHistoryHosts(SearchableText(std::move(bytes)), DomainTally(domains, file));
        } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            Trace(L"GetNetscapeHistoryError: Can not open file: %ls  code:%lu", path.c_str(),
                  error);
            result = false;
        }
        return true;
    });
    return walked && result;
}

bool GetNetscapeCookies(DomainMap& domains, IRunProgress& run) {
    bool result = true;
    bool walked = ReadProfiles(true, run, [&](const std::wstring& folder) {
        const std::wstring path = folder + L"cookies.txt";
        std::string bytes;
        DWORD error = ReadByteFile(path, bytes);
        // A profile folder that is gone holds nothing; a profile without its
        // cookie file cannot be read. A current Firefox profile keeps its
        // cookies in cookies.sqlite (FirefoxCookies): nothing here for this reader.
        if (error == ERROR_PATH_NOT_FOUND) return true;
        if (error == ERROR_FILE_NOT_FOUND && PathExists(folder + L"cookies.sqlite")) return true;
        if (error != ERROR_SUCCESS) {
            if (error != ERROR_FILE_NOT_FOUND)
                Trace(L"GetNetscapeCookies: Error in file%ls", path.c_str());
            result = false;
            return false;
        }
        for (std::string_view line : SplitLinesKeepingEnds(bytes))
            if (auto domain = CookieLineDomain(LineText(line)))
                ++FindOrAddDomain(domains, *domain).itemCount;
        return true;
    });
    return walked && result;
}

bool GetNetscapeForms(DomainMap& domains, IRunProgress& run, std::vector<WholeFile>* files) {
    return ReadProfiles(false, run, [&](const std::wstring& folder) {
        for (const wchar_t* prefs : {L"user.js", L"prefs.js"}) {
            if (auto signon = PrefNamedProfileFile(folder, prefs, L"signon.SignonFileName")) {
                std::string bytes;
                if (ReadByteFile(*signon, bytes) == ERROR_SUCCESS)
                    FileSignonHosts(SearchableText(std::move(bytes)),
                                    DomainTally(domains, NoteReadFile(*signon, files)));
            }
            if (auto wallet = PrefNamedProfileFile(folder, prefs, L"wallet.SchemaValueFileName")) {
                std::string bytes;
                if (ReadByteFile(*wallet, bytes) == ERROR_SUCCESS)
                    FileWalletHosts(SearchableText(std::move(bytes)),
                                    DomainTally(domains, NoteReadFile(*wallet, files)));
            }
        }
        return true;
    });
}

}  // namespace veltrane
