// Our decoder of shell items on the real values of a Windows 7 user's hive
// (corpus file windows/reg/ntuser-win7.reg, made from plaso's test data
// NTUSER-WIN7.DAT; origin, commit and licence in the corpus's MANIFEST.md).
// Each expected name was worked out by hand from the value's bytes: the
// items are listed in the comment beside it. Then the same values damaged in
// thousands of ways: nothing crashes, and whatever is shown is readable.
#include <gtest/gtest.h>
#include <windows.h>

#include <knownfolders.h>

#include "corpus/reg_export.h"
#include "plugins/explorer/readable_text.h"
#include "plugins/explorer/readable_value.h"
#include "robustness/mutation.h"
#include "support/corpus.h"
#include "sysaccess/com_owners.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kHive[] = L"windows\\reg\\ntuser-win7.reg";
const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
const std::wstring kBagMru = L"Software\\Microsoft\\Windows\\Shell\\BagMRU";

class CorpusHive : public testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_CORPUS_FILE(kHive);
        hive = ReadRegExport(CorpusFile(kHive));
        ASSERT_FALSE(hive.empty());
    }
    const RegExportValue& Value(const std::wstring& key, const std::wstring& name) {
        static const RegExportValue none;
        auto found = hive.find(key);
        if (found == hive.end() || !found->second.values.contains(name)) {
            ADD_FAILURE() << "not in the hive: " << ToUtf8(key + L" " + name);
            return none;
        }
        return found->second.values.at(name);
    }
    std::wstring Shown(ValueLayout layout, const std::wstring& key, const std::wstring& name) {
        const RegExportValue& value = Value(key, name);
        return ReadableValueText(layout, name, value.type, value.data);
    }
    // A BagMRU value's item below those of the values leading to its key.
    std::vector<uint8_t> BagItems(const std::vector<std::wstring>& path) {
        std::vector<uint8_t> list;
        std::wstring key = kBagMru;
        for (const std::wstring& name : path) {
            const std::vector<uint8_t>& data = Value(key, name).data;
            list.insert(list.end(), data.begin(), data.end() - 2);  // without the terminator
            key += L"\\" + name;
        }
        list.insert(list.end(), 2, 0);
        return list;
    }

    ScopedComApartment apartment;
    RegExport hive;
};

TEST_F(CorpusHive, DialogListsShowTheirFilesFullPaths) {
    const std::wstring files = kExplorer + L"ComDlg32\\OpenSavePidlMRU\\*";
    const std::wstring documents = GetKnownFolderPath(FOLDERID_Documents);
    struct Case {
        const wchar_t* name;
        std::wstring path;
    };
    const Case cases[] = {
        // My Computer; drive "C:\"; folders Users, nfury, DOCUME~1 and ALLOYR~1 whose
        // 0xbeef0004 blocks (version 8) hold "Documents" and "Alloy Research"; the file
        // entry STARFU~1.ZIP, long name "StarFury.zip".
        {L"5", L"C:\\Users\\nfury\\Documents\\Alloy Research\\StarFury.zip"},
        // My Computer; drive "P:\"; APPLIC~1 ("Application Tools"), FIREFO~1.0
        // ("Firefox 6.0"); the file "Firefox Setup 6.0.exe".
        {L"3", L"P:\\Application Tools\\Firefox 6.0\\Firefox Setup 6.0.exe"},
        // Network {F02C1A0D-...}; a property-store item (signature 0x3b93afbb) whose
        // display name is "controller"; the network place "\\controller\WebDavShare"
        // (type 0xc3); the file "Firefox Setup 3.6.12.exe".
        {L"0", L"\\\\controller\\WebDavShare\\Firefox Setup 3.6.12.exe"},
        // Libraries {031E4825-...}; known folder {7B0DB17D-...} (the Documents library);
        // three property-store items (0x10141981): "My Documents", "Leadership", "htlhtl",
        // the last keeping its full path "C:\Users\nfury\Documents\Leadership\htlhtl.pdf".
        {L"12", L"C:\\Users\\nfury\\Documents\\Leadership\\htlhtl.pdf"},
        // Libraries; the Documents library; one property-store item with the path
        // "C:\Users\nfury\Documents\StarFury".
        {L"7", L"C:\\Users\\nfury\\Documents\\StarFury"},
        // The user's files {59031A47-...}; known folder {FDD39AD0-...} (Documents); the
        // folder STARFU~1, long name "StarFury".
        {L"10", documents + L"\\StarFury"},
        // The user's files; known folder {374DE290-...} (Downloads); the file
        // "wallpaper_medium.jpg" (its primary name already long, 0xbeef0004 alike).
        {L"1", GetKnownFolderPath(FOLDERID_Downloads) + L"\\wallpaper_medium.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Shown(ValueLayout::kItemList, files, c.name), c.path) << ToUtf8(c.name);
    // The order of the list is not an item list, and is not read as one.
    EXPECT_EQ(Shown(ValueLayout::kItemList, files, L"MRUListEx"), L"");
    EXPECT_EQ(ShownValueText(ValueLayout::kItemList, L"MRUListEx", L""), L"MRUListEx");

    const std::wstring folders = kExplorer + L"ComDlg32\\LastVisitedPidlMRU";
    // "iexplore.exe" in UTF-16, then My Computer, "P:\", APPLIC~1, FIREFO~1.0.
    EXPECT_EQ(Shown(ValueLayout::kNameAndFolder, folders, L"0"),
              L"iexplore.exe (P:\\Application Tools\\Firefox 6.0)");
    // A program's id in UTF-16, then the user's files, Documents, ALLOYR~1.
    EXPECT_EQ(Shown(ValueLayout::kNameAndFolder, folders, L"7"),
              L"{48E1ED6B-CF49-4609-B1C1-C082BFC3D0B4} (" + documents + L"\\Alloy Research)");
}

TEST_F(CorpusHive, FolderViewsShowEachFoldersPathThroughItsParents) {
    // BagMRU "0": Network. BagMRU\0 "0": the property-store item "controller".
    // BagMRU\0\0 "0": the network place "\\controller\WebDavShare", which stands on its own.
    const auto shown = [this](const std::vector<std::wstring>& path) {
        return ReadableValueText(ValueLayout::kFolderItem, path.back(), REG_BINARY, BagItems(path));
    };
    EXPECT_EQ(shown({L"0"}), L"Network");
    EXPECT_EQ(shown({L"0", L"0"}), L"Network\\controller");
    EXPECT_EQ(shown({L"0", L"0", L"0"}), L"\\\\controller\\WebDavShare");
    // Beside the items: the order and the view's slot, never read.
    EXPECT_EQ(ReadableValueText(ValueLayout::kFolderItem, L"NodeSlots", REG_BINARY,
                                Value(kBagMru, L"NodeSlots").data),
              L"");
}

TEST_F(CorpusHive, RecentItemsSearchesAndProgramsReadAsNames) {
    const std::wstring recent = kExplorer + L"RecentDocs";
    // UTF-16 "StarFury.zip", then the item of its shortcut "StarFury.lnk".
    EXPECT_EQ(Shown(ValueLayout::kLeadingName, recent, L"6"), L"StarFury.zip");
    EXPECT_EQ(Shown(ValueLayout::kLeadingName, recent + L"\\Folder", L"2"), L"StarFury");
    EXPECT_EQ(Shown(ValueLayout::kText, kExplorer + L"WordWheelQuery", L"1"), L"rar.exe");

    const std::wstring programs =
        kExplorer + L"UserAssist\\{CEBFF5CD-ACE2-4F4F-9178-9926F41749EA}\\Count";
    // ROT13 of "{7C5A40EF-...}\Mozilla Firefox\firefox.exe", the id being the 32-bit
    // Program Files; in the data, run count 7 at offset 4 and at offset 60 the
    // FILETIME 0x01CC65D4397801E0, 2011-08-28 22:45 UTC.
    EXPECT_EQ(
        Shown(ValueLayout::kProgramName, programs,
              L"{7P5N40RS-N0SO-4OSP-874N-P0S2R0O9SN8R}\\Zbmvyyn Sversbk\\sversbk.rkr"),
        GetKnownFolderPath(FOLDERID_ProgramFilesX86) +
            L"\\Mozilla Firefox\\firefox.exe (started 7 times, last on 2011-08-28 22:45 UTC)");
    // Run once, by its path on a share: FILETIME 0x01CB80AD46698890.
    EXPECT_EQ(Shown(ValueLayout::kProgramName, programs,
                    L"\\\\pbagebyyre\\JroQniFuner\\Sversbk Frghc 3.6.12.rkr"),
              L"\\\\controller\\WebDavShare\\Firefox Setup 3.6.12.exe (started 1 time, last on "
              L"2010-11-10 08:00 UTC)");
    // Explorer's own counters are not programs.
    EXPECT_EQ(Shown(ValueLayout::kProgramName, programs, L"HRZR_PGYFRFFVBA"),
              L"Explorer's counter UEME_CTLSESSION, not a program");
    EXPECT_EQ(Shown(ValueLayout::kProgramName, programs, L"HRZR_PGYPHNPbhag:pgbe"),
              L"Explorer's counter UEME_CTLCUACount:ctor, not a program");
}

// Every binary value of the hive's lists, damaged: what is shown is either
// nothing (the report then names the value) or readable.
TEST_F(CorpusHive, DamagedListsShowNothingOrReadableNames) {
    std::vector<std::string> samples;
    for (const auto& [key, content] : hive)
        for (const auto& [name, value] : content.values)
            if (value.type == REG_BINARY && IsListEntry(ValueLayout::kItemList, name))
                samples.emplace_back(value.data.begin(), value.data.end());
    ASSERT_GT(samples.size(), 80u);
    const ValueLayout layouts[] = {ValueLayout::kItemList, ValueLayout::kNameAndFolder,
                                   ValueLayout::kLeadingName, ValueLayout::kText};
    ForEachMutation(samples, 3000, 23000, [&](uint64_t seed, const std::string& bytes) {
        const std::vector<uint8_t> data(bytes.begin(), bytes.end());
        for (ValueLayout layout : layouts) {
            const std::wstring shown = ReadableValueText(layout, L"4", REG_BINARY, data);
            EXPECT_TRUE(shown.empty() || IsReadableText(shown)) << seed;
        }
    });
}

}  // namespace

}  // namespace veltrane
