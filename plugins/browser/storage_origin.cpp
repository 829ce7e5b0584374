#include "plugins/browser/storage_origin.h"

#include <windows.h>

#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool IsSchemeName(std::wstring_view scheme) {
    if (scheme.empty() || !iswalpha(scheme[0])) return false;
    for (wchar_t c : scheme)
        if (!iswalnum(c) && c != L'+' && c != L'-' && c != L'.') return false;
    return true;
}

// Host names, addresses in brackets and Firefox's spelling of them: never a
// path separator, a blank or a control character.
bool IsHostText(std::wstring_view host) {
    for (wchar_t c : host)
        if (c <= L' ' || c == L'/' || c == L'\\' || c == L'?' || c == L'#' || c == L'@')
            return false;
    return true;
}

std::optional<int> Port(std::wstring_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    int port = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        port = port * 10 + (c - L'0');
    }
    if (port > 65535) return std::nullopt;
    return port;
}

std::optional<StorageOrigin> MakeOrigin(std::wstring_view scheme, std::wstring_view host,
                                        int port) {
    if (!IsSchemeName(scheme) || !IsHostText(host)) return std::nullopt;
    StorageOrigin origin;
    origin.scheme = Lower(std::wstring(scheme));
    origin.host = Lower(std::wstring(host));
    const bool web = origin.scheme == L"http" || origin.scheme == L"https";
    if (web && origin.host.empty()) return std::nullopt;
    origin.kind = web || origin.scheme == L"file" ? OriginKind::kSite
                  : EndsWith(origin.scheme, L"extension") ? OriginKind::kExtension
                                                          : OriginKind::kBrowser;
    if (origin.kind == OriginKind::kSite) {
        // A scheme's own port is the one it goes without.
        if ((origin.scheme == L"http" && port == 80) || (origin.scheme == L"https" && port == 443))
            port = 0;
        if (origin.scheme == L"file") origin.host.clear();
    }
    origin.port = port;
    return origin;
}

}  // namespace

std::wstring StorageOrigin::Text() const {
    return scheme + L"://" + host + (port != 0 ? L":" + std::to_wstring(port) : std::wstring());
}

std::optional<StorageOrigin> OriginFromIdentifier(std::wstring_view identifier) {
    const size_t first = identifier.find(L'_');
    const size_t last = identifier.rfind(L'_');
    if (first == std::wstring_view::npos || first == last) return std::nullopt;
    std::optional<int> port = Port(identifier.substr(last + 1));
    if (!port) return std::nullopt;
    return MakeOrigin(identifier.substr(0, first), identifier.substr(first + 1, last - first - 1),
                      *port);
}

std::optional<StorageOrigin> OriginFromUrl(std::string_view url) {
    url = url.substr(0, url.find('\0'));  // a Local Storage key goes on after a NUL
    const size_t separator = url.find("://");
    if (separator == std::string_view::npos) return std::nullopt;
    const std::wstring text = FromUtf8(url);
    const size_t hostStart = FromUtf8(url.substr(0, separator + 3)).size();
    std::wstring_view rest = std::wstring_view(text).substr(hostStart);
    // The host ends where a port, a path or what Chromium adds to a storage
    // key begins; an address in brackets ends at its bracket.
    size_t hostEnd = 0;
    if (!rest.empty() && rest[0] == L'[') {
        hostEnd = rest.find(L']');
        if (hostEnd == std::wstring_view::npos) return std::nullopt;
        ++hostEnd;
    } else {
        hostEnd = rest.find_first_of(std::wstring_view(L"/:^?#"));
        if (hostEnd == std::wstring_view::npos) hostEnd = rest.size();
    }
    int port = 0;
    if (hostEnd < rest.size() && rest[hostEnd] == L':') {
        std::wstring_view after = rest.substr(hostEnd + 1);
        std::optional<int> number =
            Port(after.substr(0, after.find_first_of(std::wstring_view(L"/^?#"))));
        if (!number) return std::nullopt;
        port = *number;
    }
    return MakeOrigin(std::wstring_view(text).substr(0, separator), rest.substr(0, hostEnd), port);
}

std::optional<StorageOrigin> OriginFromFirefoxFolder(std::wstring_view name) {
    name = name.substr(0, name.find(L'^'));  // origin attributes: containers, partitions
    const size_t separator = name.find(L"+++");
    if (separator == std::wstring_view::npos) {
        // "about+home", "chrome": the browser's own.
        const size_t plus = name.find(L'+');
        std::optional<StorageOrigin> origin =
            MakeOrigin(name.substr(0, plus),
                       plus == std::wstring_view::npos ? std::wstring_view() : name.substr(plus + 1),
                       0);
        if (origin && origin->kind == OriginKind::kSite) return std::nullopt;
        return origin;
    }
    const std::wstring_view scheme = name.substr(0, separator);
    std::wstring_view host = name.substr(separator + 3);
    int port = 0;
    if (Lower(std::wstring(scheme)) == L"file") {
        host = {};  // the path of a local page, not a host
    } else if (const size_t last = host.rfind(L"+++"); last != std::wstring_view::npos) {
        if (std::optional<int> number = Port(host.substr(last + 3))) {
            port = *number;
            host = host.substr(0, last);
        }
    }
    return MakeOrigin(scheme, host, port);
}

}  // namespace veltrane
