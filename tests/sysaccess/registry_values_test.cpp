// Registry numbers and bytes: read only as what they are, written only
// where the key exists, and never more bytes than asked for.
#include <gtest/gtest.h>

#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_values.h"

namespace veltrane {

namespace {

TEST(RegistryValues, DwordIsReadOnlyAsADwordAndWrittenOnlyIntoAKeyThatExists) {
    ScopedTestKey key(L"ValuesDword");
    SetDword(key.Root(), key.Path(), L"number", 7);
    SetString(key.Root(), key.Path(), L"text", L"7");
    EXPECT_EQ(TryReadRegDword(key.Root(), key.Path().c_str(), L"number"), 7u);
    EXPECT_FALSE(TryReadRegDword(key.Root(), key.Path().c_str(), L"text"));
    EXPECT_FALSE(TryReadRegDword(key.Root(), key.Path().c_str(), L"none"));

    EXPECT_TRUE(SetRegDwordInExistingKey(key.Root(), key.Path().c_str(), L"number", 0).Written());
    EXPECT_EQ(TryReadRegDword(key.Root(), key.Path().c_str(), L"number"), 0u);
    const std::wstring missing = key.Sub(L"Missing");
    const RegWriteOutcome refused =
        SetRegDwordInExistingKey(key.Root(), missing.c_str(), L"number", 1);
    EXPECT_FALSE(refused.Written());
    EXPECT_EQ(refused.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(KeyExists(key.Root(), missing));
    // The general writer creates the key and stores the bytes as given.
    const wchar_t unterminated[] = {L'o', L'k'};
    EXPECT_TRUE(
        SetRegValue(key.Root(), missing.c_str(), L"run", REG_SZ, unterminated, sizeof(unterminated))
            .Written());
    std::wstring text;
    ASSERT_TRUE(GetString(key.Root(), missing, L"run", text));
    EXPECT_EQ(text, L"ok");
}

TEST(RegistryValues, BytesAreReadUpToTheLargestSizeAsked) {
    ScopedTestKey key(L"ValuesBytes");
    const BYTE bytes[] = {1, 2, 3, 4, 5};
    SetBinary(key.Root(), key.Path(), L"bytes", bytes, sizeof(bytes));
    RegKey opened;
    ASSERT_EQ(RegOpenKeyExW(key.Root(), key.Path().c_str(), 0, KEY_READ, opened.Receive()),
              ERROR_SUCCESS);
    const std::optional<RegBytes> value = TryReadRegBytes(opened.Get(), L"bytes", 5);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value->data, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_FALSE(TryReadRegBytes(opened.Get(), L"bytes", 4));
    EXPECT_FALSE(TryReadRegBytes(opened.Get(), L"none", 64));
}

}  // namespace

}  // namespace veltrane
