#pragma once
// A document that behaves like a page for the composition: an element exists
// once markup holding its id has been written into the page, and every write
// is remembered.
#include <map>
#include <memory>
#include <set>
#include <string>

#include "engine/html_element.h"

namespace veltrane {

struct RecordedElement {
    std::wstring innerHtml;
    std::wstring innerText;
    std::map<std::wstring, std::wstring> attributes;
    int writes = 0;
};

class RecordingDocument : public IHtmlDocument {
public:
    // `rootIds` exist from the start, as the ids of the page itself do.
    explicit RecordingDocument(std::set<std::wstring> rootIds) : present_(std::move(rootIds)) {}

    std::unique_ptr<IHtmlElement> GetElementById(const std::wstring& id) override;

    bool Has(const std::wstring& id) const { return present_.count(id) != 0; }
    // What was written into an element; empty when nothing was.
    const RecordedElement& Get(const std::wstring& id) { return elements_[id]; }
    std::set<std::wstring> lookups;

private:
    class Element;
    void AddIdsOf(const std::wstring& html);

    std::set<std::wstring> present_;
    std::map<std::wstring, RecordedElement> elements_;
};

}  // namespace veltrane
