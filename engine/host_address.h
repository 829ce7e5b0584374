#pragma once
// Host names that are addresses: an IPv4 address in dotted decimal, or an
// IPv6 address with or without brackets, in one spelling each, so that two
// spellings of the same address compare equal as text.
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

// The address in its one spelling ("192.168.0.1", "2001:db8::1": lower case,
// no leading zeros, the longest run of zero groups as "::"); nothing when
// `host` is no address (a zone index such as "%eth0" included).
[[nodiscard]] std::optional<std::wstring> TryCanonicalAddress(std::wstring_view host);

}  // namespace veltrane
