#pragma once
// The domains whose cookies every cookie plug-in keeps. "example.com" keeps
// example.com, .example.com and shop.example.com; never thisisanexample.com or
// example.com.evil.net; "www.example.com" does not keep example.com.
// Case-insensitive, a leading "." ignored on both sides. International names
// are compared in the ASCII ("xn--") form browsers store; an address (IPv4,
// IPv6 with or without brackets) keeps that address alone.
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

// The option (REG_SZ, domains separated by ";") that holds the list.
inline constexpr wchar_t kKeepCookiesOption[] = L"KeepCookies";

class CookieKeepList {
public:
    CookieKeepList() = default;
    // Domains separated by ";"; blanks around them, empty entries, repeats and
    // parts that are no host name are dropped.
    explicit CookieKeepList(const std::wstring& text);
    // A list that is stored but could not be read. It keeps every host, so that
    // nothing it might name goes; the cookie plug-ins refuse to clean, with `reason`.
    static CookieKeepList Unreadable(std::wstring reason);

    bool Keeps(const std::wstring& host) const { return !KeptBy(host).empty(); }
    // The entry that keeps `host` (the host itself when listed, or for an
    // unreadable list); empty for none.
    std::wstring KeptBy(const std::wstring& host) const;
    // True for a readable list without domains: every cookie may go.
    bool IsEmpty() const { return !unreadable_ && domains_.empty(); }
    bool IsUnreadable() const { return unreadable_.has_value(); }
    // Why the list could not be read; empty for a list that was read.
    std::wstring UnreadableReason() const { return unreadable_.value_or(L""); }
    // Lower case ASCII, without the leading ".", in the order first given.
    const std::vector<std::wstring>& Domains() const { return domains_; }
    // ";"-joined, as stored in the option.
    std::wstring ToText() const;

    // False when `domain` is no host name (empty after normalising, holds a
    // blank, ";", "/", "#" and the like, or ends in a number without being an
    // address) or is listed already. An unreadable list becomes a new list.
    bool Add(const std::wstring& domain);
    // False when `domain` was not listed (compared after normalising).
    bool Remove(const std::wstring& domain);
    // True when `domain` itself is listed, not merely kept by a parent entry.
    bool Contains(const std::wstring& domain) const;

    // Blanks trimmed, a leading "*." or dots and a trailing dot removed, an
    // international name in its ASCII form, an address in one spelling
    // (brackets dropped), lower case.
    static std::wstring Normalize(const std::wstring& domain);

    bool operator==(const CookieKeepList&) const = default;

private:
    std::vector<std::wstring> domains_;
    std::optional<std::wstring> unreadable_;
};

}  // namespace veltrane
