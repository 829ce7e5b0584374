#include "ui/web_host.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <deque>
#include <optional>
#include <thread>
#include <utility>

#include "sysaccess/file_bytes.h"
#include "sysaccess/text.h"
#include "sysaccess/thread_entry.h"
#include "sysaccess/trace.h"
#include "ui/launch_codes.h"
#include "ui/request_target.h"

namespace veltrane {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

// A page replaced by a newer one (another tab, a reload) must not reconnect.
constexpr unsigned short kReplacedCloseCode = 4000;

std::string QueryValue(std::string_view query, std::string_view name) {
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos) end = query.size();
        std::string_view pair = query.substr(start, end - start);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
            pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
        start = end + 1;
    }
    return {};
}

// What a browser shows for a launch address opened a second time, or for a
// page of the window without the session's cookie (another browser, a
// bookmark): how to get a fresh address.
std::string OpenAgainPage(std::string_view heading) {
    return "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<title>Veltrane</title></head><body><h1>" +
           std::string(heading) +
           "</h1><p>Each address of Veltrane's window opens it once. To open the window "
           "again, choose Restore from Veltrane's icon in the notification area, or start "
           "Veltrane again.</p></body></html>";
}

}  // namespace

struct CWebHost::Impl {
    // Sessions open now, and whether the last accept was refused for their
    // number (I/O thread only). Declared before the I/O context: the sessions
    // it still holds count themselves out when it goes.
    size_t sessions = 0;
    bool refusing = false;
    asio::io_context io;
    tcp::acceptor acceptor{io};
    asio::steady_timer acceptRetry{io};
    std::thread thread;
    std::string runPath;
    std::string credential;  // the session cookie's value
    unsigned short port = 0;
    std::wstring folder;
    CLaunchCodes launchCodes;

    std::mutex linksLock;
    std::map<std::string, std::shared_ptr<CPageLink>> links;
    unsigned nextDialog = 1;

    std::shared_ptr<CPageLink> FindLink(const std::string& id) {
        std::lock_guard<std::mutex> guard(linksLock);
        auto found = links.find(id);
        return found == links.end() ? nullptr : found->second;
    }
    void Accept();
};

namespace {

// One of the host's sessions while it lives: an HTTP connection, then the
// page socket it may become.
class SessionSlot {
public:
    explicit SessionSlot(CWebHost::Impl& host) : host_(&host) { ++host.sessions; }
    SessionSlot(SessionSlot&& other) noexcept : host_(std::exchange(other.host_, nullptr)) {}
    SessionSlot& operator=(SessionSlot&&) = delete;
    ~SessionSlot() {
        if (host_) --host_->sessions;
    }

private:
    CWebHost::Impl* host_;
};

class SocketSession : public std::enable_shared_from_this<SocketSession> {
public:
    SocketSession(tcp::socket socket, std::shared_ptr<CPageLink> link, asio::io_context& io,
                  SessionSlot slot)
        : socket_(std::move(socket)), link_(std::move(link)), io_(io), slot_(std::move(slot)) {}

    void Accept(http::request<http::string_body> request) {
        socket_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        socket_.read_message_max(8 * 1024 * 1024);
        socket_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            if (!error) self->OnAccepted();
        });
    }

    // Called on the I/O thread only.
    void Write(std::string text, unsigned short closeCode = 0) {
        queue_.push_back({std::move(text), closeCode});
        if (queue_.size() == 1) WriteNext();
    }
    void Drop() { beast::get_lowest_layer(socket_).close(); }

private:
    struct Outgoing {
        std::string text;
        unsigned short closeCode;
    };

    void OnAccepted() {
        std::weak_ptr<SocketSession> weak = shared_from_this();
        asio::io_context& io = io_;
        link_->Attach(
            [weak, &io](std::string text) {
                asio::post(io, [weak, text = std::move(text)]() mutable {
                    if (auto self = weak.lock()) self->Write(std::move(text));
                });
                return true;
            },
            [weak, &io] {
                asio::post(io, [weak] {
                    if (auto self = weak.lock()) self->Drop();
                });
            },
            [weak, &io] {
                asio::post(io, [weak] {
                    if (auto self = weak.lock()) self->Write({}, kReplacedCloseCode);
                });
            });
        generation_ = link_->GetGeneration();
        Write(link_->ListenMessage().dump());
        Read();
    }

    void Read() {
        socket_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, size_t) {
            if (error) {
                self->link_->Detach(self->generation_);
                return;
            }
            std::string text = beast::buffers_to_string(self->buffer_.data());
            self->buffer_.consume(self->buffer_.size());
            self->Handle(text);
            self->Read();
        });
    }

    // Whatever arrives is only a candidate for a message of the bridge: the
    // wrong shape or type is dropped and traced, and never leaves the I/O thread.
    void Handle(const std::string& text) {
        try {
            if (!Dispatch(nlohmann::json::parse(text, nullptr, false)))
                Trace(L"Page %hs: dropped a message that is not the bridge's (%zu bytes)\n",
                      link_->GetId().c_str(), text.size());
        } catch (const std::exception& error) {
            Trace(L"Page %hs: dropped a malformed message: %hs\n", link_->GetId().c_str(),
                  error.what());
        }
    }

    static std::string StringField(const nlohmann::json& message, const char* name) {
        auto found = message.find(name);
        return found != message.end() && found->is_string() ? found->get<std::string>()
                                                            : std::string();
    }

    // False for a message of no known shape.
    bool Dispatch(const nlohmann::json& message) {
        if (!message.is_object()) return false;
        std::string type = StringField(message, "t");
        if (type == "reply") {
            auto sequence = message.find("seq");
            if (sequence == message.end() || !sequence->is_number_unsigned()) return false;
            link_->Answer(sequence->get<uint64_t>(), message);
            return true;
        }
        auto event = std::make_unique<PageEvent>();
        event->generation = generation_;
        if (type == "complete") {
            event->kind = PageEventKind::kDocumentComplete;
        } else if (type == "close") {
            event->kind = PageEventKind::kClose;
        } else if (type == "closeFrame") {
            // The page closes a frame it shows for a dialog (its close box, a
            // page that could not be loaded): the dialog ends as if cancelled.
            event->kind = PageEventKind::kCloseFrame;
            event->id = FromUtf8(StringField(message, "dlg"));
            if (event->id.empty()) return false;
        } else if (type == "violation") {
            // Nothing of the program's own needs the content policy to stop
            // it: whatever it stopped is traced, for the tests to count.
            Trace(L"Page %hs: content policy violation: %hs %hs\n", link_->GetId().c_str(),
                  StringField(message, "directive").substr(0, 64).c_str(),
                  StringField(message, "blocked").substr(0, 200).c_str());
            return true;
        } else if (type == "event") {
            std::string kind = StringField(message, "kind");
            if (kind != "click" && kind != "mouseover") return false;
            event->kind = kind == "click" ? PageEventKind::kClick : PageEventKind::kMouseOver;
            event->id = FromUtf8(StringField(message, "id"));
            auto handle = message.find("handle");
            if (handle != message.end() && handle->is_number_integer())
                event->handle = handle->get<int64_t>();
            auto attributes = message.find("attrs");
            if (attributes != message.end() && attributes->is_object())
                for (const auto& [name, value] : attributes->items())
                    if (value.is_string())
                        event->attributes[FromUtf8(name)] = FromUtf8(value.get<std::string>());
        } else {
            return false;
        }
        link_->Post(event.release());
        return true;
    }

    void WriteNext() {
        Outgoing& next = queue_.front();
        auto done = [self = shared_from_this()](beast::error_code error, size_t = 0) {
            if (error) return;
            self->queue_.pop_front();
            if (!self->queue_.empty()) self->WriteNext();
        };
        if (next.closeCode) {
            socket_.async_close(websocket::close_reason(next.closeCode), done);
            return;
        }
        socket_.text(true);
        socket_.async_write(asio::buffer(next.text), done);
    }

    websocket::stream<beast::tcp_stream> socket_;
    beast::flat_buffer buffer_;
    std::shared_ptr<CPageLink> link_;
    asio::io_context& io_;
    SessionSlot slot_;
    unsigned generation_ = 0;
    std::deque<Outgoing> queue_;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, CWebHost::Impl& host)
        : stream_(std::move(socket)), host_(host), slot_(host) {}

    void Read() {
        parser_.emplace();
        parser_->body_limit(64 * 1024);
        stream_.expires_after(std::chrono::seconds(30));
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, size_t) {
                             if (error) {
                                 self->stream_.socket().close();
                                 return;
                             }
                             self->Handle(self->parser_->release());
                         });
    }

private:
    void Handle(http::request<http::string_body> request) {
        // A name other than the loopback's own is a page of another site that
        // had its name point here (DNS rebinding): it must not get past the credential.
        if (!IsOwnHost(request[http::field::host], host_.port))
            return Respond(request, http::status::forbidden, "Forbidden\n");
        if (std::optional<std::string> code = LaunchCodeOf(request.target(), host_.runPath))
            return Launch(request, *code);
        if (!CarriesCookie(request[http::field::cookie], CWebHost::kSessionCookie,
                           host_.credential))
            return Respond(request, http::status::forbidden,
                           OpenAgainPage("This page opens only in the window's own browser"),
                           "text/html; charset=utf-8");
        std::wstring relative;
        std::string query;
        RequestPath kind = MapRequestTarget(request.target(), host_.runPath, relative, query);
        if (websocket::is_upgrade(request)) {
            std::shared_ptr<CPageLink> link =
                kind == RequestPath::kSocket ? host_.FindLink(QueryValue(query, "dlg")) : nullptr;
            // Browsers name the page that opens a socket; only our own pages may.
            if (!link || !IsOwnOrigin(request[http::field::origin], host_.port))
                return Respond(request, http::status::forbidden, "Forbidden\n");
            stream_.expires_never();
            std::make_shared<SocketSession>(stream_.release_socket(), link, host_.io,
                                            std::move(slot_))
                ->Accept(std::move(request));
            return;
        }
        if (kind != RequestPath::kFile)
            return Respond(request, http::status::forbidden, "Forbidden\n");
        if (request.method() != http::verb::get && request.method() != http::verb::head)
            return Respond(request, http::status::method_not_allowed, "Method not allowed\n");

        std::optional<std::string> read = TryReadWholeFile(host_.folder + L"\\" + relative);
        if (!read) return Respond(request, http::status::not_found, "Not found\n");
        std::string content = std::move(*read);
        std::string type = ContentTypeFor(relative);
        if (type.rfind("text/html", 0) == 0)
            content = InjectBridge(std::move(content), host_.runPath);
        Respond(request, http::status::ok, std::move(content), type);
    }

    // A launch address: the first use of a code given out sets the session's
    // cookie and sends the browser on to the page; any other use is refused
    // with a word on how to open the window again.
    void Launch(const http::request<http::string_body>& request, const std::string& code) {
        std::optional<std::string> target;
        if (request.method() == http::verb::get) target = host_.launchCodes.Exchange(code);
        if (!target) {
            Trace(L"Web host: a launch address was used again, or was never ours\n");
            return Respond(request, http::status::forbidden,
                           OpenAgainPage("This address has already been used"),
                           "text/html; charset=utf-8");
        }
        const std::string path = "/" + host_.runPath + "/";
        Respond(request, http::status::see_other, "", "text/plain; charset=utf-8",
                {{http::field::location, path + *target},
                 {http::field::set_cookie, std::string(CWebHost::kSessionCookie) + "=" +
                                               host_.credential + "; Path=" + path +
                                               "; HttpOnly; SameSite=Strict"}});
    }

    void Respond(const http::request<http::string_body>& request, http::status status,
                 std::string body, const std::string& type = "text/plain; charset=utf-8",
                 std::initializer_list<std::pair<http::field, std::string>> extra = {}) {
        auto response =
            std::make_shared<http::response<http::string_body>>(status, request.version());
        response->set(http::field::server, "Veltrane");
        response->set(http::field::content_type, type);
        response->set(http::field::cache_control, "no-store");
        response->set("X-Content-Type-Options", "nosniff");
        // Every answer, whatever it holds: a page of ours runs only our own
        // scripts, shows nothing of another site, and sends no address on.
        const std::string_view host = request[http::field::host];
        response->set(
            "Content-Security-Policy",
            ContentPolicy(IsOwnHost(host, host_.port) ? std::string(host)
                                                      : "127.0.0.1:" + std::to_string(host_.port),
                          host_.runPath));
        response->set("Referrer-Policy", "no-referrer");
        for (const auto& [field, value] : extra) response->set(field, value);
        response->keep_alive(request.keep_alive());
        bool head = request.method() == http::verb::head;
        response->body() = std::move(body);
        response->prepare_payload();
        if (head) response->body().clear();
        http::async_write(stream_, *response,
                          [self = shared_from_this(), response](beast::error_code error, size_t) {
                              if (error || response->need_eof()) {
                                  beast::error_code ignored;
                                  self->stream_.socket().shutdown(tcp::socket::shutdown_both,
                                                                  ignored);
                                  return;
                              }
                              self->Read();
                          });
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    CWebHost::Impl& host_;
    SessionSlot slot_;
};

}  // namespace

void CWebHost::Impl::Accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted) return;
        if (error) {
            // Out of descriptors, say: accepting again at once would fail
            // again at once, for as long as the cause lasts.
            Trace(L"Web host: accept failed (%hs); trying again in %u ms\n",
                  error.message().c_str(), kAcceptRetryMs);
            acceptRetry.expires_after(std::chrono::milliseconds(kAcceptRetryMs));
            acceptRetry.async_wait([this](beast::error_code waited) {
                if (waited != asio::error::operation_aborted) Accept();
            });
            return;
        }
        if (sessions >= kMaxSessions) {
            if (!refusing) Trace(L"Web host: %zu connections open; refusing more\n", sessions);
            refusing = true;
            beast::error_code ignored;
            socket.close(ignored);
        } else {
            refusing = false;
            // Calls to the page are small messages that wait for an answer:
            // held back for coalescing, each would wait out the peer's delayed ACK.
            beast::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<HttpSession>(std::move(socket), *this)->Read();
        }
        Accept();
    });
}

CWebHost::CWebHost() : impl_(std::make_unique<Impl>()) {}

CWebHost::~CWebHost() { Stop(); }

CWebHost& CWebHost::Get() {
    static CWebHost host;
    return host;
}

bool CWebHost::Start(const std::wstring& servedFolder) {
    if (IsRunning()) return true;
    impl_->runPath = NewRandomKey();
    impl_->credential = NewRandomKey();
    if (impl_->runPath.empty() || impl_->credential.empty()) return false;
    impl_->folder = servedFolder;
    beast::error_code error;
    tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), 0);
    impl_->acceptor.open(endpoint.protocol(), error);
    // Nobody else may bind the same port while the program listens on it.
    if (!error) {
        BOOL exclusive = TRUE;
        setsockopt(impl_->acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<const char*>(&exclusive), sizeof(exclusive));
        impl_->acceptor.bind(endpoint, error);
    }
    if (!error) impl_->acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        Trace(L"Web host: cannot listen on the loopback: %hs\n", error.message().c_str());
        impl_->acceptor.close(error);
        return false;
    }
    impl_->port = impl_->acceptor.local_endpoint().port();
    impl_->Accept();
    impl_->io.restart();
    impl_->thread = std::thread([this] {
        // A handler that throws ends the host's thread, never the program.
        CatchAtThreadEntry(
            L"Web host", [this] { impl_->io.run(); }, [] {});
    });
    return true;
}

void CWebHost::Stop() {
    if (!impl_->thread.joinable()) return;
    impl_->io.stop();
    impl_->thread.join();
    beast::error_code ignored;
    impl_->acceptor.close(ignored);
}

bool CWebHost::IsRunning() const { return impl_->thread.joinable(); }

unsigned short CWebHost::GetPort() const { return impl_->port; }

const std::string& CWebHost::GetRunPath() const { return impl_->runPath; }

namespace {

// A page below the served folder as the rest of its address: "Common/layout.html?dlg=2".
std::wstring PageTarget(const std::wstring& pageName, const std::string& dialogId) {
    std::wstring path = pageName;
    for (wchar_t& c : path)
        if (c == L'\\') c = L'/';
    if (dialogId != kMainDialogId) path += L"?dlg=" + FromUtf8(dialogId);
    return path;
}

}  // namespace

std::wstring CWebHost::GetPageAddress(const std::wstring& pageName,
                                      const std::string& dialogId) const {
    return L"http://127.0.0.1:" + std::to_wstring(impl_->port) + L"/" + FromUtf8(impl_->runPath) +
           L"/" + PageTarget(pageName, dialogId);
}

std::wstring CWebHost::GetLaunchAddress(const std::wstring& pageName, const std::string& dialogId) {
    std::string code = impl_->launchCodes.Mint(ToUtf8(PageTarget(pageName, dialogId)));
    if (code.empty()) return {};
    return L"http://127.0.0.1:" + std::to_wstring(impl_->port) + L"/" + FromUtf8(impl_->runPath) +
           L"/launch/" + FromUtf8(code);
}

std::shared_ptr<CPageLink> CWebHost::Register(HWND window, std::vector<EventBinding> bindings) {
    std::lock_guard<std::mutex> guard(impl_->linksLock);
    std::string id = impl_->links.count(kMainDialogId) ? std::to_string(impl_->nextDialog++)
                                                       : std::string(kMainDialogId);
    auto link = std::make_shared<CPageLink>(id, window, std::move(bindings));
    impl_->links[id] = link;
    return link;
}

void CWebHost::Unregister(const std::shared_ptr<CPageLink>& link) {
    std::lock_guard<std::mutex> guard(impl_->linksLock);
    auto found = impl_->links.find(link->GetId());
    if (found != impl_->links.end() && found->second == link) impl_->links.erase(found);
}

}  // namespace veltrane
