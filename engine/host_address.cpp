// Parsing and spelling of IPv4 and IPv6 addresses.
#include "engine/host_address.h"

#include <array>
#include <cstdint>
#include <vector>

namespace veltrane {

namespace {

using Ipv4 = std::array<uint8_t, 4>;
using Ipv6 = std::array<uint16_t, 8>;

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::vector<std::wstring_view> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring_view::npos ? end : end - start));
        if (end == std::wstring_view::npos) return parts;
        start = end + 1;
    }
}

// Four decimal numbers of at most three digits, each up to 255.
std::optional<Ipv4> ParseIpv4(std::wstring_view text) {
    const auto parts = Split(text, L'.');
    if (parts.size() != 4) return std::nullopt;
    Ipv4 address{};
    for (size_t i = 0; i < 4; ++i) {
        if (parts[i].empty() || parts[i].size() > 3) return std::nullopt;
        unsigned value = 0;
        for (wchar_t c : parts[i]) {
            if (c < L'0' || c > L'9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - L'0');
        }
        if (value > 255) return std::nullopt;
        address[i] = static_cast<uint8_t>(value);
    }
    return address;
}

// Groups of one to four hex digits separated by ":", one "::" for a run of
// zero groups, the last 32 bits possibly in dotted decimal.
std::optional<std::vector<uint16_t>> ParseGroups(std::wstring_view text, bool last) {
    std::vector<uint16_t> groups;
    if (text.empty()) return groups;
    const auto parts = Split(text, L':');
    for (size_t i = 0; i < parts.size(); ++i) {
        if (last && i + 1 == parts.size() && parts[i].find(L'.') != std::wstring_view::npos) {
            const auto v4 = ParseIpv4(parts[i]);
            if (!v4) return std::nullopt;
            groups.push_back(static_cast<uint16_t>((*v4)[0] << 8 | (*v4)[1]));
            groups.push_back(static_cast<uint16_t>((*v4)[2] << 8 | (*v4)[3]));
            continue;
        }
        if (parts[i].empty() || parts[i].size() > 4) return std::nullopt;
        unsigned value = 0;
        for (wchar_t c : parts[i]) {
            const int digit = HexDigit(c);
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        groups.push_back(static_cast<uint16_t>(value));
    }
    return groups;
}

std::optional<Ipv6> ParseIpv6(std::wstring_view text) {
    const size_t gap = text.find(L"::");
    const bool hasGap = gap != std::wstring_view::npos;
    if (hasGap && text.find(L"::", gap + 1) != std::wstring_view::npos) return std::nullopt;
    const auto head = ParseGroups(hasGap ? text.substr(0, gap) : text, !hasGap);
    const auto tail = ParseGroups(hasGap ? text.substr(gap + 2) : std::wstring_view(), true);
    if (!head || !tail) return std::nullopt;
    const size_t count = head->size() + tail->size();
    if (hasGap ? count > 7 : count != 8) return std::nullopt;
    Ipv6 address{};
    for (size_t i = 0; i < head->size(); ++i) address[i] = (*head)[i];
    for (size_t i = 0; i < tail->size(); ++i) address[8 - tail->size() + i] = (*tail)[i];
    return address;
}

std::wstring Spell(const Ipv6& address) {
    // The longest run of two or more zero groups (the first of equals) becomes "::".
    size_t bestStart = 8, bestLength = 1;
    for (size_t i = 0; i < 8;) {
        size_t j = i;
        while (j < 8 && address[j] == 0) ++j;
        if (j - i > bestLength) bestStart = i, bestLength = j - i;
        i = j == i ? i + 1 : j;
    }
    std::wstring text;
    for (size_t i = 0; i < 8; ++i) {
        if (i == bestStart) {
            text += L"::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != L':') text += L':';
        std::wstring group;
        unsigned value = address[i];
        do {
            group.insert(group.begin(), L"0123456789abcdef"[value & 15]);
            value >>= 4;
        } while (value != 0);
        text += group;
    }
    return text;
}

}  // namespace

std::optional<std::wstring> TryCanonicalAddress(std::wstring_view host) {
    if (host.size() >= 2 && host.front() == L'[' && host.back() == L']') {
        const auto v6 = ParseIpv6(host.substr(1, host.size() - 2));
        return v6 ? std::optional<std::wstring>(Spell(*v6)) : std::nullopt;
    }
    if (const auto v4 = ParseIpv4(host))
        return std::to_wstring((*v4)[0]) + L"." + std::to_wstring((*v4)[1]) + L"." +
               std::to_wstring((*v4)[2]) + L"." + std::to_wstring((*v4)[3]);
    const auto v6 = ParseIpv6(host);
    return v6 ? std::optional<std::wstring>(Spell(*v6)) : std::nullopt;
}

}  // namespace veltrane
