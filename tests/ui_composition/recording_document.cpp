#include "recording_document.h"

namespace veltrane {

class RecordingDocument::Element : public IHtmlElement {
public:
    Element(RecordingDocument& document, std::wstring id)
        : document_(document), id_(std::move(id)) {}

    bool SetInnerHtml(const std::wstring& html) override {
        Record().innerHtml = html;
        // Replacing the layout drops the areas of the previous one.
        if (id_ == L"Layout") document_.present_ = {L"Layout"};
        document_.AddIdsOf(html);
        return true;
    }
    bool SetInnerText(const std::wstring& text) override {
        Record().innerText = text;
        return true;
    }
    std::optional<std::wstring> GetAttribute(const std::wstring& name) override {
        auto& attributes = document_.elements_[id_].attributes;
        auto found = attributes.find(name);
        if (found == attributes.end()) return std::nullopt;
        return found->second;
    }
    bool SetAttribute(const std::wstring& name, const std::wstring& value) override {
        Record().attributes[name] = value;
        return true;
    }

private:
    RecordedElement& Record() {
        RecordedElement& element = document_.elements_[id_];
        ++element.writes;
        return element;
    }

    RecordingDocument& document_;
    std::wstring id_;
};

std::unique_ptr<IHtmlElement> RecordingDocument::GetElementById(const std::wstring& id) {
    lookups.insert(id);
    if (!Has(id)) return nullptr;
    return std::make_unique<Element>(*this, id);
}

void RecordingDocument::AddIdsOf(const std::wstring& html) {
    const std::wstring marker = L" id=\"";
    for (size_t at = html.find(marker); at != std::wstring::npos; at = html.find(marker, at)) {
        at += marker.size();
        size_t end = html.find(L'"', at);
        if (end == std::wstring::npos) break;
        present_.insert(html.substr(at, end - at));
    }
}

}  // namespace veltrane
