#include "ui/launch_codes.h"

#include <windows.h>

#include <bcrypt.h>

namespace veltrane {

std::string NewRandomKey() {
    unsigned char bytes[16] = {};
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, bytes, sizeof(bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key;
    for (unsigned char byte : bytes) {
        key += kHex[byte >> 4];
        key += kHex[byte & 15];
    }
    return key;
}

std::string CLaunchCodes::Mint(std::string target) {
    std::string code = NewRandomKey();
    if (code.empty()) return {};
    std::lock_guard<std::mutex> guard(lock_);
    if (codes_.size() >= kMaxOutstanding) codes_.pop_front();
    codes_.push_back({code, std::move(target)});
    return code;
}

std::optional<std::string> CLaunchCodes::Exchange(std::string_view code) {
    std::lock_guard<std::mutex> guard(lock_);
    for (const Code& outstanding : codes_) {
        if (outstanding.code != code) continue;
        std::string target = outstanding.target;
        codes_.clear();
        return target;
    }
    return std::nullopt;
}

}  // namespace veltrane
