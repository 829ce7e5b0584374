#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "plugins/system/clipboard.h"
#include "sysaccess/item_ref.h"
#include "sysaccess/text.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

void Put(UINT format, const void* data, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
    ASSERT_NE(SetClipboardData(format, memory), nullptr);
}

class ClipboardRun : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        CloseClipboard();
    }
};

TEST_F(ClipboardRun, FormatsAreListedWithSizesAndTheClipboardIsEmptied) {
    // Markup and placeholder look-alikes in a format name show as written.
    UINT named = RegisterClipboardFormatW(L"Veltrane <Test> #size# Format");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const wchar_t text[] = L"hello";  // 12 bytes with its terminator
    Put(CF_UNICODETEXT, text, sizeof(text));
    Put(named, "0123456789", 10);
    CloseClipboard();

    PluginRun<CPlgClipboard> run(L"Clipboard");
    ASSERT_EQ(run.Scan(), L"Finished");
    wchar_t namedText[64];
    swprintf(namedText, 64, L"\"Veltrane <Test> #size# Format\"(0x%04X)", named);
    bool sawText = false;
    bool sawNamed = false;
    for (const auto& entry : run.plugin->GetFormats()) {
        if (entry.text == L"unknown format (0x000D)") sawText = entry.size >= 12;
        if (entry.text == namedText) sawNamed = entry.size >= 10;
        EXPECT_NE(entry.size, 0u);
    }
    EXPECT_TRUE(sawText);
    EXPECT_TRUE(sawNamed);

    // One progress text per pass, the last pass finding no further format.
    int count = CountClipboardFormats();
    ASSERT_GE(count, 2);
    std::wstring first = L"Currently 1 of " + std::to_wstring(count) + L" formats in clipboard";
    std::wstring third = L"Currently 3 of " + std::to_wstring(count) + L" formats in clipboard";
    std::wstring all;
    for (const std::wstring& shown : run.view.progress) all += shown;
    EXPECT_NE(all.find(L"Scanning " + first), std::wstring::npos) << all;
    EXPECT_NE(all.find(third), std::wstring::npos);

    std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"<h2 class=\"report-title\">Clipboard</h2>"), std::wstring::npos)
        << report;
    EXPECT_NE(report.find(L"&quot;Veltrane &lt;Test&gt; &#35;size&#35; Format&quot;"),
              std::wstring::npos);
    EXPECT_NE(report.find(L"<td>unknown format (0x000D)</td>"), std::wstring::npos);
    EXPECT_NE(report.find(L"in " + std::to_wstring(run.plugin->GetFormats().size()) + L" formats"),
              std::wstring::npos);

    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_NE(run.CleanReport().find(L"has been emptied"), std::wstring::npos);
}

TEST_F(ClipboardRun, AnEmptyClipboardAndOneHeldByAnotherProgram) {
    PluginRun<CPlgClipboard> run(L"Clipboard");
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_TRUE(run.plugin->GetFormats().empty());
    std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"<h2>Clipboard</h2>"), std::wstring::npos);
    EXPECT_NE(report.find(L"The clipboard is empty."), std::wstring::npos);

    // Another program holds the clipboard through a window of its own.
    HWND holder =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(holder, nullptr);
    ASSERT_TRUE(OpenClipboard(holder));
    const wchar_t text[] = L"kept";
    Put(CF_UNICODETEXT, text, sizeof(text));
    EXPECT_EQ(run.Scan(), L"Failed");
    CloseClipboard();
    // The scan listed nothing, so the clean empties nothing, even now that it could.
    EXPECT_EQ(run.Clean(), L"Finished");
    EXPECT_NE(CountClipboardFormats(), 0);
    EXPECT_NE(run.CleanReport().find(L"The clipboard is empty."), std::wstring::npos);

    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_TRUE(OpenClipboard(holder));
    EXPECT_EQ(run.Clean(), L"Failed");
    CloseClipboard();
    DestroyWindow(holder);
    EXPECT_NE(run.CleanReport().find(L"could not be emptied"), std::wstring::npos);
}

// The clipboard goes whole, so its one box keeps it whole; and what was
// copied after the scan is not what the report showed, so it stays too.
TEST_F(ClipboardRun, AnUntickedOrChangedClipboardStays) {
    const wchar_t first[] = L"listed";
    ASSERT_TRUE(OpenClipboard(nullptr));
    Put(CF_UNICODETEXT, first, sizeof(first));
    CloseClipboard();
    PluginRun<CPlgClipboard> run(L"Clipboard");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring key =
        ItemKey({ItemKind::kStoreEntry, L"The clipboard", L"everything it holds", {}});
    const std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"<p data-item=\"" + EscapeHtml(key) +
                          L"\" data-in-group=\"plugin:Clipboard\">The clipboard holds"),
              std::wstring::npos)
        << report;
    EXPECT_NE(report.find(L"<section class=\"report-section\" data-group=\"plugin:Clipboard\""),
              std::wstring::npos)
        << report;

    run.kernel->SetKeptByYou({key});
    EXPECT_EQ(run.Clean(), L"Finished");
    EXPECT_NE(CountClipboardFormats(), 0);
    EXPECT_NE(run.CleanReport().find(L"Kept by you"), std::wstring::npos);

    // A new scan ticks every row again; then something new is copied.
    ASSERT_EQ(run.Scan(), L"Finished");
    const wchar_t later[] = L"copied after the scan";
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    Put(CF_UNICODETEXT, later, sizeof(later));
    CloseClipboard();
    EXPECT_EQ(run.Clean(), L"Failed");
    EXPECT_NE(CountClipboardFormats(), 0);
    EXPECT_NE(run.CleanReport().find(L"after the scan"), std::wstring::npos);

    // Scanned again, it goes.
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_EQ(run.Clean(), L"Finished");
    EXPECT_EQ(CountClipboardFormats(), 0);
}

}  // namespace

}  // namespace veltrane
