// The loopback web host's page links: sockets it refuses, how many
// connections it takes, hostile messages, and the document calls and events
// a link carries across a page that goes and comes.
#include <gtest/gtest.h>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "fake_page.h"
#include "support/scoped_no_browser.h"
#include "support/test_files.h"
#include "sysaccess/text.h"
#include "ui/bridge_document.h"
#include "ui/web_host.h"

namespace veltrane {

namespace {

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

}  // namespace

}  // namespace veltrane
