// Registry links are never entered, deleted through or widened through.
#include <gtest/gtest.h>

#include "registry_fixtures.h"
#include "support/run_context_stub.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

namespace {

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
    EXPECT_TRUE(
        SetRegKeyDacl(key.Root(), key.Sub(L"Granted").c_str(), &descriptor, true).Written());
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

}  // namespace

}  // namespace veltrane
