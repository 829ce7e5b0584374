#include "engine/report_text.h"

#include "sysaccess/text.h"

namespace veltrane {

std::wstring FormatSize(uint64_t bytes) {
    if (bytes < 500) return std::to_wstring(bytes) + L" B";
    // The decimal point goes 3, 6 or 9 digits from the right.
    size_t shift = 9;
    const wchar_t* unit = L" GB";
    if (bytes < 500000ULL) {
        shift = 3;
        unit = L" KB";
    } else if (bytes < 500000000ULL) {
        shift = 6;
        unit = L" MB";
    }
    std::wstring digits = std::to_wstring(bytes);
    if (digits.size() <= shift) digits.insert(0, shift - digits.size() + 1, L'0');
    size_t point = digits.size() - shift;
    return digits.substr(0, point) + L"." + digits.substr(point, 2) + unit;
}

std::wstring ItemRowAttributes(const std::wstring& itemKey, const std::wstring& groupKey) {
    return L" data-item=\"" + EscapeHtml(itemKey) + L"\" data-in-group=\"" + EscapeHtml(groupKey) +
           L"\"";
}

std::wstring GroupAttributes(const std::wstring& groupKey, const std::wstring& parentGroupKey) {
    std::wstring attributes = L" data-group=\"" + EscapeHtml(groupKey) + L"\"";
    if (!parentGroupKey.empty())
        attributes += L" data-in-group=\"" + EscapeHtml(parentGroupKey) + L"\"";
    return attributes;
}

std::wstring PluginGroupKey(const std::wstring& pluginId) { return L"plugin:" + pluginId; }

std::wstring SubGroupKey(const std::wstring& pluginId, const wchar_t* kind,
                         const std::wstring& text) {
    return pluginId + L"/" + kind + L":" + text;
}

}  // namespace veltrane
