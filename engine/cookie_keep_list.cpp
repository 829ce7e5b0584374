// Parsing and matching of the cookie keep-list.
#include "engine/cookie_keep_list.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "engine/host_address.h"

namespace veltrane {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Characters no host name holds; ";" would also split the stored text.
bool IsForbidden(wchar_t c) {
    return IsBlank(c) || wcschr(L";,#<>\"'&/\\:@*?%[]", c) != nullptr || c < 0x20 || c > 0x7e;
}

// The last label is a number: the name is an address, or no host name at all
// (no top-level domain is a number), so it is never matched as a parent.
bool EndsInNumber(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    const size_t start = dot == std::wstring::npos ? 0 : dot + 1;
    return start < name.size() &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(start), name.end(),
                       [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool IsAddress(const std::wstring& name) {
    return name.find(L':') != std::wstring::npos || EndsInNumber(name);
}

// The "xn--" form of an international name, as browsers store it; the name
// itself when it is plain ASCII or the system cannot convert it.
std::wstring ToAsciiName(const std::wstring& name) {
    if (std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80; })) return name;
    wchar_t ascii[256];  // a host name has at most 255 characters
    const int length = IdnToAscii(0, name.c_str(), static_cast<int>(name.size()), ascii,
                                  static_cast<int>(std::size(ascii)));
    return length > 0 ? std::wstring(ascii, static_cast<size_t>(length)) : name;
}

}  // namespace

std::wstring CookieKeepList::Normalize(const std::wstring& domain) {
    size_t begin = 0;
    size_t end = domain.size();
    while (begin < end && IsBlank(domain[begin])) ++begin;
    while (end > begin && IsBlank(domain[end - 1])) --end;
    // "*.example.com" is how people write "example.com and below".
    if (end - begin >= 2 && domain[begin] == L'*' && domain[begin + 1] == L'.') ++begin;
    while (begin < end && domain[begin] == L'.') ++begin;
    // "example.com." is the same name written fully qualified.
    while (end > begin && domain[end - 1] == L'.') --end;
    const std::wstring name = domain.substr(begin, end - begin);
    if (auto address = TryCanonicalAddress(name)) return *address;
    std::wstring result = ToAsciiName(name);
    // Converted, a name may bring dots or an address of its own ("\uff0e" is a dot too).
    if (result != name) return Normalize(result);
    // ASCII folding: the ASCII form is what is compared, whatever the user's language.
    for (wchar_t& c : result)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return result;
}

CookieKeepList::CookieKeepList(const std::wstring& text) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L';', start);
        if (end == std::wstring::npos) end = text.size();
        Add(text.substr(start, end - start));
        start = end + 1;
    }
}

CookieKeepList CookieKeepList::Unreadable(std::wstring reason) {
    CookieKeepList list;
    list.unreadable_ = std::move(reason);
    return list;
}

bool CookieKeepList::Add(const std::wstring& domain) {
    std::wstring name = Normalize(domain);
    if (name.empty() || Contains(name)) return false;
    const bool address = TryCanonicalAddress(name).has_value();
    if (!address && (EndsInNumber(name) || std::any_of(name.begin(), name.end(), IsForbidden)))
        return false;
    unreadable_.reset();
    domains_.push_back(std::move(name));
    return true;
}

bool CookieKeepList::Remove(const std::wstring& domain) {
    const auto it = std::find(domains_.begin(), domains_.end(), Normalize(domain));
    if (it == domains_.end()) return false;
    domains_.erase(it);
    return true;
}

bool CookieKeepList::Contains(const std::wstring& domain) const {
    return std::find(domains_.begin(), domains_.end(), Normalize(domain)) != domains_.end();
}

std::wstring CookieKeepList::KeptBy(const std::wstring& host) const {
    if (domains_.empty() && !unreadable_) return {};
    const std::wstring name = Normalize(host);
    if (name.empty()) return {};
    // The listed name first, so that a row shows its own entry before a parent's.
    if (unreadable_ || std::find(domains_.begin(), domains_.end(), name) != domains_.end())
        return name;
    // An address is kept by itself alone: "0.1" is no parent of 192.168.0.1.
    if (IsAddress(name)) return {};
    for (const std::wstring& entry : domains_) {
        // A sub-domain: the entry preceded by a dot, so "anexample.com" is not "example.com".
        if (name.size() > entry.size() &&
            name.compare(name.size() - entry.size(), entry.size(), entry) == 0 &&
            name[name.size() - entry.size() - 1] == L'.')
            return entry;
    }
    return {};
}

std::wstring CookieKeepList::ToText() const {
    std::wstring text;
    for (const std::wstring& domain : domains_) {
        if (!text.empty()) text += L';';
        text += domain;
    }
    return text;
}

}  // namespace veltrane
