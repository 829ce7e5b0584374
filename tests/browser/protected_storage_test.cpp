#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "plugins/browser/protected_storage.h"
#include "support/scoped_overrides.h"
#include "support/test_registry.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/registry_links.h"
#include "test_run.h"

namespace veltrane {

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
    // Cleared before as well as after: the browser tests keep form items on
    // purpose, and a run in the same sandbox must not find them here.
    void SetUp() override { DeleteProvider(); }
    void TearDown() override { DeleteProvider(); }

    static void DeleteProvider() {
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
    void SetUp() override {
        ProtectedStorageTest::SetUp();
        AddItems(HKEY_CURRENT_USER, keys);
    }

    const ProtectedStorageKeys keys = GetProtectedStorageKeys(GetCurrentUserSidString());
};

TEST_F(UserItems, ItemsAreListedByFieldAndSite) {
    DomainMap domains;
    FormItemSeals seals;
    TestRun run;
    EXPECT_TRUE(ReadAutoCompleteItems(domains, run, seals));
    ASSERT_EQ(domains.size(), 3u);
    EXPECT_EQ(domains[L"control username"].itemCount, 1);
    EXPECT_EQ(domains[L"control formdata"].itemCount, 1);
    const DomainInfo& bank = domains[L"bank.test"];
    EXPECT_EQ(bank.itemCount, 2);
    ASSERT_EQ(bank.regItems.size(), 2u);
    EXPECT_EQ(bank.regItems[0].root, HKEY_CURRENT_USER);
    EXPECT_EQ(bank.regItems[0].keyPath.rfind(keys.container + L"\\", 0), 0u);
}

// Only the listed items go (a saved value with its index): one written
// after the scan stays, and so does the type key holding it.
TEST_F(UserItems, DeletionRemovesTheListedItemsAndRestoresTheAccountList) {
    const std::wstring otherType = keys.data + L"\\5e7e8100-9138-11d1-945a-00c04fc308ff";
    SetDword(HKEY_CURRENT_USER, otherType, L"keep", 1);
    const std::optional<SecurityDescriptorBuffer> before =
        TryGetRegKeyDacl(HKEY_CURRENT_USER, keys.account.c_str());
    ASSERT_TRUE(before);

    DomainMap domains;
    FormItemSeals seals;
    TestRun run;
    ReadAutoCompleteItems(domains, run, seals);
    SetDword(HKEY_CURRENT_USER, keys.container + L"\\late:StringData", L"Item Data", 1);
    EXPECT_TRUE(DeleteAutoCompleteItems(domains, run, seals));

    for (const auto& [name, domain] : domains)
        EXPECT_EQ(domain.result, DomainInfo::kDeleted) << name;
    for (const wchar_t* item : {L"username:StringData", L"username:StringIndex", L"formdata"})
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\" + item)) << item;
    EXPECT_TRUE(
        ValueExists(HKEY_CURRENT_USER, keys.container + L"\\late:StringData", L"Item Data"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\nickname"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, otherType, L"keep"));
    const std::optional<SecurityDescriptorBuffer> after =
        TryGetRegKeyDacl(HKEY_CURRENT_USER, keys.account.c_str());
    ASSERT_TRUE(after);
    EXPECT_EQ(*after, *before);
    // The keys below keep the widened list: full access for the user and the system.
    const std::vector<std::wstring> widened = {GetCurrentUserSidString() + L" 0xf003f 0x3",
                                               L"S-1-5-18 0xf003f 0x3"};
    EXPECT_EQ(KeyAccessList(HKEY_CURRENT_USER, keys.data), widened);

    DomainMap again;
    ReadAutoCompleteItems(again, run, seals);
    EXPECT_EQ(again.size(), 1u);
    EXPECT_EQ(again.count(L"control late"), 1u);
}

// A saved value written again between the scan and the clean is not the one
// listed: it stays, its row fails as changed, and the type's keys stay with it.
TEST_F(UserItems, AnItemWrittenAgainSinceTheScanStays) {
    DomainMap domains;
    FormItemSeals seals;
    TestRun run;
    ReadAutoCompleteItems(domains, run, seals);
    SetDword(HKEY_CURRENT_USER, keys.container + L"\\formdata", L"Item Data", 2);
    EXPECT_FALSE(DeleteAutoCompleteItems(domains, run, seals));

    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, keys.container + L"\\formdata", L"Item Data"));
    const DomainInfo& formdata = domains[L"control formdata"];
    EXPECT_EQ(formdata.result, DomainInfo::kError);
    ASSERT_TRUE(formdata.error);
    EXPECT_EQ(formdata.error->GetReason().rfind(kChangedSinceScan, 0), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\username:StringData"));
}

TEST_F(UserItems, CancelledDeletionKeepsTheRest) {
    DomainMap domains;
    TestRun reader;
    FormItemSeals seals;
    ReadAutoCompleteItems(domains, reader, seals);
    TestRun run;
    run.cancelAfterChecks = 0;
    DeleteAutoCompleteItems(domains, run, seals);
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
    FormItemSeals seals;
    TestRun run;
    ReadAutoCompleteItems(domains, run, seals);
    EXPECT_FALSE(DeleteAutoCompleteItems(domains, run, seals));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, target.Sub(L"inner"), L"kept"));
    EXPECT_EQ(KeyAccessList(HKEY_CURRENT_USER, target.Sub(L"inner")), list);
    const DomainInfo& evil = domains[L"control evil"];
    EXPECT_EQ(evil.result, DomainInfo::kError);
    ASSERT_TRUE(evil.error);
    EXPECT_EQ(evil.error->GetReason(), kRegistryLinkLeft);
}

// A run that keeps the items whose keys the user unticked, as the kernel does.
class KeepingRun : public TestRun {
public:
    KeepVerdict MayRemove(const ItemRef& item) const override {
        return keys.contains(ItemKey(item)) ? KeepVerdict{KeepVerdict::Kind::kKeptByYou, {}}
                                            : KeepVerdict{};
    }
    std::set<std::wstring> keys;
};

// An unticked saved value stays with its index, whatever it holds now (the
// seal is not even read); a domain whose every item stays is kept as a whole;
// keys that name nothing listed (the item type's key, another account's item)
// keep nothing, and everything else listed goes.
TEST_F(UserItems, UntickedItemsStayWithTheirIndexSealedOrNot) {
    DomainMap domains;
    FormItemSeals seals;
    KeepingRun run;
    ReadAutoCompleteItems(domains, run, seals);
    const std::wstring username = keys.container + L"\\username:StringData";
    const std::wstring bank = keys.container + L"\\http://www.bank.test/in:StringData";
    run.keys = {ItemKey(RegKeyItemRef(HKEY_CURRENT_USER, username)),
                ItemKey(RegKeyItemRef(HKEY_CURRENT_USER, bank)),
                ItemKey(RegKeyItemRef(HKEY_CURRENT_USER, keys.container)),
                ItemKey(RegKeyItemRef(HKEY_LOCAL_MACHINE, keys.container + L"\\formdata"))};
    // Written again since the scan: kept, it is no failure.
    SetDword(HKEY_CURRENT_USER, username, L"Item Data", 7);
    EXPECT_TRUE(DeleteAutoCompleteItems(domains, run, seals));

    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, username, L"Item Data"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\username:StringIndex"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, bank));
    for (const wchar_t* item : {L"https://bank.test/in:StringData", L"formdata"})
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, keys.container + L"\\" + item)) << item;
    const DomainInfo& user = domains[L"control username"];
    EXPECT_EQ(user.result, ItemOutcome::kKept);
    EXPECT_EQ(user.kept.kind, KeepVerdict::Kind::kKeptByYou);
    EXPECT_FALSE(user.error);
    ASSERT_EQ(user.regItems.size(), 2u);
    EXPECT_TRUE(user.regItems[1].kept.Keeps());  // the index, with its value
    // Half kept: the domain's row says what went, its kept item says why.
    const DomainInfo& site = domains[L"bank.test"];
    EXPECT_EQ(site.result, DomainInfo::kDeleted);
    EXPECT_EQ(
        std::ranges::count_if(site.regItems, [](const RegItem& item) { return item.kept.Keeps(); }),
        1);
    EXPECT_EQ(domains[L"control formdata"].result, DomainInfo::kDeleted);
}

TEST_F(ProtectedStorageTest, OlderWindowsUsesTheLogonNameAndMachineItems) {
    ScopedOsVersion windows98(kWindows98);
    ProtectedStorageKeys keys = GetProtectedStorageKeys(LogonName());
    AddItems(HKEY_LOCAL_MACHINE, keys);
    DomainMap domains;
    FormItemSeals seals;
    TestRun run;
    ReadAutoCompleteItems(domains, run, seals);
    ASSERT_EQ(domains.count(L"bank.test"), 1u);
    EXPECT_EQ(domains[L"bank.test"].regItems[0].root, HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(DeleteAutoCompleteItems(domains, run, seals));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, keys.container + L"\\formdata"));
}

}  // namespace

}  // namespace veltrane
