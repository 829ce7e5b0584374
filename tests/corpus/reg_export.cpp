#include "corpus/reg_export.h"

#include <cwchar>
#include <optional>

#include "support/test_files.h"

namespace veltrane {

namespace {

std::wstring Utf16Text(const std::string& bytes) {
    std::wstring text;
    size_t start = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' ? 2 : 0;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<uint8_t>(bytes[i]) |
                                     static_cast<uint8_t>(bytes[i + 1]) << 8);
    return text;
}

// The export's lines with continuations ("\" at the end) joined.
std::vector<std::wstring> JoinedLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstring line;
    bool continued = false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring part = text.substr(start, end - start);
        start = end + 1;
        if (!part.empty() && part.back() == L'\r') part.pop_back();
        if (continued) part.erase(0, part.find_first_not_of(L' '));
        line += part;
        continued = !line.empty() && line.back() == L'\\';
        if (continued) {
            line.pop_back();
            continue;
        }
        lines.push_back(std::move(line));
        line.clear();
    }
    return lines;
}

std::vector<uint8_t> HexBytes(const std::wstring& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < hex.size();) {
        size_t comma = hex.find(L',', i);
        if (comma == std::wstring::npos) comma = hex.size();
        std::wstring byte = hex.substr(i, comma - i);
        if (!byte.empty())
            bytes.push_back(static_cast<uint8_t>(wcstoul(byte.c_str(), nullptr, 16)));
        i = comma + 1;
    }
    return bytes;
}

// "name"= or @=: the name with its escapes undone, and where the data starts.
std::optional<std::wstring> ValueName(const std::wstring& line, size_t& dataAt) {
    if (line.starts_with(L"@=")) {
        dataAt = 2;
        return std::wstring();
    }
    if (!line.starts_with(L"\"")) return std::nullopt;
    std::wstring name;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == L'\\' && i + 1 < line.size()) {
            name += line[++i];
        } else if (line[i] == L'"') {
            if (i + 1 >= line.size() || line[i + 1] != L'=') return std::nullopt;
            dataAt = i + 2;
            return name;
        } else {
            name += line[i];
        }
    }
    return std::nullopt;
}

std::optional<RegExportValue> ValueData(const std::wstring& data) {
    RegExportValue value;
    if (data.starts_with(L"dword:")) {
        const DWORD number = wcstoul(data.c_str() + 6, nullptr, 16);
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
    } else if (data.starts_with(L"hex:")) {
        value.type = REG_BINARY;
        value.data = HexBytes(data.substr(4));
    } else if (data.starts_with(L"hex(")) {
        const size_t close = data.find(L"):");
        if (close == std::wstring::npos) return std::nullopt;
        value.type = wcstoul(data.c_str() + 4, nullptr, 16);
        value.data = HexBytes(data.substr(close + 2));
    } else if (data.starts_with(L"\"") && data.ends_with(L"\"")) {
        value.type = REG_SZ;
        std::wstring text;
        for (size_t i = 1; i + 1 < data.size(); ++i) {
            if (data[i] == L'\\' && i + 2 < data.size()) ++i;
            text += data[i];
        }
        for (wchar_t c : text + L'\0') {
            value.data.push_back(static_cast<uint8_t>(c & 0xFF));
            value.data.push_back(static_cast<uint8_t>(c >> 8));
        }
    } else {
        return std::nullopt;
    }
    return value;
}

}  // namespace

RegExport ReadRegExport(const std::wstring& file, const std::wstring& root) {
    RegExport keys;
    RegExportKey* current = nullptr;
    const std::wstring prefix = L"[" + root + L"\\";
    for (const std::wstring& line : JoinedLines(Utf16Text(ReadTestFile(file)))) {
        if (line.starts_with(L"[")) {
            if (!line.starts_with(prefix) || !line.ends_with(L"]")) return {};
            current = &keys[line.substr(prefix.size(), line.size() - prefix.size() - 1)];
            continue;
        }
        size_t dataAt = 0;
        std::optional<std::wstring> name = ValueName(line, dataAt);
        if (!name || !current) continue;
        if (std::optional<RegExportValue> value = ValueData(line.substr(dataAt)))
            current->values[*name] = std::move(*value);
    }
    return keys;
}

}  // namespace veltrane
