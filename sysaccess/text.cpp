#include "sysaccess/text.h"

#include <windows.h>

namespace veltrane {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring FromCodePage(std::string_view text, unsigned codePage) {
    if (text.empty()) return {};
    int size =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

std::wstring FromUtf8(std::string_view text) { return FromCodePage(text, CP_UTF8); }

void ReplaceAll(std::wstring& text, std::wstring_view what, std::wstring_view with) {
    if (what.empty()) return;
    size_t position = text.find(what);
    while (position != std::wstring::npos) {
        text.replace(position, what.size(), with);
        position = text.find(what, position + with.size());
    }
}

std::wstring EscapeHtml(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
            case L'&':
                result += L"&amp;";
                break;
            case L'<':
                result += L"&lt;";
                break;
            case L'>':
                result += L"&gt;";
                break;
            case L'"':
                result += L"&quot;";
                break;
            case L'\'':
                result += L"&#39;";
                break;
            case L'#':
                // Reports are filled by replacing "#name#" placeholders one after
                // another: a "#size#" in a file name must not be taken for one.
                result += L"&#35;";
                break;
            default:
                result += c;
        }
    }
    return result;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace veltrane
