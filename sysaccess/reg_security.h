#pragma once
// User identifiers and key access lists, for keys the system protects with
// an access list that must be widened before their contents can be removed.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

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

// The key's current access list. True with `descriptor` filled, false on any failure.
bool GetRegKeyDacl(HKEY root, const wchar_t* keyPath, SecurityDescriptorBuffer& descriptor);
// Fills `descriptor` with a list granting full access to `sid` and to the
// local system account, both inherited by sub-keys. The list goes to `acl`.
bool BuildFullAccessDacl(PSID sid, SECURITY_DESCRIPTOR& descriptor, HeapAcl& acl);
// Applies `descriptor` to the key and, when recursive, to every key below it.
bool SetRegKeyDacl(HKEY root, const wchar_t* keyPath, PSECURITY_DESCRIPTOR descriptor,
                   bool recursive);

}  // namespace veltrane
