#include <gtest/gtest.h>

#include "support/run_context_stub.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace {

// A list granting everyone full access, as the forms plug-in widens its keys with.
void BuildEveryoneFullAccess(SECURITY_DESCRIPTOR& descriptor, HeapAcl& acl) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    const bool built = BuildFullAccessDacl(everyone, descriptor, acl);
    FreeSid(everyone);
    ASSERT_TRUE(built);
}

// A\B\C with values at every level.
void BuildThreeLevels(const ScopedTestKey& key) {
    SetString(key.Root(), key.Path(), L"top", L"0");
    SetString(key.Root(), key.Sub(L"A"), L"a", L"1");
    SetString(key.Root(), key.Sub(L"A\\B"), L"b", L"2");
    SetString(key.Root(), key.Sub(L"A\\B\\C"), L"c", L"3");
}

TEST(RegistryWalk, MissingKeyHoldsNothing) {
    ScopedTestKey key(L"WalkMissing");
    StringList names, data, subKeys;
    unsigned count = 99;
    EXPECT_TRUE(GetRegValuesList(nullptr, key.Root(), key.Sub(L"Nope").c_str(), &names, &data,
                                 &subKeys, &count));
    EXPECT_TRUE(names.empty() && data.empty() && subKeys.empty());
    EXPECT_EQ(count, 0u);
}

TEST(RegistryWalk, ListsValuesDataAndSubKeysOfOneKey) {
    ScopedTestKey key(L"WalkList");
    SetString(key.Root(), key.Path(), L"url1", L"http://a.example/");
    SetString(key.Root(), key.Path(), L"url2", L"http://b.example/");
    CreateKey(key.Root(), key.Sub(L"child"));
    StringList names, data, subKeys;
    unsigned count = 0;
    ASSERT_TRUE(
        GetRegValuesList(nullptr, key.Root(), key.Path().c_str(), &names, &data, &subKeys, &count));
    EXPECT_EQ(names, (StringList{L"url1", L"url2"}));
    EXPECT_EQ(data, (StringList{L"http://a.example/", L"http://b.example/"}));
    EXPECT_EQ(subKeys, (StringList{L"child"}));
    EXPECT_EQ(count, 3u);
}

TEST(RegistryWalk, ShorterDataAfterLongerIsNotPolluted) {
    ScopedTestKey key(L"WalkTerminate");
    SetString(key.Root(), key.Path(), L"1", L"a much longer text");
    BYTE raw[] = {'h', 0, 'i', 0};  // text stored without its terminator
    RegKey opened;
    RegOpenKeyW(key.Root(), key.Path().c_str(), opened.Receive());
    RegSetValueExW(opened.Get(), L"2", 0, REG_SZ, raw, sizeof(raw));
    StringList data;
    GetRegValuesList(nullptr, key.Root(), key.Path().c_str(), nullptr, &data, nullptr);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[1], L"hi");
}

TEST(RegistryWalk, EnhancedCollectorMarksDataThatIsNotText) {
    ScopedTestKey key(L"WalkEnhanced");
    SetString(key.Root(), key.Path(), L"a_text", L"plain");
    SetDword(key.Root(), key.Path(), L"b_number", 7);
    BYTE bytes[] = {1, 2, 3};
    SetBinary(key.Root(), key.Path(), L"c_binary", bytes, sizeof(bytes));
    SetString(key.Root(), key.Path(), L"d_expand", L"%WinDir%", REG_EXPAND_SZ);
    StringList names, data;
    ASSERT_TRUE(
        GetRegValuesListEnhanced(nullptr, key.Root(), key.Path().c_str(), &names, &data, nullptr));
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(data[0], L"plain");
    EXPECT_EQ(data[1], L"#UNSUPPORTED FORMAT DATA#");
    EXPECT_EQ(data[2], L"#BINARY DATA#");
    EXPECT_EQ(data[3], L"#UNSUPPORTED FORMAT DATA#");
}

// A value larger than the walker's buffer once ended the listing, so the
// values after it were never found and never cleaned.
TEST(RegistryWalk, ValueLargerThanTheBufferDoesNotHideTheRest) {
    ScopedTestKey key(L"WalkLarge");
    SetString(key.Root(), key.Path(), L"a_small", L"first");
    SetString(key.Root(), key.Path(), L"b_large", std::wstring(40000, L'x'));
    std::vector<BYTE> bytes(70000, 0x5A);
    SetBinary(key.Root(), key.Path(), L"c_large_binary", bytes.data(),
              static_cast<DWORD>(bytes.size()));
    SetString(key.Root(), key.Path(), L"d_small", L"last");
    StringList names, data;
    ASSERT_TRUE(
        GetRegValuesListEnhanced(nullptr, key.Root(), key.Path().c_str(), &names, &data, nullptr));
    ASSERT_EQ(names, (StringList{L"a_small", L"b_large", L"c_large_binary", L"d_small"}));
    EXPECT_EQ(data[0], L"first");
    EXPECT_EQ(data[1], L"");
    EXPECT_EQ(data[2], L"#BINARY DATA#");
    EXPECT_EQ(data[3], L"last");
}

TEST(RegistryWalk, TreeComesDeepestFirstAndCountsEverything) {
    ScopedTestKey key(L"WalkTree");
    BuildThreeLevels(key);
    RegPairList pairs;
    StringList subKeys;
    GetRegValuesListRecPlugCancelProc walker(nullptr, &pairs, nullptr, &subKeys);
    ASSERT_TRUE(WalkRegTree(key.Root(), key.Path().c_str(), walker));
    EXPECT_EQ(subKeys, (StringList{key.Sub(L"A\\B\\C"), key.Sub(L"A\\B"), key.Sub(L"A")}));
    ASSERT_EQ(pairs.size(), 4u);
    EXPECT_EQ(pairs[0], std::make_pair(key.Sub(L"A\\B\\C"), std::wstring(L"c")));
    EXPECT_EQ(pairs[3], std::make_pair(key.Path(), std::wstring(L"top")));

    unsigned count = 0;
    EXPECT_TRUE(CountRegTree(nullptr, key.Root(), key.Path().c_str(), &count));
    EXPECT_EQ(count, 7u);  // four values and three sub-keys
}

TEST(RegistryWalk, CancelStopsTheWalk) {
    ScopedTestKey key(L"WalkCancel");
    for (int i = 0; i < 5; ++i) SetString(key.Root(), key.Path(), L"v" + std::to_wstring(i), L"x");
    TestRunContext context;
    context.cancelAfterChecks = 2;
    StringList names;
    unsigned count = 0;
    EXPECT_FALSE(GetRegValuesList(&context, key.Root(), key.Path().c_str(), &names, nullptr,
                                  nullptr, &count));
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(count, 2u);
}

TEST(RegistryDelete, TreeContentsLeaveOnlyTheEmptyStartingKey) {
    ScopedTestKey key(L"DeleteTree");
    BuildThreeLevels(key);
    const RegDeleteOutcome outcome = DeleteRegTreeContents(key.Root(), key.Path().c_str(), nullptr);
    EXPECT_TRUE(outcome.Deleted());
    EXPECT_EQ(outcome.deleted, 7u);
    EXPECT_TRUE(KeyExists(key.Root(), key.Path()));
    EXPECT_FALSE(KeyExists(key.Root(), key.Sub(L"A")));
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"top"));
}

TEST(RegistryDelete, CancelledTreeDeletionKeepsTheRest) {
    ScopedTestKey key(L"DeleteTreeCancel");
    BuildThreeLevels(key);
    TestRunContext context;
    // Checked before each value, each key entered and each key removed: the
    // starting key's value and A's go, then the walk into B is cancelled.
    context.cancelAfterChecks = 3;
    const RegDeleteOutcome outcome =
        DeleteRegTreeContents(key.Root(), key.Path().c_str(), &context);
    EXPECT_EQ(outcome.kind, RegDeleteOutcome::Kind::kCancelled);
    EXPECT_EQ(outcome.deleted, 2u);
    EXPECT_FALSE(ValueExists(key.Root(), key.Sub(L"A"), L"a"));
    EXPECT_TRUE(ValueExists(key.Root(), key.Sub(L"A\\B"), L"b"));
    EXPECT_TRUE(ValueExists(key.Root(), key.Sub(L"A\\B\\C"), L"c"));
}

// What was gone already leaves nothing to do, and says so apart from what a
// deletion removed, so a row can show "Already gone".
TEST(RegistryDelete, WhatWasAlreadyGoneIsToldFromWhatWasRemoved) {
    ScopedTestKey key(L"DeleteGone");
    const RegDeleteOutcome never = DeleteRegKey(key.Root(), key.Sub(L"never").c_str());
    EXPECT_TRUE(never.Deleted());
    EXPECT_EQ(never.kind, RegDeleteOutcome::Kind::kGone);
    EXPECT_EQ(never.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(DeleteEmptyRegKey(key.Root(), key.Sub(L"never").c_str()).kind,
              RegDeleteOutcome::Kind::kGone);
    EXPECT_EQ(DeleteRegValue(key.Root(), key.Path().c_str(), L"never").kind,
              RegDeleteOutcome::Kind::kGone);
    SetString(key.Root(), key.Path(), L"there", L"x");
    EXPECT_EQ(DeleteRegValue(key.Root(), key.Path().c_str(), L"there").kind,
              RegDeleteOutcome::Kind::kDeleted);
    CreateKey(key.Root(), key.Sub(L"full\\inner"));
    EXPECT_EQ(DeleteEmptyRegKey(key.Root(), key.Sub(L"full").c_str()).kind,
              RegDeleteOutcome::Kind::kFailed);
    SetString(key.Root(), key.Sub(L"valued"), L"late", L"added after the listing");
    const RegDeleteOutcome valued = DeleteEmptyRegKey(key.Root(), key.Sub(L"valued").c_str());
    EXPECT_EQ(valued.kind, RegDeleteOutcome::Kind::kFailed);
    EXPECT_EQ(valued.error, static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_TRUE(ValueExists(key.Root(), key.Sub(L"valued"), L"late"));
    CreateKey(key.Root(), key.Sub(L"empty"));
    EXPECT_EQ(DeleteEmptyRegKey(key.Root(), key.Sub(L"empty").c_str()).kind,
              RegDeleteOutcome::Kind::kDeleted);
    EXPECT_FALSE(KeyExists(key.Root(), key.Sub(L"empty")));
    EXPECT_EQ(DeleteRegKey(key.Root(), key.Sub(L"full").c_str()).kind,
              RegDeleteOutcome::Kind::kDeleted);
    EXPECT_FALSE(KeyExists(key.Root(), key.Sub(L"full")));
    EXPECT_EQ(DeleteRegKey(key.Root(), L"").error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(RegistryDelete, NumberedValues) {
    ScopedTestKey key(L"DeleteNumbered");
    for (int i : {1, 2, 4}) SetString(key.Root(), key.Path(), L"File" + std::to_wstring(i), L"x");
    SetString(key.Root(), key.Path(), L"File9", L"kept");
    const RegDeleteOutcome outcome =
        DeleteNumberedValues(key.Root(), key.Path().c_str(), L"File%d", 1, 5, nullptr);
    EXPECT_TRUE(outcome.Deleted());
    EXPECT_EQ(outcome.deleted, 3u);
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"File1"));
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"File9"));

    EXPECT_TRUE(
        DeleteNumberedValues(key.Root(), key.Sub(L"missing").c_str(), L"File%d", 1, 5, nullptr)
            .Deleted());
    EXPECT_TRUE(
        DeleteNumberedValues(key.Root(), key.Path().c_str(), L"File%d", 5, 1, nullptr).Deleted());
    TestRunContext cancelled;
    cancelled.cancelAfterChecks = 0;
    EXPECT_EQ(
        DeleteNumberedValues(key.Root(), key.Path().c_str(), L"File%d", 9, 9, &cancelled).kind,
        RegDeleteOutcome::Kind::kCancelled);
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"File9"));
}

// A registry link sends whatever passes through it to another key. The key
// it points to, with its values and sub-keys, must come out of every walk
// and deletion as it went in, and so must the link.
class RegistryLinks : public testing::Test {
protected:
    void SetUp() override {
        SetString(key.Root(), Target(), L"kept", L"the other program's setting");
        SetString(key.Root(), Target() + L"\\inner", L"deep", L"kept too");
        SetString(key.Root(), Target(), L"File1", L"a numbered value of its own");
    }
    std::wstring Target() const { return key.Sub(L"Target"); }
    void ExpectTargetIntact() const {
        EXPECT_TRUE(ValueExists(key.Root(), Target(), L"kept"));
        EXPECT_TRUE(ValueExists(key.Root(), Target(), L"File1"));
        EXPECT_TRUE(ValueExists(key.Root(), Target() + L"\\inner", L"deep"));
    }
    bool LinkExists(const std::wstring& link) const {
        const OpenedRegKey opened = OpenRegKeyNoLink(key.Root(), link.c_str(), 0);
        return opened.kind == OpenedRegKey::Kind::kLink;
    }

    ScopedTestKey key{L"Links"};
};

TEST_F(RegistryLinks, ALinkBelowATreeIsListedButNeitherEnteredNorDeleted) {
    const std::wstring list = key.Sub(L"List");
    SetString(key.Root(), list, L"mine", L"a trace");
    SetString(key.Root(), list + L"\\sub", L"mine", L"a trace");
    ASSERT_TRUE(MakeRegLink(key.Root(), list + L"\\sub\\Link", Target()));

    StringList names, subKeys;
    ASSERT_TRUE(GetRegValuesList(nullptr, key.Root(), (list + L"\\sub").c_str(), &names, nullptr,
                                 &subKeys));
    EXPECT_EQ(subKeys, StringList{L"Link"});
    RegPairList pairs;
    StringList paths;
    GetRegValuesListRecPlugCancelProc walker(nullptr, &pairs, nullptr, &paths);
    ASSERT_TRUE(WalkRegTree(key.Root(), list.c_str(), walker));
    EXPECT_EQ(pairs.size(), 2u);  // the two traces, nothing from behind the link
    EXPECT_EQ(paths, (StringList{list + L"\\sub\\Link", list + L"\\sub"}));
    unsigned count = 0;
    ASSERT_TRUE(CountRegTree(nullptr, key.Root(), list.c_str(), &count));
    EXPECT_EQ(count, 4u);

    const RegDeleteOutcome contents = DeleteRegTreeContents(key.Root(), list.c_str(), nullptr);
    EXPECT_EQ(contents.kind, RegDeleteOutcome::Kind::kLinkInside);
    EXPECT_EQ(contents.deleted, 2u);  // the traces; "sub" stays for the link it holds
    EXPECT_FALSE(ValueExists(key.Root(), list + L"\\sub", L"mine"));
    EXPECT_EQ(DeleteRegKey(key.Root(), list.c_str()).kind, RegDeleteOutcome::Kind::kLinkInside);
    EXPECT_TRUE(LinkExists(list + L"\\sub\\Link"));
    ExpectTargetIntact();
}

TEST_F(RegistryLinks, ALinkAsTheStartingKeyHoldsNothingAndIsLeft) {
    const std::wstring link = key.Sub(L"Link");
    ASSERT_TRUE(MakeRegLink(key.Root(), link, Target()));
    using Kind = RegDeleteOutcome::Kind;

    StringList names, subKeys;
    ASSERT_TRUE(GetRegValuesList(nullptr, key.Root(), link.c_str(), &names, nullptr, &subKeys));
    EXPECT_TRUE(names.empty() && subKeys.empty());
    unsigned count = 9;
    ASSERT_TRUE(CountRegTree(nullptr, key.Root(), link.c_str(), &count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(DeleteRegTreeContents(key.Root(), link.c_str(), nullptr).kind, Kind::kLink);
    EXPECT_EQ(DeleteRegKey(key.Root(), link.c_str()).kind, Kind::kLink);
    EXPECT_EQ(DeleteRegValue(key.Root(), link.c_str(), L"kept").kind, Kind::kLink);
    EXPECT_EQ(DeleteNumberedValues(key.Root(), link.c_str(), L"File%d", 0, 9, nullptr).kind,
              Kind::kLink);
    ExpectTargetIntact();

    // Wine deletes an empty key a link points to when the link is deleted by name.
    const std::wstring toEmpty = key.Sub(L"LinkToEmpty");
    CreateKey(key.Root(), key.Sub(L"Empty"));
    ASSERT_TRUE(MakeRegLink(key.Root(), toEmpty, key.Sub(L"Empty")));
    EXPECT_EQ(DeleteEmptyRegKey(key.Root(), toEmpty.c_str()).kind, Kind::kLink);
    EXPECT_TRUE(KeyExists(key.Root(), key.Sub(L"Empty")));
    EXPECT_TRUE(LinkExists(link) && LinkExists(toEmpty));
}

TEST_F(RegistryLinks, AccessListsAreNotWidenedThroughALink) {
    ASSERT_TRUE(MakeRegLink(key.Root(), key.Sub(L"Granted\\Link"), Target()));
    const std::vector<std::wstring> before = KeyAccessList(key.Root(), Target() + L"\\inner");
    SECURITY_DESCRIPTOR descriptor;
    HeapAcl acl;
    ASSERT_NO_FATAL_FAILURE(BuildEveryoneFullAccess(descriptor, acl));
    EXPECT_TRUE(SetRegKeyDacl(key.Root(), key.Sub(L"Granted").c_str(), &descriptor, true));
    EXPECT_EQ(KeyAccessList(key.Root(), Target() + L"\\inner"), before);
}

TEST_F(RegistryLinks, AKeyOpenedThroughALinkHasTheTargetsName) {
    ASSERT_TRUE(MakeRegLink(key.Root(), key.Sub(L"Link"), Target()));
    const RegKey direct = OpenRegKey(key.Root(), (Target() + L"\\inner").c_str(), KEY_READ);
    const RegKey through = OpenRegKey(key.Root(), key.Sub(L"Link\\inner").c_str(), KEY_READ);
    ASSERT_TRUE(direct && through);
    const std::optional<std::wstring> name = TryReadRegKeyName(direct.Get());
    ASSERT_TRUE(name);
    EXPECT_NE(name->find(L"\\VeltraneTests\\Links\\Target\\inner"), std::wstring::npos) << *name;
    // The path through the link opened the target: its name is the target's.
    EXPECT_EQ(TryReadRegKeyName(through.Get()), name);
}

TEST(RegistryFormat, RegPathText) {
    EXPECT_EQ(FormatRegPath(HKEY_CURRENT_USER, L"Software\\X", L""),
              L"HKEY_CURRENT_USER\\Software\\X");
    EXPECT_EQ(FormatRegPath(HKEY_LOCAL_MACHINE, L"Software\\X", L"v"),
              L"HKEY_LOCAL_MACHINE\\Software\\X\\v");
    EXPECT_EQ(FormatRegPath(HKEY_PERFORMANCE_DATA, L"A", L""), L"A");
    EXPECT_EQ(FormatRegPath(HKEY_USERS, L"", L"v"), L"HKEY_USERS");
    EXPECT_EQ(FormatSystemError(ERROR_ACCESS_DENIED).empty(), false);
    EXPECT_EQ(FormatSystemError(0x7FFFFFF0), L"Unknown Error");
}

TEST(RegistrySecurity, UserSidAndFullAccessListRoundTrip) {
    std::wstring sid = GetCurrentUserSidString();
    EXPECT_EQ(sid.rfind(L"S-1-5-", 0), 0u) << sid;

    ScopedTestKey key(L"Dacl");
    CreateKey(key.Root(), key.Sub(L"child"));
    SecurityDescriptorBuffer original;
    ASSERT_TRUE(GetRegKeyDacl(key.Root(), key.Path().c_str(), original));
    ASSERT_FALSE(original.empty());

    SECURITY_DESCRIPTOR descriptor;
    HeapAcl acl;
    ASSERT_NO_FATAL_FAILURE(BuildEveryoneFullAccess(descriptor, acl));
    std::vector<std::wstring> before = KeyAccessList(key.Root(), key.Sub(L"child"));
    EXPECT_TRUE(SetRegKeyDacl(key.Root(), key.Path().c_str(), &descriptor, true));
    // Full key access for the given account and for the system, both
    // inherited by sub-keys (0x3), on the key and on the key below it.
    const std::vector<std::wstring> full = {L"S-1-1-0 0xf003f 0x3", L"S-1-5-18 0xf003f 0x3"};
    EXPECT_EQ(KeyAccessList(key.Root(), key.Path()), full);
    EXPECT_EQ(KeyAccessList(key.Root(), key.Sub(L"child")), full);

    // Not recursive: the key below keeps what it had.
    EXPECT_TRUE(SetRegKeyDacl(key.Root(), key.Path().c_str(), original.data(), false));
    SecurityDescriptorBuffer restored;
    ASSERT_TRUE(GetRegKeyDacl(key.Root(), key.Path().c_str(), restored));
    EXPECT_EQ(restored, original);
    EXPECT_EQ(KeyAccessList(key.Root(), key.Sub(L"child")), full);
    EXPECT_NE(before, full);
    EXPECT_FALSE(SetRegKeyDacl(key.Root(), nullptr, original.data(), false));
}

}  // namespace
