#include <gtest/gtest.h>

#include "app/settings_store.h"
#include "support/test_registry.h"

namespace {

TEST(RegistryProperty, MissingKeyKeepsDefaultAndDestructionWritesIt) {
    ScopedTestKey key(L"PropertyMissing");
    std::wstring path = key.Sub(L"Created\\Later");
    {
        CRPDWORD number(key.Root(), path, L"n", 7);
        EXPECT_EQ(number.Get(), 7u);
        EXPECT_EQ(number.GetLastError(), CRegistryProperty::kOpenOrCreate);
    }
    DWORD stored = 0;
    EXPECT_TRUE(GetDword(key.Root(), path, L"n", stored));
    EXPECT_EQ(stored, 7u);
    {
        CRPSTRING text(key.Root(), path, L"missing", L"fallback");
        EXPECT_EQ(text.Get(), L"fallback");
        EXPECT_EQ(text.GetLastError(), CRegistryProperty::kQuery);
        text.SetNoWriteBack(true);
    }
    EXPECT_FALSE(ValueExists(key.Root(), path, L"missing"));
}

TEST(RegistryProperty, StringKeepsItsTypeAndCanBeDeleted) {
    ScopedTestKey key(L"PropertyString");
    SetString(key.Root(), key.Path(), L"expand", L"%WinDir%\\x", REG_EXPAND_SZ);
    {
        CRPSTRING text(key.Root(), key.Path(), L"expand", L"");
        EXPECT_EQ(text.Get(), L"%WinDir%\\x");
        text.Set(L"%WinDir%\\y");
    }
    std::wstring data;
    DWORD type = 0;
    ASSERT_TRUE(GetString(key.Root(), key.Path(), L"expand", data, &type));
    EXPECT_EQ(data, L"%WinDir%\\y");
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    {
        CRPSTRING text(key.Root(), key.Path(), L"expand", L"");
        text.DeleteValue();
    }
    EXPECT_FALSE(ValueExists(key.Root(), key.Path(), L"expand"));
}

TEST(Options, AbsentKeyGivesDefaultsAndSaveCreatesIt) {
    ScopedTestKey key(L"OptionsAbsent", HKEY_LOCAL_MACHINE);
    std::wstring path = key.Sub(L"Options");
    CSettings options(key.Root(), path);
    EXPECT_FALSE(options.Load());
    EXPECT_TRUE(IsHideOnExit(options));
    EXPECT_FALSE(IsOverWrite(options));
    EXPECT_TRUE(IsBootStartup(options));
    EXPECT_TRUE(options.Save());
    // Reading an absent option stores it empty, which reads back the same.
    std::wstring data = L"?";
    EXPECT_TRUE(GetString(key.Root(), path, L"HideOnExit", data));
    EXPECT_EQ(data, L"");
    EXPECT_FALSE(ValueExists(key.Root(), path, L"OverWrite"));  // peeked, never created
}

TEST(Options, LoadTakesStringValuesOnlyAndStopsAtAnOverlongOne) {
    ScopedTestKey key(L"OptionsLoad", HKEY_LOCAL_MACHINE);
    SetString(key.Root(), key.Path(), L"A", L"1");
    // Numbers whose bytes would read as the texts "0" and "1": loaded as text,
    // they would turn hiding off and overwriting on.
    SetDword(key.Root(), key.Path(), L"HideOnExit", L'0');
    SetDword(key.Root(), key.Path(), L"OverWrite", L'1');
    SetString(key.Root(), key.Path(), L"B", std::wstring(300, L'x'));
    SetString(key.Root(), key.Path(), L"C", L"after");
    SetString(key.Root(), key.Sub(L"Sub"), L"inner", L"v");
    CSettings options(key.Root(), key.Path());
    ASSERT_TRUE(options.Load());
    EXPECT_EQ(options.Option(L"A"), L"1");
    EXPECT_EQ(options[L""].count(L"HideOnExit"), 0u);
    EXPECT_TRUE(IsHideOnExit(options));
    EXPECT_FALSE(IsOverWrite(options));
    EXPECT_EQ(options.PeekOption(L"C"), L"");
    EXPECT_EQ(options[L"Sub"][L"inner"], L"v");

    options.Option(L"OverWrite") = L"1";
    options.Option(L"BootStartup") = L"0";
    options[L"New"][L"x"] = L"y";
    ASSERT_TRUE(options.Save());
    std::wstring data;
    EXPECT_TRUE(GetString(key.Root(), key.Path(), L"OverWrite", data));
    EXPECT_EQ(data, L"1");
    EXPECT_TRUE(GetString(key.Root(), key.Sub(L"New"), L"x", data));
    EXPECT_EQ(data, L"y");
    EXPECT_TRUE(ValueExists(key.Root(), key.Path(), L"C"));  // save deletes nothing

    // Values enumerated after the overlong one are never loaded.
    CSettings reloaded(key.Root(), key.Path());
    ASSERT_TRUE(reloaded.Load());
    EXPECT_TRUE(IsBootStartup(reloaded));
    EXPECT_EQ(reloaded[L"New"][L"x"], L"y");
}

}  // namespace
