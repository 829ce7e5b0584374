#pragma once
// One table of cookie keep-list cases, run against the list itself and
// against every cookie plug-in, so that they all match hosts the same way.
#include <iterator>

namespace veltrane {

struct KeepListCase {
    const wchar_t* host;     // as the browser stores it
    const wchar_t* entries;  // the option's text
    bool kept;
};

inline constexpr KeepListCase kKeepListCases[] = {
    {L"example.com", L"example.com", true},
    {L".example.com", L"example.com", true},
    {L"shop.example.com", L"example.com", true},
    {L"a.b.shop.example.com", L"example.com", true},
    {L"thisisanexample.com", L"example.com", false},
    {L"example.com.evil.net", L"example.com", false},
    {L"example.com", L"www.example.com", false},
    {L"www.example.com", L"www.example.com", true},
    {L"Shop.EXAMPLE.com", L"Example.Com", true},
    {L"shop.example.com", L".example.com", true},
    {L".example.com", L".example.com", true},
    {L"example.org", L"example.com", false},
    {L"example.org", L"example.com; example.org", true},
    {L"news.example.org", L";;example.com;;example.org;", true},
    {L"example.com", L"", false},
    {L"com", L"example.com", false},
    // International names are compared in the ASCII form browsers store.
    {L"xn--bcher-kva.de", L"b\u00fccher.de", true},
    {L"shop.xn--bcher-kva.de", L"B\u00dcCHER.de", true},
    {L"xn--bcher-kva.de", L"bucher.de", false},
    // An address keeps that address alone, never by its tail.
    {L"192.168.0.1", L"192.168.0.1", true},
    {L"192.168.0.1", L"0.1", false},
    {L"192.168.0.1", L"168.0.1", false},
};
inline constexpr size_t kKeepListCaseCount = std::size(kKeepListCases);

}  // namespace veltrane
