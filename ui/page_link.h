#pragma once
// One dialog's connection to its page in the browser. The user-interface
// thread asks the page through Call; the host's I/O thread answers and posts
// the page's events to the dialog's window as kPageEventMessage.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

// lParam: a PageEvent the receiver deletes.
inline constexpr UINT kPageEventMessage = WM_APP + 0x50;

// kCloseFrame: the page closed the frame of the dialog whose id is the event's id.
enum class PageEventKind { kDocumentComplete, kClick, kMouseOver, kClose, kCloseFrame, kDetached };

struct PageEvent {
    PageEventKind kind = PageEventKind::kDocumentComplete;
    std::wstring id;
    // The element's attributes as they were when the event happened.
    std::map<std::wstring, std::wstring> attributes;
    int64_t handle = 0;
    unsigned generation = 0;
};

// The events a page reports: element id and event kind.
struct EventBinding {
    std::wstring id;
    PageEventKind kind;
};

class CPageLink {
public:
    CPageLink(std::string id, HWND window, std::vector<EventBinding> bindings);
    CPageLink(const CPageLink&) = delete;
    CPageLink& operator=(const CPageLink&) = delete;

    const std::string& GetId() const { return id_; }
    HWND GetWindow() const { return window_; }
    bool IsAttached() const { return attached_; }
    // Counts page connections; elements of an earlier page no longer answer.
    unsigned GetGeneration() const { return generation_; }

    // A request the page answers; nothing at once when no page is attached, and
    // nothing after the time-out, which also drops the silent page.
    // With `generation`, only the page of that connection is asked.
    std::optional<nlohmann::json> Call(nlohmann::json request,
                                       std::optional<unsigned> generation = std::nullopt);
    // A message that needs no answer; dropped when no page is attached.
    void Notify(nlohmann::json message);

    void SetTimeout(unsigned milliseconds) { timeoutMs_ = milliseconds; }

    // The web host's side, on its I/O thread.
    using Sender = std::function<bool(std::string text)>;
    // `drop` ends a silent page's connection; `replace` tells a page that a
    // newer one took its place.
    void Attach(Sender send, std::function<void()> drop, std::function<void()> replace);
    void Detach(unsigned generation);
    void Answer(uint64_t sequence, nlohmann::json reply);
    void Post(PageEvent* event) const;
    nlohmann::json ListenMessage() const;

private:
    const std::string id_;
    const HWND window_;
    const std::vector<EventBinding> bindings_;
    std::atomic<bool> attached_ = false;
    std::atomic<unsigned> generation_ = 0;
    unsigned timeoutMs_ = 3000;

    std::mutex lock_;
    Sender send_;
    std::function<void()> drop_;
    std::function<void()> replace_;
    uint64_t nextSequence_ = 1;
    std::map<uint64_t, std::promise<std::optional<nlohmann::json>>> pending_;
};

}  // namespace veltrane
