#pragma once
// The loopback web host: serves the "html" folder and the page sockets on
// 127.0.0.1 at a free port. Every request and socket must carry the per-run
// token as the first path segment; anything else is refused with 403, so no
// other page or local user can drive the cleaner.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/page_link.h"

// Where a request target leads below the served folder.
enum class RequestPath { kFile, kSocket, kForbidden };
// On kFile, `relative` is the file's path below the folder, with backslashes.
// Refused: a missing or wrong token, "." and ".." segments, encoded
// separators, drive letters, stream names, device names (CON, NUL, COM1, ...)
// and other ways out of the folder.
RequestPath MapRequestTarget(std::string_view target, std::string_view token,
                             std::wstring& relative, std::string& query);
// The Host header of a request to us: 127.0.0.1 or localhost with our port.
bool IsOwnHost(std::string_view host, unsigned short port);
// The Origin of a socket opened by one of our pages: http:// and our own host.
bool IsOwnOrigin(std::string_view origin, unsigned short port);
// The content type sent for a file, by its extension.
std::string ContentTypeFor(std::wstring_view path);
// A served page with the bridge script added to its head.
std::string InjectBridge(std::string page, std::string_view token);

class CWebHost {
public:
    CWebHost();
    ~CWebHost();
    CWebHost(const CWebHost&) = delete;
    CWebHost& operator=(const CWebHost&) = delete;

    // The host of the program's dialogs, serving "html" below the current directory.
    static CWebHost& Get();

    // Listens on a free loopback port and starts the I/O thread; true when running.
    bool Start(const std::wstring& servedFolder);
    void Stop();
    bool IsRunning() const;

    unsigned short GetPort() const;
    const std::string& GetToken() const;
    // The address of a page below the served folder ("Common\layout.html").
    std::wstring GetPageAddress(const std::wstring& pageName, const std::string& dialogId) const;

    // A dialog's page: its events are posted to `window`. The first dialog
    // registered is the main one, whose address needs no dialog id.
    std::shared_ptr<CPageLink> Register(HWND window, std::vector<EventBinding> bindings);
    void Unregister(const std::shared_ptr<CPageLink>& link);

    struct Impl;  // the sessions of web_host.cpp reach it

private:
    std::unique_ptr<Impl> impl_;
};

inline constexpr char kMainDialogId[] = "main";
