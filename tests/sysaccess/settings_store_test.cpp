#include <gtest/gtest.h>

#include "support/test_registry.h"
#include "sysaccess/settings_store.h"

namespace veltrane {

namespace {

TEST(RegistryProperty, MissingKeyKeepsDefaultAndDestructionWritesIt) {
    ScopedTestKey key(L"PropertyMissing");
    std::wstring path = key.Sub(L"Created\\Later");
    {
        CRPDWORD number(key.Root(), path, L"n", 7);
        EXPECT_EQ(number.Get(), 7u);
        EXPECT_EQ(number.FailedStep(), CRegistryProperty::kOpenOrCreate);
    }
    DWORD stored = 0;
    EXPECT_TRUE(GetDword(key.Root(), path, L"n", stored));
    EXPECT_EQ(stored, 7u);
    {
        CRPSTRING text(key.Root(), path, L"missing", L"fallback");
        EXPECT_EQ(text.Get(), L"fallback");
        EXPECT_EQ(text.FailedStep(), CRegistryProperty::kQuery);
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

TEST(Settings, AbsentKeyIsMissingAndSaveCreatesIt) {
    ScopedTestKey key(L"SettingsAbsent");
    const std::wstring path = key.Sub(L"Options");
    CSettings settings(key.Root(), path);
    EXPECT_EQ(settings.Load().kind, SettingsOutcome::kMissing);
    settings[L""][L"A"] = L"1";
    EXPECT_TRUE(settings.Save().Done());
    std::wstring data;
    EXPECT_TRUE(GetString(key.Root(), path, L"A", data));
    EXPECT_EQ(data, L"1");
}

// Values of any length are read, and a value that cannot be taken as text
// is noted by name and hides none after it. (The old reader stopped at the
// first value over 512 bytes and lost every option listed after it.)
TEST(Settings, LoadReadsAnyLengthAndNoValueHidesAnother) {
    ScopedTestKey key(L"SettingsLoad");
    SetString(key.Root(), key.Path(), L"A", L"1");
    // Numbers whose bytes would read as the texts "0" and "1": loaded as text,
    // they would turn hiding off and overwriting on.
    SetDword(key.Root(), key.Path(), L"HideOnExit", L'0');
    SetDword(key.Root(), key.Path(), L"OverWrite", L'1');
    const std::wstring longText(10000, L'x');
    SetString(key.Root(), key.Path(), L"Long", longText);
    SetString(key.Root(), key.Path(), L"C", L"after");
    SetString(key.Root(), key.Sub(L"Sub"), L"inner", L"v");
    CSettings settings(key.Root(), key.Path());
    ASSERT_TRUE(settings.Load().Done());
    EXPECT_EQ(settings.TryOption(L"A"), L"1");
    EXPECT_EQ(settings.TryOption(L"Long"), longText);
    EXPECT_EQ(settings.TryOption(L"C"), L"after");
    EXPECT_EQ(settings.TryOption(L"HideOnExit"), std::nullopt);
    const UnreadableValues& unreadable = settings.Unreadable(L"");
    ASSERT_EQ(unreadable.size(), 2u);
    EXPECT_EQ(unreadable.at(L"OverWrite").type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(unreadable.at(L"OverWrite").error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(settings[L"Sub"][L"inner"], L"v");

    settings[L""][L"OverWrite"] = L"1";
    settings[L"New"][L"x"] = L"y";
    ASSERT_TRUE(settings.Save().Done());
    std::wstring data;
    EXPECT_TRUE(GetString(key.Root(), key.Path(), L"OverWrite", data));
    EXPECT_EQ(data, L"1");
    EXPECT_TRUE(GetString(key.Root(), key.Path(), L"Long", data));
    EXPECT_EQ(data, longText);
    EXPECT_TRUE(GetString(key.Root(), key.Sub(L"New"), L"x", data));
    EXPECT_EQ(data, L"y");
}

// The key's access list decides: a key that denies reading fails its load
// with the system's code; one that denies writing is not writable, and
// neither is a missing key below it.
TEST(Settings, AccessListsDecideReadingAndWriting) {
    ScopedTestKey key(L"SettingsAccess");
    const std::wstring path = key.Sub(L"Options");
    SetString(key.Root(), path, L"A", L"1");
    EXPECT_TRUE(MayWriteKey(key.Root(), path));
    EXPECT_TRUE(MayWriteKey(key.Root(), path + L"\\Missing\\Deeper"));
    {
        ScopedKeyDenial denied(key.Root(), path, KEY_QUERY_VALUE);
        ASSERT_TRUE(denied.Applied());
        CSettings settings(key.Root(), path);
        const SettingsOutcome loaded = settings.Load();
        EXPECT_EQ(loaded.kind, SettingsOutcome::kFailed);
        EXPECT_EQ(loaded.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(settings.TryOption(L"A"), std::nullopt);
    }
    {
        ScopedKeyDenial denied(key.Root(), path, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
        ASSERT_TRUE(denied.Applied());
        EXPECT_FALSE(MayWriteKey(key.Root(), path));
        EXPECT_FALSE(MayWriteKey(key.Root(), path + L"\\Missing"));
        CSettings settings(key.Root(), path);
        settings[L""][L"A"] = L"2";
        const SettingsOutcome saved = settings.Save();
        EXPECT_EQ(saved.kind, SettingsOutcome::kFailed);
        EXPECT_EQ(saved.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(WriteSettingNumber(key.Root(), path, L"N", 1).error,
                  static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_TRUE(DeleteSettingValues(key.Root(), path, {L"A", L"Absent"}).Done());
    EXPECT_FALSE(ValueExists(key.Root(), path, L"A"));
}

}  // namespace

}  // namespace veltrane
