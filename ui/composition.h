#pragma once
// The main window's page for the kernel's mode: the layout of the mode and
// its areas, each filled from fragment files below "html". Nothing is kept
// between renderings, so a fragment changed on disk shows at the next one.
#include <string>

#include "engine/kernel.h"

namespace veltrane {

class CComposition {
public:
    explicit CComposition(CKernel& kernel) : kernel_(kernel) {}

    // The page the areas are rendered into; null while there is none.
    void SetDocument(IHtmlDocument* document) { document_ = document; }
    IHtmlDocument* GetDocument() const { return document_; }

    // Replaces "Layout" with the mode's layout and renders every area it
    // holds; false when the page has no "Layout".
    bool RecomposeLayout();

    void RenderPluginsArea();
    void RenderTabsArea();
    void RenderButtonsFixedArea();
    void RenderButtonsControlArea();
    void RenderProcessArea();
    void RenderDetailsArea();
    void RenderHint();

    // A process-table row: the plug-in's name and the state text, both as
    // plain text. Unknown ids and missing rows change nothing.
    void SetRowStatus(const std::wstring& pluginId, const std::wstring& text);
    // The running plug-in's progress, plain text, in the results area.
    void ShowProgress(const std::wstring& text, int step, int stepCount);
    // Replaces one element's markup; false when the page has no such element.
    bool RefillElement(const std::wstring& id, const std::wstring& html);

private:
    std::unique_ptr<IHtmlElement> Find(const std::wstring& id) const;
    std::wstring ReadCommon(const std::wstring& name) const;
    std::wstring ReadLanguage(const std::wstring& name) const;
    bool AnyPluginChecked() const;

    CKernel& kernel_;
    IHtmlDocument* document_ = nullptr;
};

}  // namespace veltrane
