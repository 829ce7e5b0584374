// Parsing and matching of the cookie keep-list.
#include "engine/cookie_keep_list.h"

#include <algorithm>
#include <cwchar>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// Characters no host name holds; ";" would also split the stored text.
bool IsForbidden(wchar_t c) {
    return IsBlank(c) || wcschr(L";,#<>\"'&/\\:@*?%", c) != nullptr || c < 0x20;
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
    if (end > begin && domain[end - 1] == L'.') --end;
    std::wstring result = domain.substr(begin, end - begin);
    // Browsers store hosts in ASCII (international names in their "xn--"
    // form), so ASCII folding is enough and does not depend on the user's language.
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

bool CookieKeepList::Add(const std::wstring& domain) {
    std::wstring name = Normalize(domain);
    if (name.empty() || Contains(name)) return false;
    if (std::any_of(name.begin(), name.end(), IsForbidden)) return false;
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
    if (domains_.empty()) return {};
    const std::wstring name = Normalize(host);
    if (name.empty()) return {};
    // The listed name first, so that a row shows its own entry before a parent's.
    if (std::find(domains_.begin(), domains_.end(), name) != domains_.end()) return name;
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
