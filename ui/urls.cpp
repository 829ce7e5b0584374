#include "ui/urls.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "sysaccess/file_bytes.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void ParseLine(const char* line, bool found[3]) {
    const char* p = line;
    while (*p && IsBlank(*p)) ++p;
    const char* keyEnd = p;
    while (*keyEnd && !IsBlank(*keyEnd)) ++keyEnd;
    std::string key(p, keyEnd);

    // The value lies between the first quote after the key and the next one;
    // a value without its closing quote counts as empty.
    std::string value;
    if (const char* open = strchr(keyEnd, '"')) {
        if (const char* close = strchr(open + 1, '"')) value.assign(open + 1, close);
    }

    static constexpr const char* kKeys[3] = {"SITE_URL", "REMOTE_HELP_URL", "UPDATES_URL"};
    std::wstring* targets[3] = {&SITE_URL, &REMOTE_HELP_URL, &UPDATES_URL};
    for (int i = 0; i < 3; ++i) {
        if (key == kKeys[i]) {
            *targets[i] = FromCodePage(value, CP_ACP);
            found[i] = true;
            return;
        }
    }
}

}  // namespace

bool LoadUrls(const std::wstring& path, const UrlsProblemSink& report) {
    const std::optional<std::string> read = TryReadWholeFile(path, FileTextMode::kText);
    if (!read) {
        report(kUrlsFileMissing);
        return false;
    }
    const std::string& text = *read;
    bool found[3] = {false, false, false};
    // Lines are read in pieces of at most 4095 characters, each parsed on its
    // own, so that no value read from this file is longer.
    constexpr size_t kLongestPiece = 4095;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        end = std::min(end == std::string::npos ? text.size() : end + 1, start + kLongestPiece);
        ParseLine(text.substr(start, end - start).c_str(), found);
        start = end;
    }

    if (found[0] && found[1] && found[2]) return true;
    report(kUrlsFileCorrupted);
    return false;
}

}  // namespace veltrane
