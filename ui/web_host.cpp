#include "ui/web_host.h"

#include <bcrypt.h>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <cctype>
#include <cstdio>
#include <deque>
#include <thread>

#include "sysaccess/file_bytes.h"
#include "sysaccess/text.h"
#include "sysaccess/trace.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

// A page replaced by a newer one (another tab, a reload) must not reconnect.
constexpr unsigned short kReplacedCloseCode = 4000;

std::string NewToken() {
    unsigned char bytes[16] = {};
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, bytes, sizeof(bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char byte : bytes) {
        token += kHex[byte >> 4];
        token += kHex[byte & 15];
    }
    return token;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Windows opens a device, not a file, for these names in any folder and with
// any extension ("nul.html", "COM1.txt"); a blank before the dot counts too.
bool IsDeviceName(std::string_view segment) {
    std::string_view base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string upper;
    for (char c : base) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* name : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (upper == name) return true;
    if (upper.size() < 4 || (upper.rfind("COM", 0) != 0 && upper.rfind("LPT", 0) != 0))
        return false;
    std::string_view number = std::string_view(upper).substr(3);
    // COM1-9 and LPT1-9, and the superscript digits Windows also takes for them.
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

// One decoded path segment, or nothing when it could leave the folder or
// name something other than a plain file or folder.
std::optional<std::string> DecodeSegment(std::string_view raw) {
    std::string segment;
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '%') {
            if (i + 2 >= raw.size()) return std::nullopt;
            int high = HexValue(raw[i + 1]);
            int low = HexValue(raw[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F ||
            std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            return std::nullopt;
        segment += c;
    }
    // Windows drops trailing dots and blanks, which would turn "..." into "..".
    if (segment.empty() || segment.back() == '.' || segment.back() == ' ') return std::nullopt;
    if (IsDeviceName(segment)) return std::nullopt;
    return segment;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

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

size_t FindTagEnd(const std::string& page, const char* tag) {
    std::string lower(page.size(), '\0');
    for (size_t i = 0; i < page.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(page[i])));
    size_t length = strlen(tag);
    for (size_t at = lower.find(tag); at != std::string::npos; at = lower.find(tag, at + 1)) {
        char next = at + length < lower.size() ? lower[at + length] : '\0';
        if (next == '>' || std::isspace(static_cast<unsigned char>(next))) {
            size_t close = lower.find('>', at);
            return close == std::string::npos ? std::string::npos : close + 1;
        }
    }
    return std::string::npos;
}

}  // namespace

RequestPath MapRequestTarget(std::string_view target, std::string_view token,
                             std::wstring& relative, std::string& query) {
    relative.clear();
    query.clear();
    if (token.empty() || target.empty() || target[0] != '/') return RequestPath::kForbidden;
    size_t question = target.find('?');
    if (question != std::string_view::npos) {
        query = std::string(target.substr(question + 1));
        target = target.substr(0, question);
    }
    if (target.find('#') != std::string_view::npos) return RequestPath::kForbidden;

    std::vector<std::string_view> segments;
    size_t start = 1;
    while (true) {
        size_t slash = target.find('/', start);
        segments.push_back(target.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    if (segments.size() < 2 || segments[0] != token) return RequestPath::kForbidden;
    if (segments.size() == 2 && segments[1] == "socket") return RequestPath::kSocket;

    std::string path;
    for (size_t i = 1; i < segments.size(); ++i) {
        std::optional<std::string> segment = DecodeSegment(segments[i]);
        if (!segment) return RequestPath::kForbidden;
        if (!path.empty()) path += '\\';
        path += *segment;
    }
    relative = FromUtf8(path);
    if (ToUtf8(relative) != path) return RequestPath::kForbidden;  // not UTF-8
    return RequestPath::kFile;
}

bool IsOwnHost(std::string_view host, unsigned short port) {
    std::string suffix(1, ':');
    suffix += std::to_string(port);
    if (port == 0 || host.size() <= suffix.size() ||
        host.substr(host.size() - suffix.size()) != suffix)
        return false;
    std::string_view name = host.substr(0, host.size() - suffix.size());
    return name == "127.0.0.1" || EqualsIgnoringCase(name, "localhost");
}

bool IsOwnOrigin(std::string_view origin, unsigned short port) {
    constexpr std::string_view kScheme = "http://";
    return origin.size() > kScheme.size() && EqualsIgnoringCase(origin.substr(0, 7), kScheme) &&
           IsOwnHost(origin.substr(kScheme.size()), port);
}

std::string ContentTypeFor(std::wstring_view path) {
    size_t dot = path.find_last_of(L'.');
    std::wstring extension = dot == std::wstring_view::npos ? L"" : std::wstring(path.substr(dot));
    for (wchar_t& c : extension) c = static_cast<wchar_t>(towlower(c));
    static const std::pair<const wchar_t*, const char*> kTypes[] = {
        {L".html", "text/html; charset=utf-8"},
        {L".htm", "text/html; charset=utf-8"},
        {L".css", "text/css; charset=utf-8"},
        {L".js", "text/javascript; charset=utf-8"},
        {L".json", "application/json; charset=utf-8"},
        {L".txt", "text/plain; charset=utf-8"},
        {L".svg", "image/svg+xml"},
        {L".png", "image/png"},
        {L".gif", "image/gif"},
        {L".jpg", "image/jpeg"},
        {L".jpeg", "image/jpeg"},
        {L".bmp", "image/bmp"},
        {L".ico", "image/x-icon"},
    };
    for (const auto& [known, type] : kTypes)
        if (extension == known) return type;
    return "application/octet-stream";
}

std::string InjectBridge(std::string page, std::string_view token) {
    std::string script = "<script src=\"/" + std::string(token) + "/Common/bridge.js\"></script>";
    size_t at = FindTagEnd(page, "<head");
    if (at == std::string::npos) at = FindTagEnd(page, "<html");
    if (at == std::string::npos) at = FindTagEnd(page, "<!doctype");
    if (at == std::string::npos) at = 0;
    page.insert(at, script);
    return page;
}

struct CWebHost::Impl {
    asio::io_context io;
    tcp::acceptor acceptor{io};
    std::thread thread;
    std::string token;
    unsigned short port = 0;
    std::wstring folder;

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

class SocketSession : public std::enable_shared_from_this<SocketSession> {
public:
    SocketSession(tcp::socket socket, std::shared_ptr<CPageLink> link, asio::io_context& io)
        : socket_(std::move(socket)), link_(std::move(link)), io_(io) {}

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
    unsigned generation_ = 0;
    std::deque<Outgoing> queue_;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, CWebHost::Impl& host)
        : stream_(std::move(socket)), host_(host) {}

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
        // had its name point here (DNS rebinding): it must not get past the token.
        if (!IsOwnHost(request[http::field::host], host_.port))
            return Respond(request, http::status::forbidden, "Forbidden\n");
        std::wstring relative;
        std::string query;
        RequestPath kind = MapRequestTarget(request.target(), host_.token, relative, query);
        if (websocket::is_upgrade(request)) {
            std::shared_ptr<CPageLink> link =
                kind == RequestPath::kSocket ? host_.FindLink(QueryValue(query, "dlg")) : nullptr;
            // Browsers name the page that opens a socket; only our own pages may.
            if (!link || !IsOwnOrigin(request[http::field::origin], host_.port))
                return Respond(request, http::status::forbidden, "Forbidden\n");
            stream_.expires_never();
            std::make_shared<SocketSession>(stream_.release_socket(), link, host_.io)
                ->Accept(std::move(request));
            return;
        }
        if (kind != RequestPath::kFile)
            return Respond(request, http::status::forbidden, "Forbidden\n");
        if (request.method() != http::verb::get && request.method() != http::verb::head)
            return Respond(request, http::status::method_not_allowed, "Method not allowed\n");

        std::string content;
        if (!ReadWholeFile(host_.folder + L"\\" + relative, content))
            return Respond(request, http::status::not_found, "Not found\n");
        std::string type = ContentTypeFor(relative);
        if (type.rfind("text/html", 0) == 0)
            content = InjectBridge(std::move(content), host_.token);
        Respond(request, http::status::ok, std::move(content), type);
    }

    void Respond(const http::request<http::string_body>& request, http::status status,
                 std::string body, const std::string& type = "text/plain; charset=utf-8") {
        auto response =
            std::make_shared<http::response<http::string_body>>(status, request.version());
        response->set(http::field::server, "Veltrane");
        response->set(http::field::content_type, type);
        response->set(http::field::cache_control, "no-store");
        response->set("X-Content-Type-Options", "nosniff");
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
};

}  // namespace

void CWebHost::Impl::Accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted) return;
        if (!error) {
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
    impl_->token = NewToken();
    if (impl_->token.empty()) return false;
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
    impl_->thread = std::thread([this] { impl_->io.run(); });
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

const std::string& CWebHost::GetToken() const { return impl_->token; }

std::wstring CWebHost::GetPageAddress(const std::wstring& pageName,
                                      const std::string& dialogId) const {
    std::wstring path = pageName;
    for (wchar_t& c : path)
        if (c == L'\\') c = L'/';
    std::wstring address = L"http://127.0.0.1:" + std::to_wstring(impl_->port) + L"/" +
                           FromUtf8(impl_->token) + L"/" + path;
    if (dialogId != kMainDialogId) address += L"?dlg=" + FromUtf8(dialogId);
    return address;
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
