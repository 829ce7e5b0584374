#include "ui/bridge_document.h"

#include "sysaccess/text.h"

namespace veltrane {

namespace {

// A reply comes from the page: anything but a true "ok" is a failure, never a throw.
bool Succeeded(const std::optional<nlohmann::json>& reply) {
    if (!reply || !reply->is_object()) return false;
    auto ok = reply->find("ok");
    return ok != reply->end() && ok->is_boolean() && ok->get<bool>();
}

}  // namespace

CBridgeElement::CBridgeElement(std::shared_ptr<CPageLink> link, int64_t handle, unsigned generation)
    : link_(std::move(link)), handle_(handle), generation_(generation) {}

CBridgeElement::~CBridgeElement() {
    // The page keeps an element reachable only while the program holds it.
    if (link_->GetGeneration() == generation_)
        link_->Notify({{"t", "release"}, {"handle", handle_}});
}

std::optional<nlohmann::json> CBridgeElement::Call(nlohmann::json request) {
    request["handle"] = handle_;
    return link_->Call(std::move(request), generation_);
}

bool CBridgeElement::SetInnerHtml(const std::wstring& html) {
    return Succeeded(Call({{"op", "setHtml"}, {"value", ToUtf8(html)}}));
}

bool CBridgeElement::SetInnerText(const std::wstring& text) {
    return Succeeded(Call({{"op", "setText"}, {"value", ToUtf8(text)}}));
}

std::optional<std::wstring> CBridgeElement::GetAttribute(const std::wstring& name) {
    auto reply = Call({{"op", "getAttr"}, {"name", ToUtf8(name)}});
    if (!Succeeded(reply)) return std::nullopt;
    auto value = reply->find("value");
    if (value == reply->end() || !value->is_string()) return std::nullopt;
    return FromUtf8(value->get<std::string>());
}

bool CBridgeElement::SetAttribute(const std::wstring& name, const std::wstring& value) {
    return Succeeded(Call({{"op", "setAttr"}, {"name", ToUtf8(name)}, {"value", ToUtf8(value)}}));
}

std::unique_ptr<IHtmlElement> CBridgeDocument::GetElementById(const std::wstring& id) {
    unsigned generation = link_->GetGeneration();
    auto reply = link_->Call({{"op", "find"}, {"id", ToUtf8(id)}}, generation);
    if (!Succeeded(reply)) return nullptr;
    auto handle = reply->find("value");
    if (handle == reply->end() || !handle->is_number_integer()) return nullptr;
    return std::make_unique<CBridgeElement>(link_, handle->get<int64_t>(), generation);
}

}  // namespace veltrane
