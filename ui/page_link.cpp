#include "ui/page_link.h"

#include "sysaccess/text.h"
#include "sysaccess/trace.h"

namespace veltrane {

namespace {

const char* EventName(PageEventKind kind) {
    return kind == PageEventKind::kMouseOver ? "mouseover" : "click";
}

}  // namespace

CPageLink::CPageLink(std::string id, HWND window, std::vector<EventBinding> bindings)
    : id_(std::move(id)), window_(window), bindings_(std::move(bindings)) {}

std::optional<nlohmann::json> CPageLink::Call(nlohmann::json request,
                                              std::optional<unsigned> generation) {
    if (!attached_) return std::nullopt;
    std::future<std::optional<nlohmann::json>> answer;
    uint64_t sequence = 0;
    unsigned askedGeneration = 0;
    Sender send;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!send_ || (generation && *generation != generation_)) return std::nullopt;
        sequence = nextSequence_++;
        answer = pending_[sequence].get_future();
        send = send_;
        askedGeneration = generation_;
    }
    request["t"] = "call";
    request["seq"] = sequence;
    if (!send(request.dump())) {
        std::lock_guard<std::mutex> guard(lock_);
        pending_.erase(sequence);
        return std::nullopt;
    }
    if (answer.wait_for(std::chrono::milliseconds(timeoutMs_)) == std::future_status::ready)
        return answer.get();

    // A page that does not answer is as good as gone: drop it, so that later
    // calls fail at once until it (or a reload) connects again.
    Trace(L"Page %hs did not answer in time\n", id_.c_str());
    std::function<void()> drop;
    {
        std::lock_guard<std::mutex> guard(lock_);
        pending_.erase(sequence);
        // A page that has replaced the silent one in the meantime stays.
        if (askedGeneration != generation_) return std::nullopt;
        drop = drop_;
        attached_ = false;
    }
    if (drop) drop();
    return std::nullopt;
}

void CPageLink::Notify(nlohmann::json message) {
    Sender send;
    {
        std::lock_guard<std::mutex> guard(lock_);
        send = send_;
    }
    if (attached_ && send) send(message.dump());
}

void CPageLink::Attach(Sender send, std::function<void()> drop, std::function<void()> replace) {
    std::function<void()> previous;
    std::map<uint64_t, std::promise<std::optional<nlohmann::json>>> unanswered;
    {
        std::lock_guard<std::mutex> guard(lock_);
        // Calls still out were made to the page being replaced.
        unanswered.swap(pending_);
        previous = std::move(replace_);
        send_ = std::move(send);
        drop_ = std::move(drop);
        replace_ = std::move(replace);
        ++generation_;
        attached_ = true;
    }
    for (auto& [sequence, promise] : unanswered) promise.set_value(std::nullopt);
    if (previous) previous();
}

void CPageLink::Detach(unsigned generation) {
    std::map<uint64_t, std::promise<std::optional<nlohmann::json>>> pending;
    {
        std::lock_guard<std::mutex> guard(lock_);
        // A page replaced by a newer one leaves the newer one attached.
        if (generation != generation_) return;
        attached_ = false;
        send_ = nullptr;
        drop_ = nullptr;
        replace_ = nullptr;
        pending.swap(pending_);
    }
    for (auto& [sequence, promise] : pending) promise.set_value(std::nullopt);
    auto* event = new PageEvent;
    event->kind = PageEventKind::kDetached;
    event->generation = generation;
    Post(event);
}

void CPageLink::Answer(uint64_t sequence, nlohmann::json reply) {
    std::lock_guard<std::mutex> guard(lock_);
    auto found = pending_.find(sequence);
    if (found == pending_.end()) return;  // answered after its time-out
    found->second.set_value(std::move(reply));
    pending_.erase(found);
}

void CPageLink::Post(PageEvent* event) const {
    if (!PostMessageW(window_, kPageEventMessage, 0, reinterpret_cast<LPARAM>(event))) delete event;
}

nlohmann::json CPageLink::ListenMessage() const {
    nlohmann::json events = nlohmann::json::object();
    for (const EventBinding& binding : bindings_)
        events[EventName(binding.kind)].push_back(ToUtf8(binding.id));
    return {{"t", "listen"}, {"events", events}};
}

}  // namespace veltrane
