// Deleting registry trees and numbered values: what is left, what a cancel
// keeps, and what was gone already told apart from what was removed.
#include <gtest/gtest.h>

#include "registry_fixtures.h"
#include "support/run_context_stub.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_walk.h"

namespace veltrane {

namespace {

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

}  // namespace

}  // namespace veltrane
