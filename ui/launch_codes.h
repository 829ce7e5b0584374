#pragma once
// The one-time codes of the addresses the program hands to a browser. A code
// is spent when a browser first opens its address, and that exchange spends
// every other code given out before it, so that none stays usable on a
// command line, in a log or in a browser's history.
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

// 128 random bits as 32 lower-case hex digits; empty when the system gives none.
std::string NewRandomKey();

class CLaunchCodes {
public:
    // A new code that leads to `target` (a page address below the run's path).
    // Empty when no random key could be made.
    std::string Mint(std::string target);
    // The target of a code given out and not yet spent; every code is spent by it.
    std::optional<std::string> Exchange(std::string_view code);

    // Codes given out and never used are forgotten oldest first beyond this.
    static constexpr size_t kMaxOutstanding = 16;

private:
    struct Code {
        std::string code;
        std::string target;
    };
    std::mutex lock_;
    std::deque<Code> codes_;
};

}  // namespace veltrane
