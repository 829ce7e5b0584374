#pragma once
// The document interface backed by a page in the browser: every operation is
// one request to the page's bridge script. A page that is gone answers
// nothing: elements are missing and writes fail until a page connects again.
#include <cstdint>
#include <memory>

#include "engine/html_element.h"
#include "ui/page_link.h"

namespace veltrane {

class CBridgeElement : public IHtmlElement {
public:
    CBridgeElement(std::shared_ptr<CPageLink> link, int64_t handle, unsigned generation);
    ~CBridgeElement() override;

    bool SetInnerHtml(const std::wstring& html) override;
    bool SetInnerText(const std::wstring& text) override;
    std::optional<std::wstring> GetAttribute(const std::wstring& name) override;
    bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

private:
    std::optional<nlohmann::json> Call(nlohmann::json request);

    std::shared_ptr<CPageLink> link_;
    int64_t handle_;
    unsigned generation_;
};

class CBridgeDocument : public IHtmlDocument {
public:
    explicit CBridgeDocument(std::shared_ptr<CPageLink> link) : link_(std::move(link)) {}
    std::unique_ptr<IHtmlElement> GetElementById(const std::wstring& id) override;

private:
    std::shared_ptr<CPageLink> link_;
};

}  // namespace veltrane
