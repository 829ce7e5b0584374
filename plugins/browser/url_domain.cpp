#include "plugins/browser/url_domain.h"

#include <algorithm>
#include <optional>

#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr std::wstring_view kUnknownDomain = L"Unknown Domain";
constexpr std::wstring_view kSystemDomain = L"System";

// The host of "//host/..." behind the scheme's colon; `prefix` ("www.",
// "ftp.") is dropped only where the host begins.
std::wstring HostAfterSlashes(std::wstring_view rest, std::wstring_view prefix) {
    // Too short to hold the two slashes: nothing names a host.
    if (rest.size() < 2) return {};
    size_t start = 2;
    if (rest.find(prefix, start) == start) start += prefix.size();
    size_t end = rest.find(L'/', start);
    if (end == std::wstring_view::npos) end = rest.size();
    return std::wstring(rest.substr(start, end - start));
}

// What GetUrlDomain reads of a URL: up to the slash that ends the host by
// either of its rules ("scheme:" and two characters, or "file:" and any
// slashes). Nothing when that head is not plain ASCII, where byte and
// character positions could differ.
std::optional<std::string_view> AsciiUrlHead(std::string_view url) {
    const size_t colon = url.find(':');
    // Without a colon the rule reads nothing more.
    if (colon == std::string_view::npos) return url.substr(0, 0);
    const size_t afterTwo = url.find('/', std::min(url.size(), colon + 3));
    const size_t start = url.find_first_not_of('/', colon + 1);
    const size_t afterSlashes = start == std::string_view::npos ? start : url.find('/', start);
    std::string_view head = url;
    if (afterTwo != std::string_view::npos && afterSlashes != std::string_view::npos)
        head = url.substr(0, std::max(afterTwo, afterSlashes));
    if (std::any_of(head.begin(), head.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        return std::nullopt;
    return head;
}

}  // namespace

std::wstring GetUtf8UrlDomain(std::string_view url) {
    const std::optional<std::string_view> head = AsciiUrlHead(url);
    if (!head) return GetUrlDomain(FromUtf8(url));
    return GetUrlDomain(std::wstring(head->begin(), head->end()));
}

std::wstring GetUrlDomain(std::wstring_view url) {
    size_t colon = url.find(L':');
    if (colon == std::wstring_view::npos) return std::wstring(kUnknownDomain);
    std::wstring_view scheme = url.substr(0, colon);
    std::wstring_view rest = url.substr(colon + 1);
    if (scheme == L"http" || scheme == L"https") return HostAfterSlashes(rest, L"www.");
    if (scheme == L"ftp") return HostAfterSlashes(rest, L"ftp.");
    if (scheme == L"file") {
        size_t start = rest.find_first_not_of(L'/');
        if (start == std::wstring_view::npos) return {};
        size_t end = rest.find(L'/', start);
        if (end == std::wstring_view::npos) end = rest.size();
        return std::wstring(rest.substr(start, end - start));
    }
    return std::wstring(kSystemDomain);
}

std::wstring GetHistoryEntryDomain(std::wstring_view name) {
    size_t at = name.find(L'@');
    return GetUrlDomain(at == std::wstring_view::npos ? name : name.substr(at + 1));
}

std::wstring GetCookieEntryHost(std::wstring_view name) {
    size_t at = name.find(L'@');
    size_t start = at == std::wstring_view::npos ? 0 : at + 1;
    size_t end = name.find(L'/', start);
    if (end == std::wstring_view::npos) end = name.size();
    return std::wstring(name.substr(start, end - start));
}

std::wstring GetCookieEntryDomain(std::wstring_view name) {
    std::wstring host = GetCookieEntryHost(name);
    if (host.compare(0, 4, L"www.") == 0) host.erase(0, 4);
    return host;
}

}  // namespace veltrane
