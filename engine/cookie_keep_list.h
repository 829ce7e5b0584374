#pragma once
// The domains whose cookies every cookie plug-in keeps. "example.com" keeps
// example.com, .example.com and shop.example.com; never thisisanexample.com or
// example.com.evil.net; "www.example.com" does not keep example.com.
// Case-insensitive, a leading "." ignored on both sides.
#include <string>
#include <vector>

// The option (REG_SZ, domains separated by ";") that holds the list.
inline constexpr wchar_t kKeepCookiesOption[] = L"KeepCookies";

class CookieKeepList {
public:
    CookieKeepList() = default;
    // Domains separated by ";"; blanks around them, empty entries and repeats are dropped.
    explicit CookieKeepList(const std::wstring& text);

    bool Keeps(const std::wstring& host) const { return !KeptBy(host).empty(); }
    // The entry that keeps `host` (the host itself when listed); empty for none.
    std::wstring KeptBy(const std::wstring& host) const;
    bool IsEmpty() const { return domains_.empty(); }
    // Lower case, without the leading ".", in the order first given.
    const std::vector<std::wstring>& Domains() const { return domains_; }
    // ";"-joined, as stored in the option.
    std::wstring ToText() const;

    // False when `domain` is no host name (empty after normalising, or holds a
    // blank, ";", "/", "#" and the like) or is listed already.
    bool Add(const std::wstring& domain);
    // False when `domain` was not listed (compared after normalising).
    bool Remove(const std::wstring& domain);
    // True when `domain` itself is listed, not merely kept by a parent entry.
    bool Contains(const std::wstring& domain) const;

    // Lower case, blanks trimmed, a leading "*." or dots and a trailing dot removed.
    static std::wstring Normalize(const std::wstring& domain);

private:
    std::vector<std::wstring> domains_;
};
