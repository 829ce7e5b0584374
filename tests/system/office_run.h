// Office's recent-document places emptied around each test of the plug-in.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "plugins/system/office_recent.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace veltrane {

inline constexpr wchar_t kOffice[] = L"Software\\Microsoft\\Office";

inline std::wstring OfficeRecentFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE);
    return std::wstring(appData) + L"\\Microsoft\\Office\\Recent";
}

class OfficeRun : public testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kOffice); }
    void TearDown() override {
        DeleteTree(HKEY_CURRENT_USER, kOffice);
        RemoveTree(OfficeRecentFolder());
    }
    static std::vector<std::wstring> Names(const RecentDocumentList& list) {
        std::vector<std::wstring> names;
        for (const RecentDocument& record : list)
            names.push_back(record.valueName + L"=" + record.name);
        return names;
    }
};

}  // namespace veltrane
