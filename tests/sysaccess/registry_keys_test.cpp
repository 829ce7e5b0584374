// Sub-key listings, up to the longest names the registry allows.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"

namespace veltrane {

namespace {

TEST(RegistryKeys, SubKeyNamesUpToTheLongestAllowedAreListed) {
    ScopedTestKey key(L"SubKeyNames");
    const std::wstring longest(255, L'k');
    for (const std::wstring& name : {std::wstring(L"a"), std::wstring(L"b c"), longest})
        CreateKey(key.Root(), key.Sub(name));
    const RegKey opened = OpenRegKey(key.Root(), key.Path().c_str(), KEY_READ);
    ASSERT_TRUE(opened);
    std::vector<std::wstring> names = ListSubKeyNames(opened.Get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"b c", longest}));
    EXPECT_TRUE(OpenRegKeyAsGranted(key.Root(), key.Sub(L"b c").c_str()));
    EXPECT_FALSE(OpenRegKey(key.Root(), key.Sub(L"missing").c_str(), KEY_READ));
    EXPECT_FALSE(OpenRegKeyAsGranted(key.Root(), key.Sub(L"missing").c_str()));
}

}  // namespace

}  // namespace veltrane
