#pragma once
// What the registry walking, deletion, link and security tests share.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/test_registry.h"
#include "sysaccess/reg_security.h"

namespace veltrane {

// A list granting everyone full access, as the forms plug-in widens its keys with.
inline void BuildEveryoneFullAccess(SECURITY_DESCRIPTOR& descriptor, HeapAcl& acl) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    std::optional<HeapAcl> built = TryBuildFullAccessDacl(everyone, descriptor);
    FreeSid(everyone);
    ASSERT_TRUE(built);
    acl = std::move(*built);
}

// A\B\C with values at every level.
inline void BuildThreeLevels(const ScopedTestKey& key) {
    SetString(key.Root(), key.Path(), L"top", L"0");
    SetString(key.Root(), key.Sub(L"A"), L"a", L"1");
    SetString(key.Root(), key.Sub(L"A\\B"), L"b", L"2");
    SetString(key.Root(), key.Sub(L"A\\B\\C"), L"c", L"3");
}

}  // namespace veltrane
