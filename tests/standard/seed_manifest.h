#pragma once
// What a clean of seeded traces must leave: every trace the seeder noted
// gone, every piece of control data beside them still there; and the
// seeder's changes that are not traces put back afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlwapi.h>

#include <string>

#include "seedtraces/seed_standard.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/text.h"

namespace veltrane {

inline std::string DescribeSeeded(const SeededRegPlace& place) {
    return (place.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") + ToUtf8(place.key) + " : " +
           ToUtf8(place.value);
}

inline void ExpectCleanedAsSeeded(const StandardSeedManifest& seeded) {
    for (const SeededRegPlace& place : seeded.traceValues)
        EXPECT_FALSE(ValueExists(place.root, place.key, place.value)) << DescribeSeeded(place);
    for (const SeededRegPlace& place : seeded.traceKeys)
        EXPECT_FALSE(KeyExists(place.root, place.key)) << DescribeSeeded(place);
    for (const std::wstring& file : seeded.traceFiles)
        EXPECT_FALSE(FileExists(file)) << ToUtf8(file);
    for (const std::wstring& folder : seeded.traceFolders)
        EXPECT_FALSE(FileExists(folder)) << ToUtf8(folder);

    for (const SeededRegPlace& place : seeded.controlValues)
        EXPECT_TRUE(ValueExists(place.root, place.key, place.value)) << DescribeSeeded(place);
    for (const SeededRegPlace& place : seeded.controlKeys)
        EXPECT_TRUE(KeyExists(place.root, place.key)) << DescribeSeeded(place);
    for (const std::wstring& file : seeded.controlFiles)
        EXPECT_TRUE(FileExists(file)) << ToUtf8(file);
    for (const std::wstring& folder : seeded.controlFolders)
        EXPECT_TRUE(FileExists(folder)) << ToUtf8(folder);
}

inline void UndoSeeding(const StandardSeedManifest& seeded) {
    for (const SeededRegPlace& place : seeded.controlValues)
        SHDeleteValueW(place.root, place.key.c_str(), place.value.c_str());
    for (const SeededRegPlace& place : seeded.controlKeys) DeleteTree(place.root, place.key);
    for (const std::wstring& file : seeded.controlFiles) DeleteFileW(file.c_str());
    for (const SeededRegPlace& place : seeded.settings)
        SHDeleteValueW(place.root, place.key.c_str(), place.value.c_str());
    for (const std::wstring& folder : seeded.madeFolders) RemoveTree(folder);
}

}  // namespace veltrane
