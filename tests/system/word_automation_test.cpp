// Word's recent files through its automation object, with a stand-in server
// registered under Word's ProgID: what a scan lists, what a clean removes as
// the list shifts, and Word's own errors.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlwapi.h>

#include "office_run.h"
#include "support/test_registry.h"
#include "system/plugin_run.h"
#include "system/word_stub.h"

namespace veltrane {

namespace {

class WordRun : public OfficeRun {
protected:
    void SetUp() override {
        OfficeRun::SetUp();
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring dll = module;
        dll = dll.substr(0, dll.rfind(L'\\') + 1) + L"word_stub.dll";
        wchar_t classId[64] = {};
        StringFromGUID2(kWordStubClassId, classId, 64);
        classKey = std::wstring(L"Software\\Classes\\CLSID\\") + classId;
        SetString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Word.Application\\CLSID", L"", classId);
        SetString(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"", dll);
        SetString(HKEY_LOCAL_MACHINE, classKey + L"\\InprocServer32", L"ThreadingModel",
                  L"Apartment");
        DeleteTree(HKEY_CURRENT_USER, kWordStubKey);
    }
    void TearDown() override {
        DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Word.Application");
        DeleteTree(HKEY_LOCAL_MACHINE, classKey);
        DeleteTree(HKEY_CURRENT_USER, kWordStubKey);
        OfficeRun::TearDown();
    }

    static void SetWordList(const std::vector<std::wstring>& files) {
        std::wstring data;
        for (const std::wstring& file : files) data += file + L'\0';
        data += L'\0';
        HKEY key = nullptr;
        RegCreateKeyW(HKEY_CURRENT_USER, kWordStubKey, &key);
        RegSetValueExW(key, L"Files", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static std::vector<std::wstring> WordList() {
        std::vector<std::wstring> files;
        wchar_t data[4096] = {};
        DWORD size = sizeof(data) - 2 * sizeof(wchar_t);
        if (SHGetValueW(HKEY_CURRENT_USER, kWordStubKey, L"Files", nullptr, data, &size) !=
            ERROR_SUCCESS)
            return files;
        for (const wchar_t* entry = data; *entry; entry += wcslen(entry) + 1)
            files.emplace_back(entry);
        return files;
    }
    static DWORD Recorded(const wchar_t* name) {
        DWORD value = 0;
        GetDword(HKEY_CURRENT_USER, kWordStubKey, name, value);
        return value;
    }

    std::wstring classKey;
    const std::wstring a = L"C:\\Docs\\Letter.doc";
    const std::wstring b = L"C:\\Docs\\Minutes.doc";
    const std::wstring c = L"D:\\Archive\\Offer.rtf";
};

TEST_F(WordRun, ScanListsWordsRecentFilesAndLetsWordQuit) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    const RecentDocumentList& list = run.plugin->GetWordList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, a);
    EXPECT_EQ(list[0].name, L"Letter.doc");
    EXPECT_EQ(list[2].path, c);
    EXPECT_EQ(list[2].type, L"-");  // the shell knows no type for a file that is not there
    EXPECT_EQ(Recorded(L"Quit"), 1u);
    EXPECT_EQ(Recorded(L"QuitSaveChanges"), 2u);  // omitted
    EXPECT_EQ(WordList().size(), 3u);             // a scan changes nothing
}

TEST_F(WordRun, CleanRemovesTheScannedDocumentsAsTheListShiftsAndLeavesLaterOnes) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring opened = L"C:\\Docs\\Opened since.doc";
    SetWordList({opened, a, b, c});
    ASSERT_EQ(run.Clean(), L"Finished");

    // Opened after the scan: not a row the user saw.
    EXPECT_EQ(WordList(), std::vector<std::wstring>{opened});
    for (const RecentDocument& record : run.plugin->GetWordList())
        EXPECT_EQ(record.result, ItemOutcome::kRemoved) << record.path;
    EXPECT_EQ(Recorded(L"QuitSaveChanges"), 1u);
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-deleted"), 3u) << report;
    EXPECT_EQ(report.find(L"Opened since"), std::wstring::npos);
}

TEST_F(WordRun, ADocumentGoneFromWordsListFailsWithAnUnknownError) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    SetWordList({a, c});
    ASSERT_EQ(run.Clean(), L"Finished with failures");

    const RecentDocumentList& list = run.plugin->GetWordList();
    EXPECT_EQ(list[0].result, ItemOutcome::kRemoved);
    EXPECT_EQ(list[1].result, ItemOutcome::kFailed);
    EXPECT_EQ(list[2].result, ItemOutcome::kRemoved);
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetTitle(),
              L"Error occurred while attempting to delete MS Word recent document (" + b + L").");
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason(), L"Unknown error.");
    EXPECT_NE(run.CleanReport().find(L"cid=\"idError_1\""), std::wstring::npos);
}

TEST_F(WordRun, AnErrorRaisedByWordEndsTheSessionWithWordsOwnText) {
    SetWordList({a, b, c});
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    SetString(HKEY_CURRENT_USER, kWordStubKey, L"FailDelete", b);
    ASSERT_EQ(run.Clean(), L"Finished with failures");

    // b is passed over with Word's reason and c deleted after it; what is left stays.
    const RecentDocumentList& list = run.plugin->GetWordList();
    EXPECT_EQ(list[0].result, ItemOutcome::kRemoved);
    EXPECT_EQ(list[1].result, ItemOutcome::kFailed);
    EXPECT_EQ(list[2].result, ItemOutcome::kRemoved);
    EXPECT_EQ(WordList(), std::vector<std::wstring>{b});
    EXPECT_EQ(Recorded(L"Quit"), 2u);  // the scan's and the clean's
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason(), kWordStubRefusal);
}

}  // namespace

}  // namespace veltrane
