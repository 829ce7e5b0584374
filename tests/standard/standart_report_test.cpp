// Reports of the table-driven plug-ins, built from small page and template
// files written by the test, so that every placeholder's result shows exactly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "probe_plugin.h"
#include "support/test_files.h"

namespace veltrane {

namespace {

using Engine = CElimAction;
using testing::HasSubstr;

// The page tree the plug-ins read, as the current directory for the test.
class PageTree {
public:
    PageTree() {
        const std::wstring shared = L"html\\English\\Plugins\\";
        Write(shared + L"Report.html",
              "<h>#plugin name#</h><thead>#column headers#</thead><tbody>#report items#</tbody>"
              "<foot>#total report#</foot>");
        Write(shared + L"ColumnHeader.html", "<th>#header#</th>");
        Write(shared + L"ReportItem.html", "<td>#item#</td>");
        for (const wchar_t* family : {L"Files", L"FilesFolders", L"RegValues", L"RegKeysValues"}) {
            Write(shared + family + L"TotalScan.html", "[found #items found#, #size#]");
            Write(shared + family + L"TotalFix.html",
                  "[removed #items removed# failed #items failed# of #items found#, #size#]");
        }
        // Column headers and row templates of each family, for a scan and for a clean.
        struct ScanAndFix {
            const wchar_t* name;
            const char* scan;
            const char* fix;
        };
        const ScanAndFix templates[] = {
            {L"FilesHeaderTemplates", "File name\nSize\n", "File name\nSize\nStatus\n"},
            {L"FilesFoldersHeaderTemplates", "Path\nItems\nSize\n",
             "Path\nItems\nRemoved\nSize\nStatus\n"},
            {L"RegValuesHeaderTemplates", "Key\nValue\n", "Key\nValue\nStatus\n"},
            {L"RegKeysValuesHeaderTemplates", "Key\nName\nItems\n",
             "Key\nName\nItems\nRemoved\nStatus\n"},
            {L"FilesTemplates", "#item#\n\n#size#\n", "#item#\n\n\n#size#\n#status#\n"},
            {L"FoldersTemplates", "#item#\n#subitems found#\n#size#\n",
             "#item#\n#subitems found#\n#subitems removed#\n#size#\n#status#\n"},
            {L"RegValuesTemplates", "#reg path#\n#reg name#\n\n",
             "#reg path#\n#reg name#\n\n\n#status#\n"},
            {L"RegKeysTemplates", "#reg path#\n#reg name#\n#subitems found#\n",
             "#reg path#\n#reg name#\n#subitems found#\n#subitems removed#\n#status#\n"},
        };
        for (const ScanAndFix& t : templates) {
            Write(shared + t.name + L"Scan.txt", t.scan);
            Write(shared + t.name + L"Fix.txt", t.fix);
        }
        Write(shared + L"res_Error.html", "E#id#");
        Write(shared + L"res_Reboot.html", "R#id#");
        Write(shared + L"res_Deleted.html", "D");
        Write(shared + L"res_Gone.html", "G");
        Write(shared + L"res_Cancelled.html", "N");
        Write(shared + L"no_items_found.html", "nothing found");
        Write(shared + L"no_items_erased.html", "nothing erased");
        Write(shared + L"PlgStdProbeReport\\name.html", "Probe &amp; <b>Co</b>");
        Write(shared + L"PlgStdProbeOwn\\name.html", "Own");
        Write(shared + L"PlgStdProbeOwn\\RegValuesHeaderTemplatesScan.txt", "Key\nValue\nData\n");
        Write(shared + L"PlgStdProbeOwn\\RegValuesTemplatesScan.txt",
              "#reg path#\n#reg name#\n#reg value#\n");
    }

private:
    void Write(const std::wstring& relative, const std::string& text) {
        WriteTestFile(folder_.Sub(relative), text);
    }

    ScopedTestFolder folder_{L"ReportPages"};
    ScopedProgramFolder programFolder_{folder_.Path()};
};

// Keeps the records the test puts into its description.
class FilledProbe : public ProbePlugin {
public:
    FilledProbe(CKernel& kernel, const wchar_t* id, ReportLayout layout)
        : ProbePlugin(kernel, id, layout) {}
    Result Scan() override { return kDone; }

    Engine::SFileRecord& File(const std::wstring& name, uint64_t size,
                              Engine::Status status = Engine::kFound) {
        if (Engine().fileEntries.empty()) Engine().fileEntries.emplace_back();
        Engine::SFileRecord record;
        record.name = name;
        record.size = size;
        record.subitemsFound = 1;
        record.status = status;
        Engine().fileEntries.back().found.push_back(record);
        return Engine().fileEntries.back().found.back();
    }
    Engine::SFileRecord& Folder(const std::wstring& name, uint32_t below, uint64_t size,
                                Engine::Status status = Engine::kFound) {
        Engine::SFileRecord& record = File(name, size, status);
        record.isFolder = true;
        record.subitemsFound = below;
        return record;
    }
    Engine::SRegRecord& Reg(const std::wstring& path, const std::wstring& name, bool isKey,
                            uint32_t below = 1, Engine::Status status = Engine::kFound) {
        if (Engine().regEntries.empty()) Engine().regEntries.emplace_back();
        Engine::SRegRecord record;
        record.regPath = path;
        record.regName = name;
        record.name = path + name;
        record.isKey = isKey;
        record.subitemsFound = below;
        record.status = status;
        Engine().regEntries.back().found.push_back(record);
        return Engine().regEntries.back().found.back();
    }

    std::wstring ScanReport() {
        MemoryHtmlElement element;
        EXPECT_EQ(BuildScanReport(element), ReportResult::kBuilt);
        return element.innerHtml;
    }
    std::wstring FixReport() {
        MemoryHtmlElement element;
        EXPECT_EQ(BuildFixReport(element), ReportResult::kBuilt);
        return element.innerHtml;
    }
};

class ReportTest : public testing::Test {
protected:
    FilledProbe& Make(CStandartPlugin::ReportLayout layout, const wchar_t* id = L"StdProbeReport") {
        probe_ = std::make_unique<FilledProbe>(bare.kernel, id, layout);
        return *probe_;
    }

    PageTree pages;
    BareKernel bare{{L"StdProbeReport", L"StdProbeOwn"}};
    std::unique_ptr<FilledProbe> probe_;
};

TEST_F(ReportTest, ScanReportIsBuiltOnlyAfterAScan) {
    FilledProbe& probe = Make(CStandartPlugin::kFiles);
    MemoryHtmlElement element;
    element.innerHtml = L"untouched";
    EXPECT_EQ(probe.BuildScanReport(element), ReportResult::kNoReport);
    EXPECT_EQ(element.innerHtml, L"untouched");
}

TEST_F(ReportTest, EmptyScanSaysNothingWasFound) {
    FilledProbe& probe = Make(CStandartPlugin::kFiles);
    ASSERT_TRUE(probe.ScanOnWorker());
    EXPECT_EQ(probe.ScanReport(),
              L"<h>Probe &amp; <b>Co</b></h><thead><th>File&nbsp;name</th><th>Size</th></thead>"
              L"<tbody>nothing found</tbody><foot>[found 0, 0 B]</foot>");
    EXPECT_EQ(probe.FixReport(),
              L"<h>Probe &amp; <b>Co</b></h><thead><th>File&nbsp;name</th><th>Size</th>"
              L"<th>Status</th></thead><tbody>nothing erased</tbody>"
              L"<foot>[removed 0 failed 0 of 0, 0 B]</foot>");
}

TEST_F(ReportTest, FilesLayoutHasNoFolderCells) {
    FilledProbe& probe = Make(CStandartPlugin::kFiles);
    probe.File(L"C:\\t\\a.txt", 1234);
    ASSERT_TRUE(probe.ScanOnWorker());
    EXPECT_THAT(probe.ScanReport(),
                HasSubstr(L"<tbody><tr>\n<td>C:\\t\\a.txt</td><td>1.23 KB</td></tr>\n</tbody>"));
}

TEST_F(ReportTest, FilesFoldersLayoutKeepsTheFolderCells) {
    FilledProbe& probe = Make(CStandartPlugin::kFilesFolders);
    probe.File(L"C:\\t\\a.txt", 1234);
    ASSERT_TRUE(probe.ScanOnWorker());
    EXPECT_THAT(probe.ScanReport(),
                HasSubstr(L"<thead><th>Path</th><th>Items</th><th>Size</th></thead>"
                          L"<tbody><tr>\n<td>C:\\t\\a.txt</td><td></td><td>1.23 KB</td>"
                          L"</tr>\n</tbody>"));
}

TEST_F(ReportTest, FoldersCountWhatIsBelowThem) {
    FilledProbe& probe = Make(CStandartPlugin::kFilesFolders);
    probe.Folder(L"C:\\t\\sub", 3, 1500);
    probe.File(L"C:\\t\\a.txt", 20);
    ASSERT_TRUE(probe.ScanOnWorker());
    EXPECT_EQ(probe.ScanReport(),
              L"<h>Probe &amp; <b>Co</b></h><thead><th>Path</th><th>Items</th><th>Size</th>"
              L"</thead><tbody>"
              L"<tr>\n<td>C:\\t\\sub</td><td>3</td><td>1.50 KB</td></tr>\n"
              L"<tr>\n<td>C:\\t\\a.txt</td><td></td><td>20 B</td></tr>\n"
              L"</tbody><foot>[found 5, 1.52 KB]</foot>");
    EXPECT_EQ(probe.GetScanSummary().items, 5u);
    EXPECT_EQ(probe.GetScanSummary().bytes, 1520u);
}

TEST_F(ReportTest, KeysAndValuesShareTheirColumns) {
    FilledProbe& probe = Make(CStandartPlugin::kRegKeysValues);
    const std::wstring path = L"HKEY_CURRENT_USER\\Software\\X\\";
    probe.Reg(path, L"", false);
    probe.Reg(path, L"child", true, 4);
    probe.Reg(path, L"v", false);
    ASSERT_TRUE(probe.ScanOnWorker());
    EXPECT_EQ(probe.ScanReport(),
              L"<h>Probe &amp; <b>Co</b></h><thead><th>Key</th><th>Name</th><th>Items</th>"
              L"</thead><tbody>"
              L"<tr>\n<td>" +
                  path +
                  L"</td><td></td><td></td></tr>\n"
                  L"<tr>\n<td>" +
                  path +
                  L"</td><td>child</td><td>4</td></tr>\n"
                  L"<tr>\n<td>" +
                  path +
                  L"</td><td>v</td><td></td></tr>\n"
                  L"</tbody><foot>[found 7, 0 B]</foot>");
}

TEST_F(ReportTest, ValueDataIsShownOnlyWhenThePluginShowsIt) {
    const std::wstring path = L"HKEY_CURRENT_USER\\Software\\TypedURLs\\";
    FilledProbe& hidden = Make(CStandartPlugin::kRegValues, L"StdProbeOwn");
    hidden.Reg(path, L"url1", false).valueData = L"http://a.example/";
    ASSERT_TRUE(hidden.ScanOnWorker());
    // The plug-in's own templates come before the shared ones.
    EXPECT_NE(hidden.ScanReport().find(L"<th>Data</th></thead><tbody><tr>\n<td>" + path +
                                       L"</td><td>url1</td><td>#reg value#</td></tr>"),
              std::wstring::npos);

    FilledProbe& shown = Make(CStandartPlugin::kRegValues, L"StdProbeOwn");
    shown.SetValueFlags({.showData = true});
    shown.Reg(path, L"url1", false).valueData = L"http://a.example/";
    ASSERT_TRUE(shown.ScanOnWorker());
    EXPECT_NE(shown.ScanReport().find(L"<td>url1</td><td>http://a.example/</td>"),
              std::wstring::npos);
}

TEST_F(ReportTest, TextFromTheMachineIsEscaped) {
    FilledProbe& probe = Make(CStandartPlugin::kRegValues, L"StdProbeOwn");
    probe.SetValueFlags({.showData = true});
    auto& record = probe.Reg(L"HKEY_CURRENT_USER\\A&B\\", L"<img src=x>", false);
    record.valueData = L"\"quoted\" 'single' #size# #status#";
    ASSERT_TRUE(probe.ScanOnWorker());
    std::wstring report = probe.ScanReport();
    EXPECT_NE(report.find(L"<td>HKEY_CURRENT_USER\\A&amp;B\\</td><td>&lt;img src=x&gt;</td>"
                          L"<td>&quot;quoted&quot; &#39;single&#39; &#35;size&#35; "
                          L"&#35;status&#35;</td>"),
              std::wstring::npos)
        << report;
    EXPECT_EQ(report.find(L"<img"), std::wstring::npos);
}

// Totals count what the clean removed and freed now: a deferred file frees
// nothing yet, and a file gone before the clean was neither removed nor freed.
TEST_F(ReportTest, CleanReportShowsEachStatusWithNumberedErrorsAndTotals) {
    FilledProbe& probe = Make(CStandartPlugin::kFilesFolders);
    probe.File(L"C:\\t\\gone.tmp", 1000, Engine::kRemoved).removedSize = 1000;
    probe.File(L"C:\\t\\busy.tmp", 500, Engine::kDeferred);
    auto& folder = probe.Folder(L"C:\\t\\sub", 3, 300, Engine::kFailed);
    folder.subitemsRemoved = 1;
    folder.removedSize = 100;
    probe.File(L"C:\\t\\later.tmp", 7, Engine::kFound);
    auto& done = probe.Folder(L"C:\\t\\done", 2, 50, Engine::kRemoved);
    done.subitemsRemoved = 1;  // the other was gone already
    done.removedSize = 20;
    probe.File(L"C:\\t\\vanished.tmp", 64, Engine::kGone);
    EXPECT_EQ(probe.FixReport(),
              L"<h>Probe &amp; <b>Co</b></h><thead><th>Path</th><th>Items</th><th>Removed</th>"
              L"<th>Size</th><th>Status</th></thead><tbody>"
              L"<tr>\n<td>C:\\t\\gone.tmp</td><td></td><td></td><td>1.00 KB</td><td>D</td></tr>\n"
              L"<tr>\n<td>C:\\t\\busy.tmp</td><td></td><td></td><td>0.50 KB</td><td>R1</td></tr>\n"
              L"<tr>\n<td>C:\\t\\sub</td><td>3</td><td>1</td><td>300 B</td><td>E2</td></tr>\n"
              L"<tr>\n<td>C:\\t\\later.tmp</td><td></td><td></td><td>7 B</td><td>N</td></tr>\n"
              L"<tr>\n<td>C:\\t\\done</td><td>2</td><td>1</td><td>50 B</td><td>D</td></tr>\n"
              L"<tr>\n<td>C:\\t\\vanished.tmp</td><td></td><td></td><td>64 B</td><td>G</td></tr>\n"
              L"</tbody><foot>[removed 5 failed 6 of 11, 1.12 KB]</foot>");
}

TEST_F(ReportTest, FailedRowsLinkToTheirOwnItemErrors) {
    FilledProbe& probe = Make(CStandartPlugin::kRegKeysValues);
    const std::wstring path = L"HKEY_CURRENT_USER\\Software\\X\\";
    // The key itself is listed first but cleaned last, so its error came last.
    probe.Reg(path, L"", false, 1, Engine::kFailed).errorNumber = 3;
    auto& child = probe.Reg(path, L"child", true, 4, Engine::kFailed);
    child.errorNumber = 1;
    child.subitemsRemoved = 2;
    probe.Reg(path, L"v1", false, 1, Engine::kRemoved);
    probe.Reg(path, L"v2", false, 1, Engine::kFailed).errorNumber = 2;
    std::wstring report = probe.FixReport();
    EXPECT_NE(report.find(L"<td>" + path + L"</td><td></td><td></td><td></td><td>E3</td>"),
              std::wstring::npos)
        << report;
    EXPECT_NE(report.find(L"<td>child</td><td>4</td><td>2</td><td>E1</td>"), std::wstring::npos);
    EXPECT_NE(report.find(L"<td>v1</td><td></td><td></td><td>D</td>"), std::wstring::npos);
    EXPECT_NE(report.find(L"<td>v2</td><td></td><td></td><td>E2</td>"), std::wstring::npos);
    EXPECT_NE(report.find(L"[removed 3 failed 5 of 8, 0 B]"), std::wstring::npos);
}

TEST_F(ReportTest, WithFilesAndValuesTheFileRowsAreTheBodyAndBothCount) {
    FilledProbe& probe = Make(CStandartPlugin::kRegValues);
    probe.File(L"C:\\t\\busy.tmp", 5, Engine::kDeferred);
    const std::wstring path = L"HKEY_CURRENT_USER\\Software\\X\\";
    probe.Reg(path, L"v", false, 1, Engine::kFailed);
    std::wstring report = probe.FixReport();
    EXPECT_NE(report.find(L"<td>C:\\t\\busy.tmp</td><td>5 B</td><td>R1</td>"), std::wstring::npos)
        << report;
    EXPECT_EQ(report.find(L"<td>v</td>"), std::wstring::npos);
    EXPECT_NE(report.find(L"[removed 1 failed 1 of 2, 0 B]"), std::wstring::npos);
    probe.Engine().fileEntries.clear();
    report = probe.FixReport();
    EXPECT_NE(report.find(L"<td>v</td><td>E1</td>"), std::wstring::npos) << report;
}

TEST_F(ReportTest, HiddenRecordsAndAbsentEntriesAreNotShown) {
    FilledProbe& probe = Make(CStandartPlugin::kFiles);
    probe.File(L"C:\\t\\hidden.tmp", 5, Engine::kHidden);
    probe.Engine().fileEntries.emplace_back();
    probe.File(L"C:\\t\\stale.tmp", 5);
    probe.Engine().fileEntries.back().absent = true;
    ASSERT_TRUE(probe.ScanOnWorker());
    EXPECT_NE(probe.ScanReport().find(L"<tbody>nothing found</tbody>"), std::wstring::npos);
    EXPECT_EQ(probe.GetScanSummary().items, 0u);
}

}  // namespace

}  // namespace veltrane
