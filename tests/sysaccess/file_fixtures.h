#pragma once
// What the file deletion and walking tests share: a folder to delete in, one
// with a folder link to a folder of the user's outside it, and small helpers.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/run_context_stub.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "sysaccess/handles.h"

namespace veltrane {

inline std::wstring FileName(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

// What can still be read through a handle held from before an overwrite.
inline std::string ReadHeld(const UniqueHandle& holder, size_t expected) {
    std::string content(expected + 1, '\0');
    DWORD got = 0;
    ReadFile(holder.Get(), content.data(), static_cast<DWORD>(content.size()), &got, nullptr);
    content.resize(got);
    return content;
}

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareEverything = kShareReadWrite | FILE_SHARE_DELETE;

// A folder to delete in.
class FileDelete : public testing::Test {
protected:
    ScopedTestFolder folder{L"Delete"};
    TestRunContext context;
    unsigned count = 0;  // what a listing counted
};

// A folder link inside the folder being worked on, leading to a folder of
// the user's outside it.
class FolderLink : public FileDelete {
protected:
    void SetUp() override {
        WriteTestFile(outside.Sub(L"keep.txt"), "mine");
        WriteTestFile(folder.Sub(L"inner\\trace.tmp"), "trace");
        ASSERT_TRUE(MakeFolderLink(link, outside.Path()));
        context.wipe = true;
    }
    // Wine cannot remove the link itself: it would outlive the test.
    void TearDown() override { RemoveFolderLink(link); }

    ScopedTestFolder outside{L"LinkTarget"};
    std::wstring link = folder.Sub(L"link");
};

}  // namespace veltrane
