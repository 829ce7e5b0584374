// The one reader of registry values as text: how each stored form ends up as
// text, and how a missing key or value is told apart from a present one.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_text.h"
#include "sysaccess/registry_values.h"

namespace veltrane {

namespace {

// Stores raw bytes of `type`, so that terminators can be left out or doubled.
void SetRaw(const ScopedTestKey& key, const wchar_t* name, DWORD type, const void* data,
            DWORD size) {
    RegKey opened;
    ASSERT_EQ(RegOpenKeyExW(key.Root(), key.Path().c_str(), 0, KEY_SET_VALUE, opened.Receive()),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(opened.Get(), name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
}

RegText Read(const ScopedTestKey& key, const wchar_t* name, RegTextTypes types,
             RegTextRead expected = RegTextRead::kRead) {
    RegText value;
    EXPECT_EQ(ReadRegText(key.Root(), key.Path().c_str(), name, value, types), expected) << name;
    return value;
}

TEST(RegistryText, TextEndsAtTheFirstNulHoweverItWasStored) {
    ScopedTestKey key(L"TextEnds");
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    SetRaw(key, L"bare", REG_SZ, unterminated, sizeof(unterminated));
    const wchar_t doubled[] = L"abc\0\0";
    SetRaw(key, L"doubled", REG_SZ, doubled, sizeof(doubled));
    const wchar_t inner[] = L"abc\0tail";
    SetRaw(key, L"inner", REG_EXPAND_SZ, inner, sizeof(inner));
    // An odd byte count: the last byte still reads as a character of its own.
    SetRaw(key, L"odd", REG_SZ, L"abcd", 7);
    SetRaw(key, L"empty", REG_SZ, L"", 0);
    for (const wchar_t* name : {L"bare", L"doubled", L"inner"})
        EXPECT_EQ(Read(key, name, RegTextTypes::kStringsOnly).text, L"abc") << name;
    EXPECT_EQ(Read(key, L"odd", RegTextTypes::kStringsOnly).text, L"abcd");
    EXPECT_EQ(Read(key, L"inner", RegTextTypes::kStringsOnly).type,
              static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(Read(key, L"empty", RegTextTypes::kStringsOnly).text, L"");
}

TEST(RegistryText, OtherTypesGiveTheirTypeAndTextOnlyWhenAskedFor) {
    ScopedTestKey key(L"TextTypes");
    SetDword(key.Root(), key.Path(), L"number", 0x41);
    const BYTE bytes[] = {0x42, 0x00, 0x43, 0x00};
    SetBinary(key.Root(), key.Path(), L"bytes", bytes, sizeof(bytes));
    RegText number = Read(key, L"number", RegTextTypes::kStringsOnly);
    EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number.text, L"");
    EXPECT_EQ(Read(key, L"number", RegTextTypes::kAnyType).text, L"A");
    RegText binary = Read(key, L"bytes", RegTextTypes::kAnyType);
    EXPECT_EQ(binary.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(binary.text, L"BC");
    EXPECT_FALSE(IsStringType(REG_MULTI_SZ));
}

TEST(RegistryText, LargeValueIsReadWhole) {
    ScopedTestKey key(L"TextLarge");
    std::wstring large(300000, L'x');
    large.back() = L'y';
    SetString(key.Root(), key.Path(), L"large", large);
    EXPECT_EQ(Read(key, L"large", RegTextTypes::kStringsOnly).text, large);
}

TEST(RegistryText, MissingValueAndMissingKeyAreMissing) {
    ScopedTestKey key(L"TextMissing");
    RegText value;
    value.text = L"stale";
    EXPECT_EQ(ReadRegText(key.Root(), key.Path().c_str(), L"none", value), RegTextRead::kMissing);
    EXPECT_EQ(value.text, L"");
    EXPECT_EQ(ReadRegText(key.Root(), key.Sub(L"none").c_str(), L"v", value),
              RegTextRead::kMissing);
    // The default value of a key that has none.
    EXPECT_EQ(ReadRegText(key.Root(), key.Path().c_str(), nullptr, value), RegTextRead::kMissing);
}

}  // namespace

}  // namespace veltrane
