#include <gtest/gtest.h>

#include "plugins/browser/protected_storage.h"
#include "support/scoped_overrides.h"
#include "support/test_registry.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/registry_links.h"
#include "test_run.h"

namespace {

constexpr wchar_t kProvider[] = L"Software\\Microsoft\\Protected Storage System Provider";

std::wstring LogonName() {
    wchar_t name[260] = {};
    DWORD size = 260;
    GetUserNameW(name, &size);
    return name;
}

class ProtectedStorageTest : public testing::Test {
protected:
    void TearDown() override {
        DeleteTree(HKEY_CURRENT_USER, kProvider);
        DeleteTree(HKEY_LOCAL_MACHINE, kProvider);
    }

    static void AddItems(HKEY root, const ProtectedStorageKeys& keys) {
        for (const wchar_t* item : {L"username:StringData", L"username:StringIndex",
                                    L"http://www.bank.test/in:StringData",
                                    L"https://bank.test/in:StringData", L"formdata", L"nickname"})
            SetDword(root, keys.container + L"\\" + item, L"Item Data", 1);
    }
};

// The items of the user who runs the program, as Windows 2000 and later keep them.
class UserItems : public ProtectedStorageTest {
protected:
    void SetUp() override { AddItems(HKEY_CURRENT_USER, keys); }

    const ProtectedStorageKeys keys = GetProtectedStorageKeys(GetCurrentUserSidString());
};

TEST_F(UserItems, ItemsAreListedByFieldAndSite) {
    DomainMap domains;
    TestRun run;
    EXPECT_TRUE(ReadAutoCompleteItems(domains, run));
    ASSERT_EQ(domains.size(), 3u);
    EXPECT_EQ(domains[L"control username"].itemCount, 1);
    EXPECT_EQ(domains[L"control formdata"].itemCount, 1);
    const DomainInfo& bank = domains[L"bank.test"];
    EXPECT_EQ(bank.itemCount, 2);
    ASSERT_EQ(bank.regItems.size(), 2u);
    EXPECT_EQ(bank.regItems[0].root, HKEY_CURRENT_USER);
    EXPECT_EQ(bank.regItems[0].keyPath.rfind(keys.container + L"\\", 0), 0u);
}

TEST_F(UserItems, DeletionRemovesTheTypeAndRestoresTheAccountList) {
    const std::wstring otherType = keys.data + L"\\5e7e8100-9138-11d1-945a-00c04fc308ff";
    SetDword(HKEY_CURRENT_USER, otherType, L"keep", 1);
    SecurityDescriptorBuffer before;
    ASSERT_TRUE(GetRegKeyDacl(HKEY_CURRENT_USER, keys.account.c_str(), before));

    DomainMap domains;
    TestRun run;
    ReadAutoCompleteItems(domains, run);
    // Written after the scan: goes with the type key.
    SetDword(HKEY_CURRENT_USER, keys.container + L"\\late:StringData", L"Item Data", 1);
    EXPECT_TRUE(DeleteAutoCompleteItems(domains, run));

    for (const auto& [name, domain] : domains)
        EXPECT_EQ(domain.result, DomainInfo::kDeleted) << name;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, keys.type));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, otherType, L"keep"));
    SecurityDescriptorBuffer after;
    ASSERT_TRUE(GetRegKeyDacl(HKEY_CURRENT_USER, keys.account.c_str(), after));
    EXPECT_EQ(after, before);
    // The keys below keep the widened list: full access for the user and the system.
    const std::vector<std::wstring> widened = {GetCurrentUserSidString() + L" 0xf003f 0x3",
                                               L"S-1-5-18 0xf003f 0x3"};
    EXPECT_EQ(KeyAccessList(HKEY_CURRENT_USER, keys.data), widened);

    DomainMap again;
    ReadAutoCompleteItems(again, run);
    EXPECT_TRUE(again.empty());
}

TEST_F(UserItems, FixOverAnEmptyMapStillRemovesTheType) {
    DomainMap nothing;
    TestRun run;
    EXPECT_TRUE(DeleteAutoCompleteItems(nothing, run));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, keys.type));
}

TEST_F(UserItems, CancelledDeletionKeepsTheRest) {
    DomainMap domains;
    TestRun reader;
    ReadAutoCompleteItems(domains, reader);
    TestRun run;
    run.cancelAfterChecks = 0;
    DeleteAutoCompleteItems(domains, run);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\formdata"));
    for (const auto& [name, domain] : domains) {
        EXPECT_EQ(domain.result, DomainInfo::kNotProcessed) << name;
        EXPECT_FALSE(domain.error) << name;
    }
}

// An item key that is a registry link: its domain fails with the reason,
// and neither the item's deletion, the widening of the access lists nor the
// removal of the type key reaches the key it points to.
TEST_F(UserItems, AnItemThatIsARegistryLinkIsLeftWithWhatItPointsTo) {
    ScopedTestKey target(L"FormsLinkTarget");
    SetDword(HKEY_CURRENT_USER, target.Sub(L"inner"), L"kept", 1);
    const std::vector<std::wstring> list = KeyAccessList(HKEY_CURRENT_USER, target.Sub(L"inner"));
    ASSERT_TRUE(
        MakeRegLink(HKEY_CURRENT_USER, keys.container + L"\\evil:StringData", target.Path()));
    DomainMap domains;
    TestRun run;
    ReadAutoCompleteItems(domains, run);
    EXPECT_FALSE(DeleteAutoCompleteItems(domains, run));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, target.Sub(L"inner"), L"kept"));
    EXPECT_EQ(KeyAccessList(HKEY_CURRENT_USER, target.Sub(L"inner")), list);
    const DomainInfo& evil = domains[L"control evil"];
    EXPECT_EQ(evil.result, DomainInfo::kError);
    ASSERT_TRUE(evil.error);
    EXPECT_EQ(evil.error->GetReason(), kRegistryLinkLeft);
}

TEST_F(ProtectedStorageTest, OlderWindowsUsesTheLogonNameAndMachineItems) {
    ScopedOsVersion windows98(kWindows98);
    ProtectedStorageKeys keys = GetProtectedStorageKeys(LogonName());
    AddItems(HKEY_LOCAL_MACHINE, keys);
    DomainMap domains;
    TestRun run;
    ReadAutoCompleteItems(domains, run);
    ASSERT_EQ(domains.count(L"bank.test"), 1u);
    EXPECT_EQ(domains[L"bank.test"].regItems[0].root, HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(DeleteAutoCompleteItems(domains, run));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, keys.type));
}

}  // namespace
