#pragma once
// What a request to the web host asks for, read from its target and headers
// before anything is served (the file or socket below the run's path, the
// launch address, our own host and origin, the session's cookie), and what
// every answer says about itself (its content type and content policy).
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

// Where a request target leads below the served folder.
enum class RequestPath { kFile, kSocket, kForbidden };
// On kFile, `relative` is the file's path below the folder, with backslashes.
// Refused: a missing or wrong run path, "." and ".." segments, encoded
// separators, drive letters, stream names, device names (CON, NUL, COM1, ...)
// and other ways out of the folder.
RequestPath MapRequestTarget(std::string_view target, std::string_view runPath,
                             std::wstring& relative, std::string& query);
// The code of a launch address, "/<runPath>/launch/<code>"; nothing for any other target.
std::optional<std::string> LaunchCodeOf(std::string_view target, std::string_view runPath);
// The Host header of a request to us: 127.0.0.1 or localhost with our port.
bool IsOwnHost(std::string_view host, unsigned short port);
// The Origin of a socket opened by one of our pages: http:// and our own host.
bool IsOwnOrigin(std::string_view origin, unsigned short port);
// Whether a Cookie header holds cookie `name` with exactly `value`.
bool CarriesCookie(std::string_view header, std::string_view name, std::string_view value);

// The content type sent for a file, by its extension.
std::string ContentTypeFor(std::wstring_view path);
// A served page with the bridge script added to its head.
std::string InjectBridge(std::string page, std::string_view runPath);
// The content policy of every answer: scripts, styles, images and frames of
// our own only, no inline script, style or handler, and no connection but
// the page socket at `host` (the request's own, checked Host).
std::string ContentPolicy(std::string_view host, std::string_view runPath);

}  // namespace veltrane
