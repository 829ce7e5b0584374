#include <gtest/gtest.h>

#include "plugins/browser/protected_storage.h"
#include "plugins/browser/url_domain.h"

namespace {

TEST(UrlDomain, SchemesWithHosts) {
    EXPECT_EQ(GetUrlDomain(L"http://www.example.com/a/b"), L"example.com");
    EXPECT_EQ(GetUrlDomain(L"https://example.com/a"), L"example.com");
    EXPECT_EQ(GetUrlDomain(L"https://www.example.com"), L"example.com");
    // "www." only where the host begins; port, user and case stay.
    EXPECT_EQ(GetUrlDomain(L"http://news.www.example.com/"), L"news.www.example.com");
    EXPECT_EQ(GetUrlDomain(L"http://user@Example.com:8080/x"), L"user@Example.com:8080");
    EXPECT_EQ(GetUrlDomain(L"ftp://ftp.files.org/pub"), L"files.org");
    EXPECT_EQ(GetUrlDomain(L"ftp://www.files.org/pub"), L"www.files.org");
}

TEST(UrlDomain, FileOtherAndMissingSchemes) {
    EXPECT_EQ(GetUrlDomain(L"file:///C:/Documents/x.html"), L"C:");
    EXPECT_EQ(GetUrlDomain(L"file:///"), L"");
    EXPECT_EQ(GetUrlDomain(L"res://ieframe.dll/x"), L"System");
    EXPECT_EQ(GetUrlDomain(L"about:blank"), L"System");
    EXPECT_EQ(GetUrlDomain(L"HTTP://www.example.com/"), L"System");
    EXPECT_EQ(GetUrlDomain(L"nocolon"), L"Unknown Domain");
    EXPECT_EQ(GetUrlDomain(L""), L"Unknown Domain");
    // Too short to hold a host.
    EXPECT_EQ(GetUrlDomain(L"http:"), L"");
    EXPECT_EQ(GetUrlDomain(L"http:/"), L"");
}

TEST(UrlDomain, HistoryAndCookieEntryNames) {
    EXPECT_EQ(GetHistoryEntryDomain(L"Visited: jdoe@http://www.site.com/page"), L"site.com");
    EXPECT_EQ(GetHistoryEntryDomain(L"http://www.site.com/page"), L"site.com");
    EXPECT_EQ(GetCookieEntryDomain(L"Cookie:jdoe@www.site.com/"), L"site.com");
    EXPECT_EQ(GetCookieEntryDomain(L"Cookie:jdoe@shop.www.site.com/cart"), L"shop.www.site.com");
    EXPECT_EQ(GetCookieEntryDomain(L"Cookie:jdoe@site.com"), L"site.com");
    EXPECT_EQ(GetCookieEntryDomain(L"www.site.com/x"), L"site.com");
}

TEST(UrlDomain, AutoCompleteItemNames) {
    EXPECT_EQ(GetAutoCompleteItemDomain(L"username:StringData"), L"control username");
    EXPECT_EQ(GetAutoCompleteItemDomain(L"nickname"), L"control nickname");
    EXPECT_EQ(GetAutoCompleteItemDomain(L"http://www.bank.com/login:StringData"), L"bank.com");
    EXPECT_EQ(GetAutoCompleteItemDomain(L"https://bank.com/login:StringData"), L"bank.com");
}

}  // namespace
