#include "ui/composition.h"

#include <gtest/gtest.h>

#include "engine/page_reader.h"
#include "recording_document.h"
#include "support/test_files.h"
#include "support/test_plugin.h"

namespace veltrane {

namespace {

// Drives the composition the way the main window does.
class ComposingView : public RecordingView {
public:
    bool RecomposeLayout() override {
        RecordingView::RecomposeLayout();
        return composition && composition->RecomposeLayout();
    }
    void PrepareProcessArea() override {
        RecordingView::PrepareProcessArea();
        if (composition) composition->RenderProcessArea();
    }
    void SetRowStatus(const std::wstring& id, const std::wstring& text) override {
        RecordingView::SetRowStatus(id, text);
        if (composition) composition->SetRowStatus(id, text);
    }
    void ShowProgress(const std::wstring& text, int step, int stepCount) override {
        RecordingView::ShowProgress(text, step, stepCount);
        if (composition) composition->ShowProgress(text, step, stepCount);
    }
    CComposition* composition = nullptr;
};

// The entry of one plug-in in the list markup.
std::wstring ItemOf(const std::wstring& html, const std::wstring& id) {
    size_t at = html.find(L"pluginid=\"" + id + L"\"");
    if (at == std::wstring::npos) return {};
    size_t begin = html.rfind(L"<li", at);
    size_t end = html.find(L"</li>", at);
    return html.substr(begin, end - begin);
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

std::wstring Language(const std::wstring& name) { return ReadPage(L"html/English/" + name); }

class Composition : public testing::Test {
protected:
    void SetUp() override { ForgetKernelSettings(); }
    void TearDown() override {
        kernel.reset();
        ForgetStoredFlags(rows);
        ForgetKernelSettings();
    }

    // UcB is an "IE & AOL" plug-in and the heaviest; UcC starts unchecked.
    void Start() {
        ForgetStoredFlags(rows);
        kernel = std::make_unique<CKernel>(&view, MakeTestFactory(rows, plugins));
        composition = std::make_unique<CComposition>(*kernel);
        view.composition = composition.get();
        view.Attach(kernel.get());
        composition->SetDocument(&document);
    }
    bool RunTo(CKernel::Mode mode) {
        return view.PumpUntil([&] { return kernel->GetMode() == mode; });
    }
    std::wstring Html(const std::wstring& id) { return document.Get(id).innerHtml; }

    std::vector<TestPluginRow> rows = {
        {.id = L"UcA"},
        {.id = L"UcB", .category = PluginCategory::kIeAndAol, .weight = 5},
        {.id = L"UcC", .weight = 1, .enabled = false}};
    RecordingDocument document{{L"Layout"}};
    ComposingView view;
    std::map<std::wstring, TestPlugin*> plugins;
    std::unique_ptr<CKernel> kernel;
    std::unique_ptr<CComposition> composition;
};

class ShippedPages : public Composition {
    ScopedProgramFolder programFolder;
};

TEST_F(ShippedPages, IdleLayoutListsPluginsByCategoryWithTheirButtons) {
    Start();
    ASSERT_TRUE(kernel->SetMode(CKernel::kIdle).Done());

    const std::wstring list = Html(L"PluginsArea");
    // Category order comes from the fragment, plug-in order from the list.
    size_t a = list.find(L"\"UcA\""), b = list.find(L"\"UcB\""), c = list.find(L"\"UcC\"");
    ASSERT_NE(a, std::wstring::npos);
    ASSERT_NE(c, std::wstring::npos);
    EXPECT_LT(b, a);
    EXPECT_LT(a, c);
    EXPECT_FALSE(Contains(list, L"#System plugins#"));
    EXPECT_FALSE(Contains(list, L"#IE & AOL plugins#"));
    EXPECT_TRUE(Contains(ItemOf(list, L"UcA"), L"checked"));
    EXPECT_FALSE(Contains(ItemOf(list, L"UcC"), L"checked"));
    EXPECT_FALSE(Contains(list, L"disabled"));
    EXPECT_FALSE(Contains(list, L"selected"));
    EXPECT_TRUE(Contains(list, L"cid=\"btn_checkall\""));

    EXPECT_TRUE(Contains(Html(L"ButtonsControlArea"), L"cid=\"btn_scan\""));
    EXPECT_TRUE(Contains(Html(L"ButtonsFixedArea"), Language(L"btn_hslanguage.html")));
    EXPECT_TRUE(Contains(Html(L"ButtonsFixedArea"), Language(L"btn_scheduler.html")));
    EXPECT_TRUE(Contains(Html(L"TabsArea"), Language(L"tab_settings_active.html")));
    EXPECT_TRUE(Contains(Html(L"TabsArea"), Language(L"tab_report.html")));
    EXPECT_EQ(Html(L"HintText"), Language(L"hint_normal.html"));
    EXPECT_TRUE(document.Has(L"InfoArea"));
    EXPECT_FALSE(document.Has(L"ProcessArea"));

    // Nothing checked: the scan button is the disabled one.
    for (auto& [id, plugin] : plugins) plugin->SetEnabled(false);
    composition->RenderButtonsControlArea();
    EXPECT_FALSE(Contains(Html(L"ButtonsControlArea"), L"cid=\"btn_scan\""));
    EXPECT_TRUE(Contains(Html(L"ButtonsControlArea"), Language(L"btn_scan-disabled.html")));
}

TEST_F(ShippedPages, RunsShowRowStatesSelectionAndTheRightReport) {
    Start();
    plugins[L"UcA"]->scan = [](TestPlugin&) { return CPlugin::kFailed; };
    kernel->SetMode(CKernel::kIdle);
    ASSERT_TRUE(kernel->HandleCommand(L"btn_scan"));
    EXPECT_TRUE(Contains(Html(L"ButtonsFixedArea"), Language(L"btn_scheduler-disabled.html")));
    EXPECT_FALSE(Contains(Html(L"ButtonsFixedArea"), Language(L"btn_hslanguage.html")));
    const std::wstring table = Html(L"ProcessArea");
    EXPECT_TRUE(Contains(table, L"ProcessTableRowStatus_UcA"));
    EXPECT_TRUE(Contains(table, L"ProcessTableRowStatus_UcB"));
    EXPECT_FALSE(Contains(table, L"ProcessTableRowStatus_UcC"));
    EXPECT_TRUE(Contains(ItemOf(Html(L"PluginsArea"), L"UcA"), L"disabled"));
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));

    const RecordedElement& failed = document.Get(L"ProcessTableRowStatus_UcA");
    EXPECT_EQ(failed.innerText, Language(L"state_failed.html"));
    EXPECT_EQ(failed.attributes.at(L"data-state"), L"failed");
    EXPECT_EQ(document.Get(L"ProcessTableRowStatus_UcB").attributes.at(L"data-state"), L"finished");

    // Mode 2: only plug-ins of the scan can be ticked; the heaviest is shown.
    std::wstring list = Html(L"PluginsArea");
    EXPECT_FALSE(Contains(ItemOf(list, L"UcA"), L"disabled"));
    EXPECT_TRUE(Contains(ItemOf(list, L"UcC"), L"disabled"));
    EXPECT_TRUE(Contains(ItemOf(list, L"UcB"), L"class=\"selected\""));
    EXPECT_FALSE(Contains(ItemOf(list, L"UcA"), L"selected"));
    EXPECT_EQ(Html(L"DetailsArea"), L"<p>scan of UcB</p>");
    EXPECT_TRUE(Contains(Html(L"TabsArea"), Language(L"tab_cleanup_active.html")));
    // Ticked after the scan, still not part of it.
    plugins[L"UcC"]->SetEnabled(true);
    composition->RenderPluginsArea();
    EXPECT_TRUE(Contains(ItemOf(Html(L"PluginsArea"), L"UcC"), L"disabled"));
    plugins[L"UcC"]->SetEnabled(false);

    // UcA is kept: in mode 4 it shows its scan report, UcB its clean report.
    plugins[L"UcA"]->SetEnabled(false);
    ASSERT_TRUE(kernel->HandleCommand(L"btn_clean"));
    EXPECT_EQ(view.processAreaPrepared, 1);
    EXPECT_FALSE(Contains(Html(L"ProcessArea"), L"ProcessTableRowStatus_UcA"));
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    list = Html(L"PluginsArea");
    EXPECT_TRUE(Contains(ItemOf(list, L"UcA"), L"disabled"));
    EXPECT_TRUE(Contains(ItemOf(list, L"UcB"), L"disabled"));
    EXPECT_EQ(Html(L"DetailsArea"), L"<p>clean of UcB</p>");
    EXPECT_TRUE(Contains(Html(L"TabsArea"), Language(L"tab_report_active.html")));
    kernel->SetCurrentPluginId(L"UcA");
    composition->RenderDetailsArea();
    EXPECT_EQ(Html(L"DetailsArea"), L"<p>scan of UcA</p>");
}

TEST_F(ShippedPages, ProgressShowsNamesFromTheMachineAsText) {
    Start();
    plugins[L"UcB"]->scan = [](TestPlugin& self) {
        self.SetProgress(L"C:\\<img src=x onerror=alert(1)>#stepcount#.tmp");
        return CPlugin::kDone;
    };
    kernel->SetMode(CKernel::kIdle);
    ASSERT_TRUE(kernel->HandleCommand(L"btn_scan"));
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    view.PumpUntil([&] { return !view.progress.empty(); }, 2000);
    ASSERT_FALSE(view.progress.empty());
    const std::wstring area = document.Get(L"ResultsArea").innerHtml;
    EXPECT_TRUE(Contains(area, L"C:\\&lt;img src=x onerror=alert(1)&gt;&#35;stepcount&#35;.tmp"))
        << area;
    EXPECT_FALSE(Contains(area, L"<img"));
}

TEST_F(Composition, FragmentsDecideWhatAppears) {
    ScopedTestFolder folder(L"UiComposition");
    WriteTestFile(folder.Sub(L"html\\Common\\layout_normal.html"),
                  "<div id=\"PluginsArea\"></div><div id=\"HintText\"></div>");
    // No placeholder for "IE & AOL plugins", one for a category without plug-ins.
    WriteTestFile(folder.Sub(L"html\\Common\\plugins_area_first.html"),
                  "[#System plugins#][#Opera plugins#]");
    WriteTestFile(folder.Sub(L"html\\Common\\plugins_item.html"),
                  "<#pluginid#|#pluginenabled#|#disabled#|#selected#>");
    WriteTestFile(folder.Sub(L"html\\English\\hint_normal.html"), "hint");
    ScopedProgramFolder pages(folder.Path());
    Start();

    ASSERT_TRUE(composition->RecomposeLayout());
    EXPECT_EQ(Html(L"PluginsArea"), L"[<UcA|checked||><UcC|||>][#Opera plugins#]");
    EXPECT_EQ(Html(L"HintText"), L"hint");
    // Areas the layout does not hold are looked for and skipped.
    EXPECT_TRUE(document.lookups.count(L"TabsArea"));
    EXPECT_EQ(document.Get(L"TabsArea").writes, 0);
    EXPECT_EQ(document.Get(L"ButtonsControlArea").writes, 0);

    composition->SetRowStatus(L"Unknown", L"Finished");
    EXPECT_FALSE(document.lookups.count(L"ProcessTableRowStatus_Unknown"));

    RecordingDocument empty{{}};
    composition->SetDocument(&empty);
    EXPECT_FALSE(composition->RecomposeLayout());
}

}  // namespace

}  // namespace veltrane
