#include "plugins/explorer/readable_text.h"

namespace veltrane {

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

bool IsReadableText(std::wstring_view text) {
    if (text.empty()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsControl(c) || c == 0xFFFD || c == 0xFFFE || c == 0xFFFF) return false;
        if (IsLowSurrogate(c)) return false;
        if (IsHighSurrogate(c)) {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1])) return false;
            ++i;
        }
    }
    return true;
}

}  // namespace veltrane
