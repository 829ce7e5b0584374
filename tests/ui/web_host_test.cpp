// The loopback web host: which request targets it serves, the launch exchange
// and the policy on every answer, how many connections it takes, and the page
// link that carries document calls and events, across a page that goes and comes.
#include <gtest/gtest.h>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "support/scoped_no_browser.h"
#include "support/test_files.h"
#include "sysaccess/text.h"
#include "ui/bridge_document.h"
#include "ui/dlg_base.h"
#include "ui/request_target.h"
#include "ui/web_host.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

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

// The path of one of the host's addresses.
std::string PathOf(const std::wstring& address) {
    std::string text = ToUtf8(address);
    return text.substr(text.find('/', text.find("//") + 2));
}

// The session's cookie ("name=value"), as a browser gets it from a launch address.
std::string SessionCookie(CWebHost& host) {
    asio::io_context io;
    beast::tcp_stream stream(io);
    stream.connect(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), host.GetPort()));
    http::request<http::empty_body> request(
        http::verb::get, PathOf(host.GetLaunchAddress(L"Common\\layout.html", kMainDialogId)), 11);
    request.set(http::field::host, "127.0.0.1:" + std::to_string(host.GetPort()));
    http::write(stream, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(stream, buffer, response);
    const std::string set(response[http::field::set_cookie]);
    return set.substr(0, set.find(';'));
}

// A stand-in for the page's bridge script: answers calls from a table.
class FakePage {
public:
    // A browser names our own page as the socket's origin and sends the
    // session's cookie; `origin` and `cookie` stand in for others.
    FakePage(unsigned short port, const std::string& target, std::string cookie,
             std::string origin = {})
        : socket_(io_) {
        tcp::resolver resolver(io_);
        asio::connect(socket_.next_layer(), resolver.resolve("127.0.0.1", std::to_string(port)));
        const std::string host = "127.0.0.1:" + std::to_string(port);
        if (origin.empty()) origin = "http://" + host;
        socket_.set_option(
            websocket::stream_base::decorator([origin, cookie](websocket::request_type& request) {
                request.set(http::field::origin, origin);
                if (!cookie.empty()) request.set(http::field::cookie, cookie);
            }));
        socket_.handshake(host, target);
    }

    nlohmann::json Receive() {
        beast::flat_buffer buffer;
        socket_.read(buffer);
        return nlohmann::json::parse(beast::buffers_to_string(buffer.data()));
    }
    void Send(const nlohmann::json& message) { SendText(message.dump()); }
    void SendText(const std::string& text) { socket_.write(asio::buffer(text)); }

    // Answers calls until the host closes; `silent` answers nothing. Other
    // messages are kept; with `closeWhenSized` the page asks to close once sized.
    void Serve(bool silent = false, bool closeWhenSized = false) {
        worker_ = std::thread([this, silent, closeWhenSized] {
            try {
                for (;;) {
                    nlohmann::json call = Receive();
                    if (call["t"] != "call") {
                        std::lock_guard<std::mutex> guard(lock_);
                        messages_.push_back(call);
                        if (closeWhenSized && call["t"] == "size") Send({{"t", "close"}});
                        continue;
                    }
                    ++calls;
                    if (silent) continue;
                    nlohmann::json reply = {{"t", "reply"}, {"seq", call["seq"]}, {"ok", true}};
                    if (call["op"] == "find")
                        reply["value"] =
                            call["id"] == "DlgBody" ? nlohmann::json(7) : nlohmann::json();
                    else if (call["op"] == "getAttr")
                        reply["value"] = call["handle"] == 7 && call["name"] == "width"
                                             ? nlohmann::json("300")
                                             : nlohmann::json();
                    Send(reply);
                }
            } catch (const std::exception&) {
            }
        });
    }

    void Close() {
        beast::error_code ignored;
        beast::get_lowest_layer(socket_).shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(socket_).close(ignored);
        if (worker_.joinable()) worker_.join();
    }
    ~FakePage() { Close(); }

    // The first message of that type the host sent, or null.
    nlohmann::json Message(const std::string& type) {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& message : messages_)
            if (message["t"] == type) return message;
        return nullptr;
    }

    std::atomic<int> calls = 0;

private:
    std::mutex lock_;
    std::vector<nlohmann::json> messages_;
    asio::io_context io_;
    websocket::stream<tcp::socket> socket_;
    std::thread worker_;
};

class PageLinkTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Start(std::wstring(kInstalledProgramFolder) + L"\\html"));
        window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
        link = host.Register(window, {{L"control", PageEventKind::kClick}});
        link->SetTimeout(500);
        cookie = SessionCookie(host);
    }
    void TearDown() override {
        host.Unregister(link);
        host.Stop();
        DestroyWindow(window);
    }

    std::string SocketTarget(const std::string& runPath) const {
        return "/" + runPath + "/socket?dlg=" + link->GetId();
    }

    // The next page event posted to the window, within a few seconds.
    std::unique_ptr<PageEvent> NextEvent() {
        DWORD start = GetTickCount();
        MSG message;
        while (GetTickCount() - start < 5000) {
            if (PeekMessageW(&message, window, kPageEventMessage, kPageEventMessage, PM_REMOVE))
                return std::unique_ptr<PageEvent>(reinterpret_cast<PageEvent*>(message.lParam));
            Sleep(10);
        }
        return nullptr;
    }

    std::unique_ptr<FakePage> Connect() {
        auto page =
            std::make_unique<FakePage>(host.GetPort(), SocketTarget(host.GetRunPath()), cookie);
        nlohmann::json listen = page->Receive();
        EXPECT_EQ(listen["t"], "listen");
        EXPECT_EQ(listen["events"]["click"], nlohmann::json::array({"control"}));
        page->Send({{"t", "complete"}});
        auto complete = NextEvent();
        EXPECT_TRUE(complete && complete->kind == PageEventKind::kDocumentComplete);
        return page;
    }

    CWebHost host;
    HWND window = nullptr;
    std::shared_ptr<CPageLink> link;
    std::string cookie;
};

TEST_F(PageLinkTest, SocketsWithoutTheCredentialOrForAnUnknownDialogAreRefused) {
    const unsigned short port = host.GetPort();
    const std::string target = SocketTarget(host.GetRunPath());
    EXPECT_THROW(FakePage(port, target, ""), beast::system_error);
    std::string wrong = cookie;
    wrong.back() = wrong.back() == '0' ? '1' : '0';
    EXPECT_THROW(FakePage(port, target, wrong), beast::system_error);
    EXPECT_THROW(FakePage(port, SocketTarget(std::string(32, '0')), cookie), beast::system_error);
    EXPECT_THROW(FakePage(port, "/socket?dlg=" + link->GetId(), cookie), beast::system_error);
    EXPECT_THROW(FakePage(port, "/" + host.GetRunPath() + "/socket?dlg=nobody", cookie),
                 beast::system_error);
    EXPECT_FALSE(link->IsAttached());
}

TEST_F(PageLinkTest, SocketsOfAnotherOriginAreRefused) {
    for (const char* origin : {"http://evil.example", "null", "http://127.0.0.1:1"})
        EXPECT_THROW(FakePage(host.GetPort(), SocketTarget(host.GetRunPath()), cookie, origin),
                     beast::system_error)
            << origin;
    EXPECT_FALSE(link->IsAttached());
}

// A plain connection to the host that asks for a page now and then.
class Connection {
public:
    explicit Connection(unsigned short port) : socket_(io_) {
        socket_.connect(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port));
        DWORD timeout = 5000;
        setsockopt(socket_.native_handle(), SOL_SOCKET, SO_RCVTIMEO,
                   reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        request_ = "GET /x HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
    }
    // Whether the host answers a request on this connection (it keeps it open after).
    bool Answers() {
        beast::error_code error;
        asio::write(socket_, asio::buffer(request_), error);
        char buffer[4096];
        size_t got = error ? 0 : socket_.read_some(asio::buffer(buffer), error);
        return !error && std::string_view(buffer, got).rfind("HTTP/1.1 403", 0) == 0;
    }

private:
    asio::io_context io_;
    tcp::socket socket_;
    std::string request_;
};

TEST_F(PageLinkTest, ConnectionsBeyondTheCapAreClosedAtOnce) {
    const unsigned short port = host.GetPort();
    // The cookie's own connection may still be counted for a moment: a
    // connection that is turned away is opened again.
    std::vector<std::unique_ptr<Connection>> held;
    for (int attempt = 0; held.size() < CWebHost::kMaxSessions && attempt < 200; ++attempt) {
        auto connection = std::make_unique<Connection>(port);
        if (connection->Answers())
            held.push_back(std::move(connection));
        else
            Sleep(50);
    }
    ASSERT_EQ(held.size(), CWebHost::kMaxSessions);
    DWORD start = GetTickCount();
    EXPECT_FALSE(Connection(port).Answers());
    EXPECT_LT(GetTickCount() - start, 3000u) << "closed at once, not left to time out";
    EXPECT_TRUE(held.front()->Answers()) << "the sessions held are served still";

    // One goes: the next connection is served again.
    held.pop_back();
    bool served = false;
    for (int attempt = 0; !served && attempt < 50; ++attempt) {
        served = Connection(port).Answers();
        if (!served) Sleep(100);
    }
    EXPECT_TRUE(served);
}

TEST_F(PageLinkTest, HostileMessagesAreDroppedAndThePageStillWorks) {
    auto page = Connect();
    // What the bridge sends, with every field of the wrong type, and worse.
    std::vector<std::string> messages = {
        R"({"t":1})",
        R"({"t":null})",
        R"({"t":["event"]})",
        R"([1,2,3])",
        R"("text")",
        "42",
        R"({"t":"reply","seq":"1","ok":"yes"})",
        R"({"t":"reply","seq":-5})",
        R"({"t":"reply","seq":1.5,"ok":true})",
        R"({"t":"reply"})",
        R"({"t":"event","kind":7,"id":"control"})",
        R"({"t":"event","kind":"click","id":3})",
        R"({"t":"event","kind":"click","id":"control","handle":"x","attrs":[]})",
        R"({"t":"event","kind":"click","id":"control","attrs":{"cid":5}})",
        R"({"t":"closeFrame","dlg":9})",
        R"({"t":"closeFrame"})",
        R"({"t":"complete","x":{}})",
        "{",
        "",
        "{\"t\":\"event\"",
        std::string(70000, '['),
        R"({"t":"event","kind":"mouseover","id":{"a":1}})"};
    unsigned seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string text = messages[seed % messages.size()];
        // Now and then a byte of it flipped (within ASCII: a browser sends valid UTF-8).
        if (!text.empty() && (seed >> 8) % 3 == 0)
            text[(seed >> 12) % text.size()] ^= static_cast<char>(1 + (seed >> 20) % 127);
        page->SendText(text);
    }
    page->Send({{"t", "event"}, {"kind", "click"}, {"id", "control"}, {"attrs", {{"cid", "ok"}}}});
    // Whatever got through is a well-formed event; the last one is ours.
    std::unique_ptr<PageEvent> event;
    for (auto next = NextEvent(); next; next = NextEvent()) {
        event = std::move(next);
        if (event->kind == PageEventKind::kClick && event->attributes[L"cid"] == L"ok") break;
    }
    ASSERT_TRUE(event);
    EXPECT_EQ(event->attributes[L"cid"], L"ok");
    page->Serve();
    CBridgeDocument document(link);
    EXPECT_TRUE(document.GetElementById(L"DlgBody"));
    EXPECT_TRUE(link->IsAttached());
}

TEST_F(PageLinkTest, CallsAndEventsReachTheirSideAndAGonePageIsDetached) {
    auto page = Connect();
    page->Send({{"t", "event"},
                {"kind", "click"},
                {"id", "control"},
                {"handle", 12},
                {"attrs", {{"cid", "btn_scan"}, {"pluginid", "RunHistory"}}}});
    auto click = NextEvent();
    ASSERT_TRUE(click);
    EXPECT_EQ(click->kind, PageEventKind::kClick);
    EXPECT_EQ(click->attributes[L"cid"], L"btn_scan");
    EXPECT_EQ(click->attributes[L"pluginid"], L"RunHistory");
    EXPECT_EQ(click->handle, 12);

    page->Serve();
    CBridgeDocument document(link);
    auto body = document.GetElementById(L"DlgBody");
    ASSERT_TRUE(body);
    EXPECT_EQ(body->GetAttribute(L"width"), L"300");
    EXPECT_EQ(body->GetAttribute(L"height"), std::nullopt);
    EXPECT_EQ(document.GetElementById(L"Missing"), nullptr);

    page->Close();
    auto gone = NextEvent();
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->kind, PageEventKind::kDetached);
    DWORD start = GetTickCount();
    EXPECT_EQ(document.GetElementById(L"DlgBody"), nullptr);
    EXPECT_EQ(body->GetAttribute(L"width"), std::nullopt);
    EXPECT_LT(GetTickCount() - start, 200u) << "a detached document answers at once";

    // A new page: the document works again, elements of the old page do not.
    auto again = Connect();
    again->Serve();
    EXPECT_TRUE(document.GetElementById(L"DlgBody"));
    int calls = again->calls;
    EXPECT_EQ(body->GetAttribute(L"width"), std::nullopt);
    EXPECT_EQ(again->calls, calls);
}

TEST_F(PageLinkTest, ASilentPageTimesOutAndIsDropped) {
    auto page = Connect();
    page->Serve(true);
    CBridgeDocument document(link);
    DWORD start = GetTickCount();
    EXPECT_EQ(document.GetElementById(L"DlgBody"), nullptr);
    EXPECT_GE(GetTickCount() - start, 400u);
    EXPECT_FALSE(link->IsAttached());
    auto gone = NextEvent();
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->kind, PageEventKind::kDetached);
}

TEST_F(PageLinkTest, ANewerPageReplacesTheOlder) {
    auto older = Connect();
    auto newer = Connect();
    // The older page is told so and closed; it must not come back on its own.
    EXPECT_THROW(older->Receive(), beast::system_error);
    newer->Serve();
    CBridgeDocument document(link);
    EXPECT_TRUE(document.GetElementById(L"DlgBody"));
    EXPECT_TRUE(link->IsAttached());
}

class Dialog : public CDlgBase {
public:
    using CDlgBase::CDlgBase;
    int completions = 0;

protected:
    void OnDocumentComplete(bool reattached) override {
        CDlgBase::OnDocumentComplete(reattached);
        ++completions;
    }
};

void PumpUntil(const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    MSG message;
    while (!done() && GetTickCount() - start < 5000) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
}

TEST(DialogBase, AModalDialogIsAFrameOverItsParentAndEndsWithItsCloseBox) {
    ScopedProgramFolder programFolder;
    ScopedNoBrowser noBrowser;
    Dialog main(L"Common\\layout.html", L"Veltrane", nullptr);
    ASSERT_TRUE(main.Create());
    CWebHost& host = CWebHost::Get();
    const std::string cookie = SessionCookie(host);
    FakePage mainPage(host.GetPort(), "/" + host.GetRunPath() + "/socket?dlg=main", cookie);
    mainPage.Receive();
    mainPage.Send({{"t", "complete"}});
    mainPage.Serve();
    PumpUntil([&] { return main.completions == 1; });
    ASSERT_EQ(main.completions, 1);
    EXPECT_EQ(mainPage.Message("size"),
              nlohmann::json({{"t", "size"}, {"width", 300}, {"height", 100}}));

    // The dialog's page connects once the parent's page has made its frame.
    std::unique_ptr<FakePage> dialogPage;
    std::thread opener([&] {
        DWORD start = GetTickCount();
        nlohmann::json frame;
        while ((frame = mainPage.Message("openFrame")).is_null() && GetTickCount() - start < 5000)
            Sleep(10);
        if (frame.is_null()) return;
        dialogPage = std::make_unique<FakePage>(
            host.GetPort(),
            "/" + host.GetRunPath() + "/socket?dlg=" + frame["dlg"].get<std::string>(), cookie);
        dialogPage->Receive();
        dialogPage->Send({{"t", "complete"}});
        dialogPage->Serve(false, true);
    });
    Dialog about(L"DlgAbout.htm", L"About", &main);
    INT_PTR result = about.DoModal();
    opener.join();

    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(about.completions, 1);
    nlohmann::json frame = mainPage.Message("openFrame");
    ASSERT_FALSE(frame.is_null());
    EXPECT_EQ(frame["title"], "About");
    EXPECT_NE(frame["url"].get<std::string>().find("/DlgAbout.htm?dlg="), std::string::npos);
    PumpUntil([&] { return !mainPage.Message("closeFrame").is_null(); });
    EXPECT_EQ(mainPage.Message("closeFrame")["dlg"], frame["dlg"]);
}

}  // namespace
