#pragma once
// The domain under which a browser trace is listed: pure text rules on the
// names the browsers give their entries, exact and case-sensitive.
#include <string>
#include <string_view>

namespace veltrane {

// "http://www.a.com/x" -> "a.com"; "file:///C:/x" -> "C:"; "res://x" -> "System";
// no colon -> "Unknown Domain".
std::wstring GetUrlDomain(std::wstring_view url);
// The same for a URL in UTF-8, as the browsers' databases keep it, without
// converting more of it than the rule reads.
std::wstring GetUtf8UrlDomain(std::string_view url);
// "Visited: user@http://..." -> the URL rule on what follows the first "@".
std::wstring GetHistoryEntryDomain(std::wstring_view name);
// "Cookie:user@www.host/path" -> "host".
std::wstring GetCookieEntryDomain(std::wstring_view name);
// "Cookie:user@www.host/path" -> "www.host": the host the cookie was set for.
std::wstring GetCookieEntryHost(std::wstring_view name);

}  // namespace veltrane
