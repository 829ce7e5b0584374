// Walking registry keys: values, data and sub-keys of one key, a tree
// deepest first, data of any size and type, and cancelling.
#include <gtest/gtest.h>

#include "registry_fixtures.h"
#include "support/run_context_stub.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/reg_walk.h"

namespace veltrane {

namespace {

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

}  // namespace

}  // namespace veltrane
