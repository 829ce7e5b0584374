#include "plugins/explorer/readable_value.h"

#include <algorithm>

#include "plugins/explorer/item_bytes.h"
#include "plugins/explorer/readable_text.h"
#include "plugins/explorer/shell_item_list.h"
#include "plugins/explorer/user_assist_name.h"

namespace veltrane {

namespace {

constexpr wchar_t kUnreadable[] = L"unreadable item";

// A string value's text, up to its first terminator.
std::wstring StringData(const std::vector<uint8_t>& data) {
    std::wstring text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (c == 0) break;
        text += c;
    }
    return text;
}

// A UserAssist row: the program, how often and when it was last started.
std::wstring ProgramText(const std::wstring& name, const std::vector<uint8_t>& data) {
    const std::wstring program = UserAssistProgram(name);
    if (!IsReadableText(program)) return {};
    if (IsUserAssistCounter(program)) return L"Explorer's counter " + program + L", not a program";
    const std::wstring use = UserAssistUseText(data);
    return use.empty() ? program : program + L" (" + use + L")";
}

std::wstring BinaryText(ValueLayout layout, const std::vector<uint8_t>& data) {
    switch (layout) {
        case ValueLayout::kText:
        case ValueLayout::kLeadingName:
            return LeadingText(data.data(), data.size());
        case ValueLayout::kItemList:
        case ValueLayout::kFolderItem:
            return NameOfItemList(data.data(), data.size());
        case ValueLayout::kNameAndFolder: {
            size_t end = 0;
            std::wstring program = LeadingText(data.data(), data.size(), &end);
            if (program.empty()) return {};
            std::wstring folder = NameOfItemList(data.data() + end, data.size() - end);
            return folder.empty() ? program : program + L" (" + folder + L")";
        }
        default:
            return {};
    }
}

}  // namespace

bool IsListEntry(ValueLayout layout, const std::wstring& name) {
    switch (layout) {
        case ValueLayout::kProgramName:
            return true;
        case ValueLayout::kViewSettings:
            return false;
        default:
            return !name.empty() &&
                   std::ranges::all_of(name, [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    }
}

std::wstring LeadingText(const uint8_t* data, size_t size, size_t* end) {
    const ItemBytes bytes(data, size);
    size_t stop = 0;
    std::optional<std::wstring> text = bytes.Utf16(0, &stop);
    // Text that fills the data without a terminator is still the text.
    if (!text && size % 2 == 0) {
        text = std::wstring(size / 2, L'\0');
        for (size_t i = 0; i < size / 2; ++i) (*text)[i] = static_cast<wchar_t>(*bytes.Word(2 * i));
        stop = size;
    }
    if (!text || !IsReadableText(*text)) return {};
    if (end) *end = stop;
    return *text;
}

std::wstring ReadableValueText(ValueLayout layout, const std::wstring& name, DWORD type,
                               const std::vector<uint8_t>& data) {
    if (!IsListEntry(layout, name)) return {};
    if (layout == ValueLayout::kProgramName) return ProgramText(name, data);
    std::wstring text;
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        text = StringData(data);
    else if (type == REG_BINARY)
        text = BinaryText(layout, data);
    return IsReadableText(text) ? text : std::wstring();
}

std::wstring ShownValueText(ValueLayout layout, const std::wstring& name, std::wstring text) {
    if (!text.empty()) return text;
    const bool readableName = IsReadableText(name);
    if (!IsListEntry(layout, name)) return readableName ? name : kUnreadable;
    return readableName ? name + L" (" + kUnreadable + L")" : kUnreadable;
}

}  // namespace veltrane
