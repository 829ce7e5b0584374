#include "ui/request_target.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "sysaccess/text.h"

namespace veltrane {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Windows opens a device, not a file, for these names in any folder and with
// any extension ("nul.html", "COM1.txt"); a blank before the dot counts too.
bool IsDeviceName(std::string_view segment) {
    std::string_view base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string upper;
    for (char c : base) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (upper == name) return true;
    if (upper.size() < 4 || (upper.rfind("COM", 0) != 0 && upper.rfind("LPT", 0) != 0))
        return false;
    std::string_view number = std::string_view(upper).substr(3);
    // COM1-9 and LPT1-9, and the superscript digits Windows also takes for them.
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

// One decoded path segment, or nothing when it could leave the folder or
// name something other than a plain file or folder.
std::optional<std::string> DecodeSegment(std::string_view raw) {
    std::string segment;
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            int high = HexValue(raw[i + 1]);
            int low = HexValue(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F ||
            std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            return std::nullopt;
        segment += c;
    }
    // Windows drops trailing dots and blanks, which would turn "..." into "..".
    if (segment.empty() || segment.back() == '.' || segment.back() == ' ') return std::nullopt;
    if (IsDeviceName(segment)) return std::nullopt;
    return segment;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

size_t FindTagEnd(const std::string& page, const char* tag) {
    std::string lower(page.size(), '\0');
    for (size_t i = 0; i < page.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(page[i])));
    size_t length = strlen(tag);
    for (size_t at = lower.find(tag); at != std::string::npos; at = lower.find(tag, at + 1)) {
        char next = at + length < lower.size() ? lower[at + length] : '\0';
        if (next == '>' || std::isspace(static_cast<unsigned char>(next))) {
            size_t close = lower.find('>', at);
            return close == std::string::npos ? std::string::npos : close + 1;
        }
    }
    return std::string::npos;
}

// The segments of a path after its first "/".
std::vector<std::string_view> PathSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    size_t start = 1;
    while (true) {
        size_t slash = path.find('/', start);
        segments.push_back(path.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return segments;
}

bool IsLowerHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Compares every byte whatever the first difference, so that the time an
// answer takes says nothing about how much of a secret was right.
bool EqualSecrets(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

}  // namespace

RequestPath MapRequestTarget(std::string_view target, std::string_view runPath,
                             std::wstring& relative, std::string& query) {
    relative.clear();
    query.clear();
    if (runPath.empty() || target.empty() || target[0] != '/') return RequestPath::kForbidden;
    size_t question = target.find('?');
    if (question != std::string_view::npos) {
        query = std::string(target.substr(question + 1));
        target = target.substr(0, question);
    }
    if (target.find('#') != std::string_view::npos) return RequestPath::kForbidden;

    std::vector<std::string_view> segments = PathSegments(target);
    if (segments.size() < 2 || segments[0] != runPath) return RequestPath::kForbidden;
    if (segments.size() == 2 && segments[1] == "socket") return RequestPath::kSocket;

    std::string path;
    for (size_t i = 1; i < segments.size(); ++i) {
        std::optional<std::string> segment = DecodeSegment(segments[i]);
        if (!segment) return RequestPath::kForbidden;
        if (!path.empty()) path += '\\';
        path += *segment;
    }
    relative = FromUtf8(path);
    if (ToUtf8(relative) != path) return RequestPath::kForbidden;  // not UTF-8
    return RequestPath::kFile;
}

std::optional<std::string> LaunchCodeOf(std::string_view target, std::string_view runPath) {
    if (runPath.empty() || target.empty() || target[0] != '/') return std::nullopt;
    std::vector<std::string_view> segments = PathSegments(target);
    if (segments.size() != 3 || segments[0] != runPath || segments[1] != "launch" ||
        segments[2].empty() || segments[2].size() > 64 || !IsLowerHex(segments[2]))
        return std::nullopt;
    return std::string(segments[2]);
}

bool IsOwnHost(std::string_view host, unsigned short port) {
    std::string suffix(1, ':');
    suffix += std::to_string(port);
    if (port == 0 || host.size() <= suffix.size() ||
        host.substr(host.size() - suffix.size()) != suffix)
        return false;
    std::string_view name = host.substr(0, host.size() - suffix.size());
    return name == "127.0.0.1" || EqualsIgnoringCase(name, "localhost");
}

bool IsOwnOrigin(std::string_view origin, unsigned short port) {
    constexpr std::string_view kScheme = "http://";
    return origin.size() > kScheme.size() && EqualsIgnoringCase(origin.substr(0, 7), kScheme) &&
           IsOwnHost(origin.substr(kScheme.size()), port);
}

bool CarriesCookie(std::string_view header, std::string_view name, std::string_view value) {
    if (value.empty()) return false;
    bool found = false;
    while (!header.empty()) {
        size_t end = header.find(';');
        std::string_view pair = Trimmed(header.substr(0, end));
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        size_t equals = pair.find('=');
        if (equals == std::string_view::npos || Trimmed(pair.substr(0, equals)) != name) continue;
        // Every cookie of that name is compared: another path's may come first.
        if (EqualSecrets(Trimmed(pair.substr(equals + 1)), value)) found = true;
    }
    return found;
}

std::string ContentTypeFor(std::wstring_view path) {
    size_t dot = path.find_last_of(L'.');
    std::wstring extension = dot == std::wstring_view::npos ? L"" : std::wstring(path.substr(dot));
    for (wchar_t& c : extension) c = static_cast<wchar_t>(towlower(c));
    static const std::pair<const wchar_t*, const char*> kTypes[] = {
        {L".html", "text/html; charset=utf-8"},
        {L".htm", "text/html; charset=utf-8"},
        {L".css", "text/css; charset=utf-8"},
        {L".js", "text/javascript; charset=utf-8"},
        {L".json", "application/json; charset=utf-8"},
        {L".txt", "text/plain; charset=utf-8"},
        {L".svg", "image/svg+xml"},
        {L".png", "image/png"},
        {L".gif", "image/gif"},
        {L".jpg", "image/jpeg"},
        {L".jpeg", "image/jpeg"},
        {L".bmp", "image/bmp"},
        {L".ico", "image/x-icon"},
    };
    for (const auto& [known, type] : kTypes)
        if (extension == known) return type;
    return "application/octet-stream";
}

std::string InjectBridge(std::string page, std::string_view runPath) {
    std::string script = "<script src=\"/" + std::string(runPath) + "/Common/bridge.js\"></script>";
    size_t at = FindTagEnd(page, "<head");
    if (at == std::string::npos) at = FindTagEnd(page, "<html");
    if (at == std::string::npos) at = FindTagEnd(page, "<!doctype");
    if (at == std::string::npos) at = 0;
    page.insert(at, script);
    return page;
}

std::string ContentPolicy(std::string_view host, std::string_view runPath) {
    return "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
           "connect-src ws://" +
           std::string(host) + "/" + std::string(runPath) +
           "/socket; frame-src 'self'; frame-ancestors 'self'; base-uri 'none'; "
           "form-action 'none'";
}

}  // namespace veltrane
