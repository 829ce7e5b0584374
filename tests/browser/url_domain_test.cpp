// The domain a trace is listed under, from the names the browsers store.
#include <gtest/gtest.h>

#include <string>

#include "plugins/browser/protected_storage.h"
#include "plugins/browser/url_domain.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

struct Named {
    const wchar_t* name;
    const wchar_t* domain;
};

// Every name gives its domain; a failure names the input.
template <typename DomainOf, size_t N>
void ExpectDomains(DomainOf domainOf, const Named (&cases)[N]) {
    for (const Named& c : cases) EXPECT_EQ(domainOf(c.name), c.domain) << ToUtf8(c.name);
}

TEST(UrlDomain, SchemesWithHosts) {
    const Named cases[] = {
        {L"http://www.example.com/a/b", L"example.com"},
        {L"https://example.com/a", L"example.com"},
        {L"https://www.example.com", L"example.com"},
        // "www." only where the host begins; port, user and case stay.
        {L"http://news.www.example.com/", L"news.www.example.com"},
        {L"http://user@Example.com:8080/x", L"user@Example.com:8080"},
        {L"ftp://ftp.files.org/pub", L"files.org"},
        {L"ftp://www.files.org/pub", L"www.files.org"},
    };
    ExpectDomains(GetUrlDomain, cases);
}

TEST(UrlDomain, FileOtherAndMissingSchemes) {
    const Named cases[] = {
        {L"file:///C:/Documents/x.html", L"C:"},
        {L"file:///", L""},
        {L"res://ieframe.dll/x", L"System"},
        {L"about:blank", L"System"},
        {L"HTTP://www.example.com/", L"System"},
        {L"nocolon", L"Unknown Domain"},
        {L"", L"Unknown Domain"},
        // Too short to hold a host.
        {L"http:", L""},
        {L"http:/", L""},
    };
    ExpectDomains(GetUrlDomain, cases);
}

TEST(UrlDomain, Utf8UrlsGiveTheDomainOfTheirWideText) {
    // The UTF-8 form converts only the head of the URL: it must agree with
    // the rule on the whole text, non-ASCII characters before the host included.
    const wchar_t* urls[] = {
        L"http://www.example.com/a/b",
        L"https://example.com",
        L"ftp://ftp.files.org/pub",
        L"file:///C:/Documents/x.html",
        L"file:///",
        L"file:C:/x",
        L"res://ieframe.dll/x",
        L"about:blank",
        L"nocolon",
        L"",
        L"http:",
        L"http:/",
        L"http:x/y.com/z",
        L"http:\u00e9/x.com/z",
        L"https://b\u00fccher.example/\u00e4",
        L"https://example.com/\u00e4",
        L"\u00e4http://example.com/",
        L"http://\U0001F600.example/x",
        L"http://www.a.com:8080?q=/x",
    };
    for (const wchar_t* url : urls)
        EXPECT_EQ(GetUtf8UrlDomain(ToUtf8(url)), GetUrlDomain(url)) << ToUtf8(url);
}

TEST(UrlDomain, HistoryEntryNames) {
    ExpectDomains(GetHistoryEntryDomain,
                  {
                      {L"Visited: jdoe@http://www.site.com/page", L"site.com"},
                      {L"http://www.site.com/page", L"site.com"},
                  });
}

TEST(UrlDomain, CookieEntryNames) {
    ExpectDomains(GetCookieEntryDomain,
                  {
                      {L"Cookie:jdoe@www.site.com/", L"site.com"},
                      {L"Cookie:jdoe@shop.www.site.com/cart", L"shop.www.site.com"},
                      {L"Cookie:jdoe@site.com", L"site.com"},
                      {L"www.site.com/x", L"site.com"},
                  });
}

TEST(UrlDomain, AutoCompleteItemNames) {
    ExpectDomains(GetAutoCompleteItemDomain,
                  {
                      {L"username:StringData", L"control username"},
                      {L"nickname", L"control nickname"},
                      {L"http://www.bank.com/login:StringData", L"bank.com"},
                      {L"https://bank.com/login:StringData", L"bank.com"},
                  });
}

}  // namespace

}  // namespace veltrane
