// Which request targets the loopback web host serves, the launch addresses,
// the session cookie, and the content types of its answers.
#include <gtest/gtest.h>

#include <string>

#include "ui/request_target.h"

namespace veltrane {

namespace {

constexpr char kToken[] = "0123456789abcdef0123456789abcdef";

TEST(RequestTarget, ServesFilesBelowTheFolderOnly) {
    std::wstring relative;
    std::string query;
    EXPECT_EQ(MapRequestTarget("/0123456789abcdef0123456789abcdef/Common/layout.html?dlg=3", kToken,
                               relative, query),
              RequestPath::kFile);
    EXPECT_EQ(relative, L"Common\\layout.html");
    EXPECT_EQ(query, "dlg=3");
    EXPECT_EQ(MapRequestTarget(std::string("/") + kToken + "/English/caf%C3%A9%20x.htm", kToken,
                               relative, query),
              RequestPath::kFile);
    EXPECT_EQ(relative, L"English\\caf\u00e9 x.htm");
    EXPECT_EQ(
        MapRequestTarget(std::string("/") + kToken + "/socket?dlg=main", kToken, relative, query),
        RequestPath::kSocket);

    const char* refused[] = {
        "/Common/layout.html",
        "/0123456789abcdef0123456789abcdeF/Common/layout.html",
        "/0123456789abcdef0123456789abcdef",
        "/0123456789abcdef0123456789abcdef/",
        "/0123456789abcdef0123456789abcdef/../urls.ini",
        "/0123456789abcdef0123456789abcdef/Common/./layout.html",
        "/0123456789abcdef0123456789abcdef/%2E%2E/urls.ini",
        "/0123456789abcdef0123456789abcdef/Common%2F..%2F..%2Furls.ini",
        "/0123456789abcdef0123456789abcdef/Common%5c..%5curls.ini",
        "/0123456789abcdef0123456789abcdef/Common\\..\\..\\urls.ini",
        "/0123456789abcdef0123456789abcdef/C:/windows/win.ini",
        "/0123456789abcdef0123456789abcdef//windows/win.ini",
        "/0123456789abcdef0123456789abcdef/layout.html::$DATA",
        "/0123456789abcdef0123456789abcdef/.../urls.ini",
        "/0123456789abcdef0123456789abcdef/layout.html%00.png",
        "/0123456789abcdef0123456789abcdef/bad%zzescape",
        "/0123456789abcdef0123456789abcdef/bad%2",
        "/0123456789abcdef0123456789abcdef/%ff%fe.html",
        "http://127.0.0.1/0123456789abcdef0123456789abcdef/Common/layout.html",
        "",
    };
    for (const char* target : refused)
        EXPECT_EQ(MapRequestTarget(target, kToken, relative, query), RequestPath::kForbidden)
            << target;
    EXPECT_EQ(MapRequestTarget("//Common/layout.html", "", relative, query),
              RequestPath::kForbidden);
}

TEST(RequestTarget, DeviceNamesAreRefusedInAnySegment) {
    std::wstring relative;
    std::string query;
    const std::string base = std::string("/") + kToken + "/";
    for (const char* path :
         {"CON", "con.html", "Common/nul", "NUL.txt/x", "aux.tar.gz", "prn", "COM1", "com9.js",
          "LPT1", "lpt9.css/a", "CON%20.html", "conin$", "CONOUT$.x", "COM%C2%B9.htm"})
        EXPECT_EQ(MapRequestTarget(base + path, kToken, relative, query), RequestPath::kForbidden)
            << path;
    for (const char* path : {"CONSOLE.html", "com0", "COM10", "lpt", "icon.png", "Common/auxiliary",
                             "nul_report.html", "xcon"})
        EXPECT_EQ(MapRequestTarget(base + path, kToken, relative, query), RequestPath::kFile)
            << path;
}

TEST(RequestTarget, OnlyTheLoopbackNamesWithOurPortAreOurHost) {
    EXPECT_TRUE(IsOwnHost("127.0.0.1:8123", 8123));
    EXPECT_TRUE(IsOwnHost("localhost:8123", 8123));
    EXPECT_TRUE(IsOwnHost("LocalHost:8123", 8123));
    for (const char* host : {"", "127.0.0.1", "localhost", "127.0.0.1:8124", "127.0.0.1:81230",
                             "evil.example:8123", "127.0.0.1.evil.example:8123", "[::1]:8123",
                             "localhost.:8123", "127.1:8123", "x127.0.0.1:8123"})
        EXPECT_FALSE(IsOwnHost(host, 8123)) << host;
    EXPECT_FALSE(IsOwnHost(":0", 0));

    EXPECT_TRUE(IsOwnOrigin("http://127.0.0.1:8123", 8123));
    EXPECT_TRUE(IsOwnOrigin("http://localhost:8123", 8123));
    for (const char* origin : {"", "null", "https://127.0.0.1:8123", "http://127.0.0.1:8123/",
                               "http://evil.example:8123", "http://127.0.0.1:9", "127.0.0.1:8123"})
        EXPECT_FALSE(IsOwnOrigin(origin, 8123)) << origin;
}

TEST(RequestTarget, ContentTypesAndTheBridgeInPages) {
    EXPECT_EQ(ContentTypeFor(L"Common\\layout.HTML"), "text/html; charset=utf-8");
    EXPECT_EQ(ContentTypeFor(L"DlgSettings.htm"), "text/html; charset=utf-8");
    EXPECT_EQ(ContentTypeFor(L"a\\b.css"), "text/css; charset=utf-8");
    EXPECT_EQ(ContentTypeFor(L"Common\\bridge.js"), "text/javascript; charset=utf-8");
    EXPECT_EQ(ContentTypeFor(L"logo.GIF"), "image/gif");
    EXPECT_EQ(ContentTypeFor(L"noextension"), "application/octet-stream");
    EXPECT_EQ(ContentTypeFor(L"folder.d\\file"), "application/octet-stream");

    const std::string script = "<script src=\"/t/Common/bridge.js\"></script>";
    EXPECT_EQ(InjectBridge("<!DOCTYPE html><HTML lang=en><HEAD id=h><title>x</title>", "t"),
              "<!DOCTYPE html><HTML lang=en><HEAD id=h>" + script + "<title>x</title>");
    EXPECT_EQ(InjectBridge("<html><header></header><body>", "t"),
              "<html>" + script + "<header></header><body>");
    EXPECT_EQ(InjectBridge("<p>fragment", "t"), script + "<p>fragment");
}

TEST(RequestTarget, LaunchAddressesAndTheSessionCookie) {
    const std::string base = std::string("/") + kToken + "/launch/";
    EXPECT_EQ(LaunchCodeOf(base + "00ff", kToken), "00ff");
    for (std::string target :
         {base, base + "00FF", base + "00ff/x", base + "00ff?x=1", base + std::string(65, 'a'),
          std::string("/launch/00ff"), "/" + std::string(32, '0') + "/launch/00ff",
          std::string(kToken) + "/launch/00ff", base.substr(0, base.size() - 1)})
        EXPECT_EQ(LaunchCodeOf(target, kToken), std::nullopt) << target;

    EXPECT_TRUE(CarriesCookie("veltrane_session=abc", "veltrane_session", "abc"));
    // Another path's cookie of the same name may come first.
    EXPECT_TRUE(CarriesCookie("a=1; veltrane_session=old ;veltrane_session=abc", "veltrane_session",
                              "abc"));
    for (const char* header :
         {"", "veltrane_session=ab", "veltrane_session=abcd", "xveltrane_session=abc",
          "veltrane_session", "a=abc", "veltrane_session=ABC"})
        EXPECT_FALSE(CarriesCookie(header, "veltrane_session", "abc")) << header;
}

}  // namespace

}  // namespace veltrane
