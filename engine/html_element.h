#pragma once
// The program's only way into a page: elements found by id, their
// attributes, inner HTML and inner text. The user interface puts a real page
// behind it; reports written to files and tests use MemoryHtmlElement.
#include <memory>
#include <optional>
#include <string>

namespace veltrane {

class IHtmlElement {
public:
    virtual ~IHtmlElement() = default;
    virtual bool SetInnerHtml(const std::wstring& html) = 0;
    virtual bool SetInnerText(const std::wstring& text) = 0;
    // Nothing when the attribute is absent or the page cannot be reached.
    virtual std::optional<std::wstring> GetAttribute(const std::wstring& name) = 0;
    virtual bool SetAttribute(const std::wstring& name, const std::wstring& value) = 0;
};

class IHtmlDocument {
public:
    virtual ~IHtmlDocument() = default;
    // Null when the page has no element with that id.
    virtual std::unique_ptr<IHtmlElement> GetElementById(const std::wstring& id) = 0;
};

// An element that only remembers what was written into it.
class MemoryHtmlElement : public IHtmlElement {
public:
    bool SetInnerHtml(const std::wstring& html) override {
        innerHtml = html;
        return true;
    }
    bool SetInnerText(const std::wstring& text) override {
        innerText = text;
        return true;
    }
    std::optional<std::wstring> GetAttribute(const std::wstring&) override { return std::nullopt; }
    bool SetAttribute(const std::wstring&, const std::wstring&) override { return true; }

    std::wstring innerHtml;
    std::wstring innerText;
};

}  // namespace veltrane
