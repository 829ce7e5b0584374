// The page's side of the loopback web host, for tests: the session's cookie
// as a browser gets it, and a socket that answers the host's calls.
#pragma once

#include <gtest/gtest.h>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <string>

#include "sysaccess/text.h"
#include "ui/web_host.h"

namespace veltrane {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

// The path of one of the host's addresses.
inline std::string PathOf(const std::wstring& address) {
    std::string text = ToUtf8(address);
    return text.substr(text.find('/', text.find("//") + 2));
}

// The session's cookie ("name=value"), as a browser gets it from a launch address.
inline std::string SessionCookie(CWebHost& host) {
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

}  // namespace veltrane
