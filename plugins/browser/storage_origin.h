#pragma once
// The origin a piece of browser storage belongs to, read from the names the
// browsers give it: Chromium's origin identifiers ("https_example.com_0",
// the names of IndexedDB folders and File System entries), origins spelled as
// URLs inside storage keys ("https://example.com:8443", with what Chromium
// adds after them for partitioned storage), and Firefox's origin folders
// ("https+++example.com+++8443^userContextId=1").
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

enum class OriginKind {
    kSite,       // a web site (http, https) or a local page (file): site data
    kExtension,  // an extension's own storage: never site data
    kBrowser,    // the browser's own pages (chrome://, about:, ...)
};

struct StorageOrigin {
    std::wstring scheme;  // lower case
    std::wstring host;    // lower case; empty for file
    int port = 0;         // 0 for the scheme's default
    OriginKind kind = OriginKind::kSite;

    // "https://example.com", "http://localhost:8080", "file://"
    std::wstring Text() const;
    // What the keep-list is asked about and rows are named by: the host, or
    // the origin's text when it has none.
    std::wstring Site() const { return host.empty() ? Text() : host; }
    // A site the keep-list can keep (a web site with a host name).
    bool IsKeepable() const { return kind == OriginKind::kSite && !host.empty(); }
};

// "https_example.com_0" (scheme, host, port; 0 the default).
[[nodiscard]] std::optional<StorageOrigin> OriginFromIdentifier(std::wstring_view identifier);
// "https://example.com", "https://example.com:8443/", and Chromium's
// storage keys, which go on after the origin ("/", "^0https://top.test").
[[nodiscard]] std::optional<StorageOrigin> OriginFromUrl(std::string_view url);
// Firefox's folder names below storage\default: "://" and ":" are spelled
// "+++", origin attributes follow a "^".
[[nodiscard]] std::optional<StorageOrigin> OriginFromFirefoxFolder(std::wstring_view name);

}  // namespace veltrane
