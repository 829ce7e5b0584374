#pragma once
// The loopback web host: serves the "html" folder and the page sockets on
// 127.0.0.1 at a free port, below a random path of this run. Every request
// and socket must carry the session's credential, a cookie that a browser
// gets once for a launch address (a one-time code); anything else is refused
// with 403, so no other page or local user can drive the cleaner. Every
// answer carries a strict content policy.
#include <memory>
#include <string>
#include <vector>

#include "ui/page_link.h"

namespace veltrane {

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
    // The first segment of every address of this run (no secret).
    const std::string& GetRunPath() const;
    // The address of a page below the served folder ("Common\layout.html"),
    // for a browser that holds the session's cookie (the frames of a page).
    std::wstring GetPageAddress(const std::wstring& pageName, const std::string& dialogId) const;
    // An address that opens the same page once in any browser: it gives the
    // browser the session's cookie and sends it on to the page. Empty when
    // no code could be made.
    std::wstring GetLaunchAddress(const std::wstring& pageName, const std::string& dialogId);

    // A dialog's page: its events are posted to `window`. The first dialog
    // registered is the main one, whose address needs no dialog id.
    std::shared_ptr<CPageLink> Register(HWND window, std::vector<EventBinding> bindings);
    void Unregister(const std::shared_ptr<CPageLink>& link);

    // Connections served at once (pages, their sockets, requests under way);
    // one more is closed as soon as it is accepted.
    static constexpr size_t kMaxSessions = 64;
    // How long the host waits after a failed accept (no descriptors left, say)
    // before it accepts again.
    static constexpr unsigned kAcceptRetryMs = 250;
    // The name of the session's cookie.
    static constexpr char kSessionCookie[] = "veltrane_session";

    struct Impl;  // the sessions of web_host.cpp reach it

private:
    std::unique_ptr<Impl> impl_;
};

inline constexpr char kMainDialogId[] = "main";

}  // namespace veltrane
