// Explorer's lists in a real Windows 7 user's hive (corpus file
// windows/reg/ntuser-win7.reg, made from plaso's test data NTUSER-WIN7.DAT;
// origin, commit and licence in the corpus's MANIFEST.md), imported into the
// sandbox's HKEY_CURRENT_USER with regedit, then scanned and cleaned by the
// installed program. The truth is the export itself: which values each list
// holds, and which values beside the lists must stay.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "corpus/reg_export.h"
#include "corpus/unattended_run.h"
#include "support/child_process.h"
#include "support/corpus.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kHive[] = L"windows\\reg\\ntuser-win7.reg";
const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
const std::wstring kShell = L"Software\\Microsoft\\Windows\\Shell\\";

// One list a plug-in cleans, as a key of the export. Its values go; with
// `subKeys` its sub-keys go whole; with `keyGoes` the key itself too. The
// report shows every value by a row of its own, or with `subKeysAsRows`
// the sub-keys as rows with what they hold.
struct TraceList {
    const wchar_t* plugin;
    std::wstring key;
    bool subKeys = false;
    bool keyGoes = false;
    bool subKeysAsRows = false;
};

const std::vector<TraceList>& Lists() {
    static const std::vector<TraceList> lists = {
        {L"ExplorerRecentDocs", kExplorer + L"RecentDocs", true},
        {L"OpenSavePidlHistory", kExplorer + L"ComDlg32\\OpenSavePidlMRU", true},
        {L"OpenSavePidlHistory", kExplorer + L"ComDlg32\\LastVisitedPidlMRU", true, true},
        {L"OpenSavePidlHistory", kExplorer + L"ComDlg32\\CIDSizeMRU", true, true},
        {L"OpenSavePidlHistory", kExplorer + L"ComDlg32\\FirstFolder", true, true},
        {L"ExplorerTypedPaths", kExplorer + L"TypedPaths"},
        {L"ExplorerSearchHistory", kExplorer + L"WordWheelQuery"},
        {L"UserAssist", kExplorer + L"UserAssist\\{CEBFF5CD-ACE2-4F4F-9178-9926F41749EA}\\Count"},
        {L"UserAssist", kExplorer + L"UserAssist\\{F4E57C4B-2036-45F0-A9AB-443BCFE33D9F}\\Count"},
        {L"ShellBags", kShell + L"BagMRU", true, true},
        {L"ShellBags", kShell + L"Bags", true, true, true},
    };
    return lists;
}

const TraceList* ListOf(const std::wstring& key) {
    for (const TraceList& list : Lists())
        if (key == list.key || (list.subKeys && key.starts_with(list.key + L"\\"))) return &list;
    return nullptr;
}

bool KeyGoes(const TraceList& list, const std::wstring& key) {
    return list.keyGoes || key != list.key;
}

std::wstring Shown(const std::wstring& key) { return L"HKEY_CURRENT_USER\\" + key + L"\\"; }

bool SameData(const std::wstring& key, const std::wstring& name, const RegExportValue& value) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                     nullptr, &size) != ERROR_SUCCESS)
        return false;
    std::vector<uint8_t> data(size);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                     data.data(), &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    return type == value.type && data == value.data;
}

// The export imported with regedit; what it added goes again at the end.
class ImportedHive {
public:
    explicit ImportedHive(const RegExport& hive) : hive_(hive) {
        for (const auto& [key, content] : hive_)
            if (KeyExists(HKEY_CURRENT_USER, key)) existing_.push_back(key);
        const ChildResult child = RunChild(L"regedit.exe /S \"" + CorpusFile(kHive) + L"\"");
        imported_ = child.started && child.exitCode == 0;
    }
    ~ImportedHive() {
        // Sub-keys come after their parents in the export's order.
        for (auto key = hive_.rbegin(); key != hive_.rend(); ++key)
            if (std::ranges::find(existing_, key->first) == existing_.end())
                DeleteTree(HKEY_CURRENT_USER, key->first);
    }
    bool Imported() const { return imported_; }

private:
    const RegExport& hive_;
    std::vector<std::wstring> existing_;
    bool imported_ = false;
};

// A row of the plug-in's report for the value: its own row, or the row of
// a key above it that the list shows whole.
bool HasRow(const std::vector<ReportRow>& rows, const TraceList& list, const std::wstring& key) {
    return std::ranges::any_of(rows, [&](const ReportRow& row) {
        if (row.empty()) return false;
        if (row[0] == Shown(key)) return true;
        for (std::wstring below = key; below.size() > list.key.size();) {
            const size_t slash = below.rfind(L'\\');
            const std::wstring parent = below.substr(0, slash);
            if (row.size() > 1 && row[0] == Shown(parent) && row[1] == below.substr(slash + 1))
                return true;
            below = parent;
        }
        return false;
    });
}

TEST(CorpusWindowsHive, ExplorerListsAreFoundByReadableNamesAndCleaned) {
    SKIP_WITHOUT_CORPUS_FILE(kHive);
    const RegExport hive = ReadRegExport(CorpusFile(kHive));
    ASSERT_FALSE(hive.empty());
    ImportedHive imported(hive);
    ASSERT_TRUE(imported.Imported());
    // The import is faithful: every value of the export, byte for byte.
    for (const auto& [key, content] : hive)
        for (const auto& [name, value] : content.values)
            ASSERT_TRUE(SameData(key, name, value)) << ToUtf8(key + L" " + name);

    std::vector<std::wstring> ids;
    for (const TraceList& list : Lists())
        if (std::ranges::find(ids, list.plugin) == ids.end()) ids.push_back(list.plugin);

    const UnattendedRun scan = RunUnattended(L"/scan", ids);
    ASSERT_EQ(scan.exitCode, 0);
    std::map<const TraceList*, size_t> inArtifact, found, left;
    for (const auto& [key, content] : hive) {
        const TraceList* list = ListOf(key);
        if (!list) continue;
        const std::vector<ReportRow>& rows = scan.rows.at(list->plugin);
        inArtifact[list] += content.values.size();
        if (HasRow(rows, *list, key)) found[list] += content.values.size();
        // A list shown value by value has a row for each.
        if (list->key == key || !list->subKeysAsRows) {
            const auto rowsOfKey = std::ranges::count_if(
                rows, [&](const ReportRow& row) { return row[0] == Shown(key); });
            EXPECT_GE(static_cast<size_t>(rowsOfKey), content.values.size()) << ToUtf8(key);
        }
    }
    for (const std::wstring& id : ids) {
        SCOPED_TRACE(ToUtf8(id));
        EXPECT_EQ(scan.plugins.at(ToUtf8(id))["result"], 0);
        EXPECT_TRUE(IsReadableReport(scan.reports.at(id)));
        // Every entry of the real lists is read: none is shown as unreadable.
        for (const ReportRow& row : scan.rows.at(id))
            for (const std::wstring& cell : row) {
                EXPECT_EQ(cell.find(L"unreadable item"), std::wstring::npos) << ToUtf8(cell);
                EXPECT_FALSE(cell.starts_with(L"#") && cell.ends_with(L"#")) << ToUtf8(cell);
            }
    }
    // Names worked out by hand from the bytes (see tests/explorer/shell_items_corpus_test.cpp).
    auto shows = [&](const wchar_t* id, const std::wstring& text) {
        return std::ranges::any_of(scan.rows.at(id), [&](const ReportRow& row) {
            return std::ranges::find(row, text) != row.end();
        });
    };
    EXPECT_TRUE(shows(L"OpenSavePidlHistory",
                      L"C:\\Users\\nfury\\Documents\\Alloy Research\\StarFury.zip"));
    EXPECT_TRUE(shows(L"ShellBags", L"\\\\controller\\WebDavShare"));
    EXPECT_TRUE(shows(L"ShellBags", L"Network\\controller"));

    const UnattendedRun clean = RunUnattended(L"/clean", ids);
    EXPECT_EQ(clean.exitCode, 0);
    for (const std::wstring& id : ids) {
        EXPECT_EQ(clean.plugins.at(ToUtf8(id))["result"], 0) << ToUtf8(id);
        EXPECT_TRUE(IsReadableReport(clean.reports.at(id))) << ToUtf8(id);
    }
    for (const auto& [key, content] : hive) {
        const TraceList* list = ListOf(key);
        for (const auto& [name, value] : content.values) {
            const bool stays = ValueExists(HKEY_CURRENT_USER, key, name);
            // Beside the lists (UserAssist's Version): untouched.
            if (!list) {
                EXPECT_TRUE(stays && SameData(key, name, value)) << ToUtf8(key + L" " + name);
            } else if (stays) {
                ++left[list];
                ADD_FAILURE() << "left after the clean: " << ToUtf8(key + L" " + name);
            }
        }
        const bool keyStays = !list || !KeyGoes(*list, key);
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, key), keyStays) << ToUtf8(key);
    }
    for (const TraceList& list : Lists())
        PrintCorpusResult(L"ntuser-win7.reg " + list.key.substr(list.key.rfind(L'\\') + 1) + L" (" +
                              list.plugin + L")",
                          inArtifact[&list], found[&list], left[&list]);
}

}  // namespace

}  // namespace veltrane
