#include "plugins/windows/office_mru_item.h"

#include <cwctype>

namespace veltrane {

namespace {

std::optional<uint64_t> HexNumber(std::wstring_view digits) {
    if (digits.empty() || digits.size() > 16) return std::nullopt;
    uint64_t value = 0;
    for (wchar_t c : digits) {
        if (!iswxdigit(c)) return std::nullopt;
        value = value << 4 | static_cast<uint64_t>(c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
    }
    return value;
}

}  // namespace

std::optional<OfficeMruItem> ParseOfficeMruItem(std::wstring_view data) {
    OfficeMruItem item;
    // The older lists hold a plain path; flags, once begun, must end in "*".
    bool pathFollows = data.empty() || data.front() != L'[';
    while (!pathFollows && !data.empty() && data.front() == L'[') {
        const size_t end = data.find(L']');
        if (end == std::wstring_view::npos || end < 2) return std::nullopt;
        const wchar_t kind = data[1];
        const std::optional<uint64_t> value = HexNumber(data.substr(2, end - 2));
        if (!value) return std::nullopt;
        if (kind == L'T') {
            item.used.dwLowDateTime = static_cast<DWORD>(*value);
            item.used.dwHighDateTime = static_cast<DWORD>(*value >> 32);
        }
        data.remove_prefix(end + 1);
        // The flags end where the path begins.
        if (!data.empty() && data.front() == L'*') {
            data.remove_prefix(1);
            pathFollows = true;
        }
    }
    if (!pathFollows || data.empty()) return std::nullopt;
    item.path = std::wstring(data);
    return item;
}

std::optional<unsigned> NumberAfter(std::wstring_view name, std::wstring_view prefix) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 ||
        name.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    unsigned number = 0;
    for (wchar_t c : name.substr(prefix.size())) {
        if (c < L'0' || c > L'9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - L'0');
    }
    return number;
}

}  // namespace veltrane
