#include "ui/composition.h"

#include <map>

#include "engine/page_reader.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

const wchar_t* const kLayoutFiles[] = {L"layout_normal.html", L"layout_scan.html",
                                       L"layout_results.html", L"layout_erase.html",
                                       L"layout_results.html"};
const wchar_t* const kControlButtonFiles[] = {L"buttons_normal.html", L"buttons_scan.html",
                                              L"buttons_scan_results.html", L"buttons_erase.html",
                                              L"buttons_erase_results.html"};
const wchar_t* const kHintFiles[] = {L"hint_normal.html", L"hint_scan.html",
                                     L"hint_scan_results.html", L"hint_erase.html",
                                     L"hint_erase_results.html"};

bool IsKnownMode(CKernel::Mode mode) {
    return mode >= CKernel::kIdle && mode <= CKernel::kCleanFinished;
}

bool IsRunning(CKernel::Mode mode) {
    return mode == CKernel::kScanning || mode == CKernel::kCleaning;
}

}  // namespace

bool CComposition::RecomposeLayout() {
    const CKernel::Mode mode = kernel_.GetMode();
    auto layout = Find(L"Layout");
    if (!layout || !IsKnownMode(mode)) return false;
    layout->SetInnerHtml(ReadCommon(kLayoutFiles[mode]));

    RenderPluginsArea();
    RenderTabsArea();
    RenderButtonsFixedArea();
    RenderButtonsControlArea();
    RenderProcessArea();
    RenderDetailsArea();
    RenderHint();
    return true;
}

void CComposition::RenderPluginsArea() {
    auto area = Find(L"PluginsArea");
    if (!area) return;
    const CKernel::Mode mode = kernel_.GetMode();
    std::wstring text =
        ReadCommon(mode == CKernel::kIdle ? L"plugins_area_first.html" : L"plugins_area.html");
    const std::wstring itemTemplate = ReadCommon(L"plugins_item.html");

    std::map<std::wstring, std::wstring> byCategory;
    for (const auto& plugin : kernel_.GetPlugins()) {
        bool disabled = mode != CKernel::kIdle;
        if (mode == CKernel::kScanFinished) disabled = !plugin->IsInLastScan();

        std::wstring item = itemTemplate;
        ReplaceAll(item, L"#pluginid#", plugin->GetId());
        ReplaceAll(item, L"#pluginname#", plugin->GetNameHtml());
        ReplaceAll(item, L"#pluginenabled#", plugin->IsEnabled() ? L"checked" : L"");
        ReplaceAll(item, L"#disabled#", disabled ? L"disabled" : L"");
        ReplaceAll(item, L"#selected#",
                   plugin->GetId() == kernel_.GetCurrentPluginId() ? L"class=\"selected\"" : L"");
        byCategory[plugin->GetCategoryName()] += item;
    }
    for (const auto& [category, items] : byCategory)
        ReplaceAll(text, L"#" + category + L"#", items);
    area->SetInnerHtml(text);
}

void CComposition::RenderTabsArea() {
    auto area = Find(L"TabsArea");
    if (!area) return;
    const CKernel::Mode mode = kernel_.GetMode();
    const bool settings = mode == CKernel::kIdle || mode == CKernel::kScanning;
    const bool cleanup = mode == CKernel::kScanFinished || mode == CKernel::kCleaning;
    const bool report = mode == CKernel::kCleanFinished;

    std::wstring text = ReadCommon(L"tabs_area.html");
    ReplaceAll(text, L"#tab_settings#",
               ReadLanguage(settings ? L"tab_settings_active.html" : L"tab_settings.html"));
    ReplaceAll(text, L"#tab_cleanup#",
               ReadLanguage(cleanup ? L"tab_cleanup_active.html" : L"tab_cleanup.html"));
    ReplaceAll(text, L"#tab_report#",
               ReadLanguage(report ? L"tab_report_active.html" : L"tab_report.html"));
    area->SetInnerHtml(text);
}

void CComposition::RenderButtonsFixedArea() {
    auto area = Find(L"ButtonsFixedArea");
    if (!area) return;
    const CKernel::Mode mode = kernel_.GetMode();
    const bool running = IsRunning(mode);

    std::wstring text = ReadCommon(L"buttons_fixed.html");
    ReplaceAll(text, L"#btn_help#", ReadLanguage(L"btn_help.html"));
    ReplaceAll(text, L"#btn_about#", ReadLanguage(L"btn_about.html"));
    ReplaceAll(text, L"#btn_scheduler#",
               ReadLanguage(running ? L"btn_scheduler-disabled.html" : L"btn_scheduler.html"));
    ReplaceAll(text, L"#btn_statistics#",
               ReadLanguage(running ? L"btn_statistics-disabled.html" : L"btn_statistics.html"));
    ReplaceAll(text, L"#btn_hslanguage#",
               mode == CKernel::kIdle ? ReadLanguage(L"btn_hslanguage.html") : std::wstring());
    area->SetInnerHtml(text);
}

void CComposition::RenderButtonsControlArea() {
    auto area = Find(L"ButtonsControlArea");
    const CKernel::Mode mode = kernel_.GetMode();
    if (!area || !IsKnownMode(mode)) return;
    const bool checked = AnyPluginChecked();

    std::wstring text = ReadCommon(kControlButtonFiles[mode]);
    ReplaceAll(text, L"#btn_scan#",
               ReadLanguage(checked ? L"btn_scan.html" : L"btn_scan-disabled.html"));
    ReplaceAll(text, L"#btn_clean#",
               ReadLanguage(checked ? L"btn_clean.html" : L"btn_clean-disabled.html"));
    ReplaceAll(text, L"#btn_cancel#", ReadLanguage(L"btn_cancel.html"));
    ReplaceAll(text, L"#btn_back#", ReadLanguage(L"btn_back.html"));
    ReplaceAll(text, L"#btn_abort#", ReadLanguage(L"btn_abort.html"));
    ReplaceAll(text, L"#btn_finish#", ReadLanguage(L"btn_finish.html"));
    area->SetInnerHtml(text);
}

void CComposition::RenderProcessArea() {
    auto area = Find(L"ProcessArea");
    if (!area) return;
    const std::wstring rowTemplate = ReadCommon(L"process_table_item.html");
    std::wstring rows;
    for (const auto& plugin : kernel_.GetPlugins()) {
        if (!plugin->IsEnabled()) continue;
        std::wstring row = rowTemplate;
        ReplaceAll(row, L"#pluginid#", plugin->GetId());
        // The name shows before the plug-in's turn comes; its status fills it again.
        ReplaceAll(row, L"#pluginname#", plugin->GetNameHtml());
        rows += row;
    }
    std::wstring text = ReadCommon(L"process_table.html");
    ReplaceAll(text, L"#rows#", rows);
    area->SetInnerHtml(text);
}

void CComposition::RenderDetailsArea() {
    const CKernel::Mode mode = kernel_.GetMode();
    if (mode != CKernel::kScanFinished && mode != CKernel::kCleanFinished) return;
    CPlugin* plugin = kernel_.FindPlugin(kernel_.GetCurrentPluginId());
    if (!plugin) return;
    auto area = Find(L"DetailsArea");
    if (!area) return;
    if (mode == CKernel::kCleanFinished && plugin->GetRunState() == CPlugin::kCleaned)
        plugin->BuildFixReport(*area);
    else
        plugin->BuildScanReport(*area);
}

void CComposition::RenderHint() {
    auto area = Find(L"HintText");
    const CKernel::Mode mode = kernel_.GetMode();
    if (area && IsKnownMode(mode)) area->SetInnerHtml(ReadLanguage(kHintFiles[mode]));
}

void CComposition::SetRowStatus(const std::wstring& pluginId, const std::wstring& text) {
    CPlugin* plugin = kernel_.FindPlugin(pluginId);
    if (!plugin) return;
    if (auto name = Find(L"ProcessTableRowName_" + pluginId))
        name->SetInnerText(plugin->GetNameHtml());
    auto status = Find(L"ProcessTableRowStatus_" + pluginId);
    if (!status) return;
    status->SetInnerText(text);
    // The texts come from the state pages; the page styles a row by which one it shows.
    const wchar_t* state = L"";
    if (text == ReadLanguage(L"state_processing.html"))
        state = L"processing";
    else if (text == ReadLanguage(L"state_finished.html"))
        state = L"finished";
    else if (text == ReadLanguage(L"state_finished_failures.html"))
        state = L"finished-failures";
    else if (text == ReadLanguage(L"state_failed.html"))
        state = L"failed";
    status->SetAttribute(L"data-state", state);
}

void CComposition::ShowProgress(const std::wstring& text, int step, int stepCount) {
    std::wstring html = ReadCommon(L"scanning_results_area.html");
    ReplaceAll(html, L"#step#", std::to_wstring(step));
    ReplaceAll(html, L"#stepcount#", std::to_wstring(stepCount));
    // Last: names and paths from the machine must not be read as placeholders.
    ReplaceAll(html, L"#scanmessage#", EscapeHtml(text));
    RefillElement(L"ResultsArea", html);
}

bool CComposition::RefillElement(const std::wstring& id, const std::wstring& html) {
    std::unique_ptr<IHtmlElement> element = Find(id);
    return element && element->SetInnerHtml(html);
}

std::unique_ptr<IHtmlElement> CComposition::Find(const std::wstring& id) const {
    return document_ ? document_->GetElementById(id) : nullptr;
}

std::wstring CComposition::ReadCommon(const std::wstring& name) const {
    return ReadPage(L"html/Common/" + name);
}

std::wstring CComposition::ReadLanguage(const std::wstring& name) const {
    return ReadPage(L"html/" + kernel_.GetLanguage() + L"/" + name);
}

bool CComposition::AnyPluginChecked() const {
    for (const auto& plugin : kernel_.GetPlugins())
        if (plugin->IsEnabled()) return true;
    return false;
}

}  // namespace veltrane
