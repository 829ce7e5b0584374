#pragma once
// User identifiers and key access lists, for keys the system protects with
// an access list that must be widened before their contents can be removed.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sysaccess/reg_write_outcome.h"

namespace veltrane {

// "S-1-5-21-..." (authorities up to 255, as Windows writes them).
std::wstring SidToString(PSID sid);
// The text form of the user the process runs as; empty when it cannot be read.
std::wstring GetCurrentUserSidString();

struct HeapFreeDeleter {
    void operator()(void* block) const {
        if (block) HeapFree(GetProcessHeap(), 0, block);
    }
};
using SecurityDescriptorBuffer = std::vector<BYTE>;
using HeapAcl = std::unique_ptr<ACL, HeapFreeDeleter>;

// The key's current access list; nothing on any failure.
[[nodiscard]] std::optional<SecurityDescriptorBuffer> TryGetRegKeyDacl(HKEY root,
                                                                       const wchar_t* keyPath);
// Fills `descriptor` with a list granting full access to `sid` and to the
// local system account, both inherited by sub-keys, and returns the list the
// descriptor points to; nothing when it could not be built.
[[nodiscard]] std::optional<HeapAcl> TryBuildFullAccessDacl(PSID sid,
                                                            SECURITY_DESCRIPTOR& descriptor);
// Applies `descriptor` to the key and, when recursive, to every key below it.
// The outcome is the key's own: a sub-key that refuses keeps its list.
RegWriteOutcome SetRegKeyDacl(HKEY root, const wchar_t* keyPath, PSECURITY_DESCRIPTOR descriptor,
                              bool recursive);

}  // namespace veltrane
