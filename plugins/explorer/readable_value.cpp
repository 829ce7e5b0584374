#include "plugins/explorer/readable_value.h"

#include "plugins/explorer/shell_item_list.h"
#include "plugins/explorer/user_assist_name.h"

namespace {

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

}  // namespace

std::wstring LeadingText(const uint8_t* data, size_t size, size_t* end) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (c == 0) {
            if (end) *end = i + 2;
            return text;
        }
        if (c < 0x20 || c == 0x7F) return {};
        text += c;
    }
    // Text that fills the data without a terminator is still the text.
    if (size % 2 != 0) return {};
    if (end) *end = size;
    return text;
}

std::wstring ReadableValueText(ValueLayout layout, const std::wstring& name, DWORD type,
                               const std::vector<uint8_t>& data) {
    if (layout == ValueLayout::kProgramName) return UserAssistProgram(name);
    if (type == REG_SZ || type == REG_EXPAND_SZ) return StringData(data);
    if (type != REG_BINARY) return {};
    switch (layout) {
        case ValueLayout::kText:
        case ValueLayout::kLeadingName:
            return LeadingText(data.data(), data.size());
        case ValueLayout::kItemList:
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
