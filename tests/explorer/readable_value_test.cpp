// What the Windows 7 to 11 reports show for binary list data: names read
// from shell item lists and UTF-16 data; data that is not what it claims
// never reaches the shell, and a name that is not readable is never shown.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "plugins/explorer/readable_value.h"
#include "plugins/explorer/shell_item_list.h"
#include "seedtraces/shell_item_data.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::vector<uint8_t> Bytes(const std::string& data) { return {data.begin(), data.end()}; }

TEST(ShellItemLists, AListTheShellMadeNamesItsFile) {
    ScopedTestFolder folder(L"ItemLists");
    const std::wstring file = folder.Sub(L"Quarterly report.docx");
    WriteTestFile(file, "report");
    PIDLIST_ABSOLUTE list = ILCreateFromPathW(file.c_str());
    ASSERT_NE(list, nullptr);
    const auto* bytes = reinterpret_cast<const uint8_t*>(list);
    std::vector<uint8_t> data(bytes, bytes + ILGetSize(list));
    ILFree(list);
    EXPECT_EQ(ReadableValueText(ValueLayout::kItemList, L"0", REG_BINARY, data), file);
}

TEST(ShellItemLists, ExplorerDataReadsAsNamesAndNothingElse) {
    const std::string document = ItemListOfPath(L"C:\\Users\\Public\\Documents\\draft 7.pdf");
    const std::string folder = ItemListOfPath(L"C:\\Users\\Public\\Documents", true);
    const std::string mruList = MruListEx(3);
    struct Case {
        const char* what;
        ValueLayout layout;
        DWORD type;
        std::string data;
        std::wstring shown;  // empty for nothing
    };
    const Case cases[] = {
        // The file's 8.3 name is DRAFT7~1.PDF: its long name is the one shown.
        {"a dialog's file", ValueLayout::kItemList, REG_BINARY, document,
         L"C:\\Users\\Public\\Documents\\draft 7.pdf"},
        {"a folder", ValueLayout::kItemList, REG_BINARY, folder, L"C:\\Users\\Public\\Documents"},
        {"a program and its folder", ValueLayout::kNameAndFolder, REG_BINARY,
         Utf16Bytes(L"WINWORD.EXE") + folder, L"WINWORD.EXE (C:\\Users\\Public\\Documents)"},
        {"a program without a folder", ValueLayout::kNameAndFolder, REG_BINARY,
         Utf16Bytes(L"notepad.exe") + std::string(8, '\x01'), L"notepad.exe"},
        {"a recent document", ValueLayout::kLeadingName, REG_BINARY,
         Utf16Bytes(L"notes.txt") + FileItem(L"notes.txt.lnk", false) + std::string(2, '\0'),
         L"notes.txt"},
        {"a search term", ValueLayout::kText, REG_BINARY, Utf16Bytes(L"salary <review>"),
         L"salary <review>"},
        {"a typed path", ValueLayout::kText, REG_SZ, Utf16Bytes(L"\\\\fileserver\\projects"),
         L"\\\\fileserver\\projects"},
        // Not what the layout says: nothing is shown, the value's name is.
        {"an order list", ValueLayout::kItemList, REG_BINARY, mruList, L""},
        {"an order list as text", ValueLayout::kLeadingName, REG_BINARY, mruList, L""},
        {"a list cut short", ValueLayout::kItemList, REG_BINARY, document.substr(0, 30), L""},
        {"a list without its end", ValueLayout::kItemList, REG_BINARY,
         document.substr(0, document.size() - 2), L""},
        {"an item longer than the data", ValueLayout::kItemList, REG_BINARY,
         std::string("\xFF\x7F\x1F\x50", 4), L""},
        {"an empty list", ValueLayout::kItemList, REG_BINARY, std::string(2, '\0'), L""},
        {"odd text", ValueLayout::kText, REG_BINARY, std::string("abc", 3), L""},
        {"a number", ValueLayout::kText, REG_DWORD, std::string(4, '\x01'), L""},
        // Names no report may show: a control character, half a surrogate pair.
        {"a control character", ValueLayout::kItemList, REG_BINARY,
         ItemListOfPath(L"C:\\Data\\evil\x1B[2J.txt"), L""},
        {"an unpaired surrogate", ValueLayout::kItemList, REG_BINARY,
         ItemListOfPath(L"C:\\Data\\half\xD800.txt"), L""},
        {"a replacement character", ValueLayout::kLeadingName, REG_BINARY,
         Utf16Bytes(L"lost\xFFFD.doc"), L""},
        {"a search term with a line break", ValueLayout::kText, REG_BINARY, Utf16Bytes(L"one\ntwo"),
         L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadableValueText(c.layout, L"0", c.type, Bytes(c.data)), c.shown) << c.what;
}

// What a row shows when nothing readable could be had.
TEST(ShellItemLists, UnreadableEntriesSayItBesideTheirName) {
    EXPECT_EQ(ShownValueText(ValueLayout::kItemList, L"12", L""), L"12 (unreadable item)");
    EXPECT_EQ(ShownValueText(ValueLayout::kItemList, L"MRUListEx", L""), L"MRUListEx");
    EXPECT_EQ(ShownValueText(ValueLayout::kProgramName, L"\x01\x02", L""), L"unreadable item");
    EXPECT_EQ(ShownValueText(ValueLayout::kViewSettings, L"ItemPos1280x1024x96(1)", L""),
              L"ItemPos1280x1024x96(1)");
    // Bookkeeping beside a list's entries is never read as an entry.
    const std::string folder = ItemListOfPath(L"C:\\Users", true);
    EXPECT_EQ(ReadableValueText(ValueLayout::kItemList, L"MRUListEx", REG_BINARY, Bytes(folder)),
              L"");
    EXPECT_EQ(ReadableValueText(ValueLayout::kViewSettings, L"0", REG_BINARY, Bytes(folder)), L"");
}

TEST(ShellItemLists, LengthCoversExactlyTheWellFormedList) {
    const std::string list = ItemListOfPath(L"C:\\Data\\a.txt");
    const auto* data = reinterpret_cast<const uint8_t*>(list.data());
    EXPECT_EQ(ItemListLength(data, list.size()), list.size());
    // Whatever follows the terminator is not part of it.
    std::string followed = list + "tail";
    EXPECT_EQ(ItemListLength(reinterpret_cast<const uint8_t*>(followed.data()), followed.size()),
              list.size());
    EXPECT_EQ(ItemListLength(data, list.size() - 1), 0u);
    EXPECT_EQ(ItemListLength(nullptr, 0), 0u);
}

}  // namespace

}  // namespace veltrane
