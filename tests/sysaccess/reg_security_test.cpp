// A key's access list read, widened and put back.
#include <gtest/gtest.h>

#include "registry_fixtures.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/reg_security.h"

namespace veltrane {

namespace {

TEST(RegistrySecurity, UserSidAndFullAccessListRoundTrip) {
    std::wstring sid = GetCurrentUserSidString();
    EXPECT_EQ(sid.rfind(L"S-1-5-", 0), 0u) << sid;

    ScopedTestKey key(L"Dacl");
    CreateKey(key.Root(), key.Sub(L"child"));
    std::optional<SecurityDescriptorBuffer> original =
        TryGetRegKeyDacl(key.Root(), key.Path().c_str());
    ASSERT_TRUE(original);
    ASSERT_FALSE(original->empty());

    SECURITY_DESCRIPTOR descriptor;
    HeapAcl acl;
    ASSERT_NO_FATAL_FAILURE(BuildEveryoneFullAccess(descriptor, acl));
    std::vector<std::wstring> before = KeyAccessList(key.Root(), key.Sub(L"child"));
    EXPECT_TRUE(SetRegKeyDacl(key.Root(), key.Path().c_str(), &descriptor, true).Written());
    // Full key access for the given account and for the system, both
    // inherited by sub-keys (0x3), on the key and on the key below it.
    const std::vector<std::wstring> full = {L"S-1-1-0 0xf003f 0x3", L"S-1-5-18 0xf003f 0x3"};
    EXPECT_EQ(KeyAccessList(key.Root(), key.Path()), full);
    EXPECT_EQ(KeyAccessList(key.Root(), key.Sub(L"child")), full);

    // Not recursive: the key below keeps what it had.
    EXPECT_TRUE(SetRegKeyDacl(key.Root(), key.Path().c_str(), original->data(), false).Written());
    const std::optional<SecurityDescriptorBuffer> restored =
        TryGetRegKeyDacl(key.Root(), key.Path().c_str());
    ASSERT_TRUE(restored);
    EXPECT_EQ(*restored, *original);
    EXPECT_EQ(KeyAccessList(key.Root(), key.Sub(L"child")), full);
    EXPECT_NE(before, full);
    const RegWriteOutcome refused = SetRegKeyDacl(key.Root(), nullptr, original->data(), false);
    EXPECT_FALSE(refused.Written());
    EXPECT_EQ(refused.error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace

}  // namespace veltrane
