#include "seedtraces/shell_item_data.h"

#include <windows.h>

#include <cstdint>
#include <cwctype>

namespace veltrane {

namespace {

void PutWord(std::string& data, uint16_t word) {
    data += static_cast<char>(word & 0xFF);
    data += static_cast<char>(word >> 8);
}

void PutDword(std::string& data, uint32_t dword) {
    PutWord(data, static_cast<uint16_t>(dword & 0xFFFF));
    PutWord(data, static_cast<uint16_t>(dword >> 16));
}

// An item: its length in front of the type and body.
std::string Item(const std::string& body) {
    std::string item;
    PutWord(item, static_cast<uint16_t>(body.size() + 2));
    return item + body;
}

std::string Ansi(const std::wstring& text) {
    std::string narrow(text.size() * 2 + 1, '\0');
    int length =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(),
                            static_cast<int>(narrow.size()), nullptr, nullptr);
    narrow.resize(length > 0 ? length : 0);
    return narrow;
}

// The name as an 8.3 file system keeps it when the long one does not fit:
// "Alloy Research" is "ALLOYR~1", "Quarterly report.docx" "QUARTE~1.DOC".
std::wstring ShortName(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    const std::wstring base = name.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot + 1);
    const bool fits = base.size() <= 8 && extension.size() <= 3 && !base.empty() &&
                      name.find(L' ') == std::wstring::npos &&
                      base.find(L'.') == std::wstring::npos;
    if (fits) return name;
    std::wstring shortName;
    for (wchar_t c : base)
        if (c != L' ' && c != L'.' && shortName.size() < 6) shortName += towupper(c);
    shortName += L"~1";
    if (!extension.empty()) shortName += L"." + extension.substr(0, 3);
    for (wchar_t& c : shortName) c = towupper(c);
    return shortName;
}

// The extension block 0xbeef0004 of Windows 7 (version 8), which holds the
// long name; it ends with its own offset in the item.
std::string LongNameBlock(const std::wstring& name, uint16_t offset) {
    std::string block;
    PutWord(block, 8);  // version
    PutDword(block, 0xBEEF0004);
    PutDword(block, 0x6C205A61);  // created: 2025-03-01 13:33
    PutDword(block, 0x6C205A61);  // accessed
    PutWord(block, 0x2A);
    PutWord(block, 0);
    PutDword(block, 0x0001E3B9);  // file reference: entry, then sequence
    PutDword(block, 0x00010000);
    block += std::string(8, '\0');
    PutWord(block, 0);  // no localized name
    PutDword(block, 0);
    for (wchar_t c : name) PutWord(block, static_cast<uint16_t>(c));
    PutWord(block, 0);
    PutWord(block, offset);
    std::string sized;
    PutWord(sized, static_cast<uint16_t>(block.size() + 2));
    return sized + block;
}

}  // namespace

std::string FileItem(const std::wstring& name, bool folder) {
    std::string body;
    body += static_cast<char>(folder ? 0x31 : 0x32);
    body += '\0';
    PutDword(body, folder ? 0 : 48213);  // size
    PutWord(body, 0x5A61);               // date: 2025-03-01
    PutWord(body, 0x6C20);               // time: 13:33
    PutWord(body, folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    body += Ansi(ShortName(name));
    body += '\0';
    if (body.size() % 2 != 0) body += '\0';
    return Item(body + LongNameBlock(name, static_cast<uint16_t>(body.size() + 2)));
}

std::string ItemListOfPath(const std::wstring& path, bool folder) {
    // My Computer: a root item holding its class id.
    static const unsigned char myComputer[] = {0x1F, 0x50, 0xE0, 0x4F, 0xD0, 0x20,
                                               0xEA, 0x3A, 0x69, 0x10, 0xA2, 0xD8,
                                               0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
    std::string list =
        Item(std::string(reinterpret_cast<const char*>(myComputer), sizeof(myComputer)));
    std::string drive(1, '\x2F');
    drive += Ansi(path.substr(0, 3));
    drive.resize(23, '\0');
    list += Item(drive);
    size_t start = 3;
    while (start < path.size()) {
        size_t end = path.find(L'\\', start);
        bool last = end == std::wstring::npos;
        if (last) end = path.size();
        list += FileItem(path.substr(start, end - start), folder || !last);
        start = end + 1;
    }
    PutWord(list, 0);
    return list;
}

std::string Utf16Bytes(const std::wstring& text) {
    std::string data;
    for (wchar_t c : text) PutWord(data, static_cast<uint16_t>(c));
    PutWord(data, 0);
    return data;
}

std::string MruListEx(int count) {
    std::string data;
    for (int i = count - 1; i >= 0; --i) PutDword(data, static_cast<uint32_t>(i));
    PutDword(data, 0xFFFFFFFF);
    return data;
}

std::string UserAssistData(uint32_t runs, int days) {
    constexpr uint64_t kFirstStart = 0x01DB8AAE733ECE00;  // 2025-03-01 13:33 UTC
    constexpr uint64_t kDay = 864000000000;
    const uint64_t lastStart = kFirstStart + static_cast<uint64_t>(days) * kDay;
    std::string data;
    PutDword(data, 0);                                        // session
    PutDword(data, runs);                                     // started
    PutDword(data, runs);                                     // focused
    PutDword(data, 60000 * runs);                             // focus time, ms
    for (int i = 0; i < 10; ++i) PutDword(data, 0xBF800000);  // -1.0: no usage scores
    PutDword(data, 0xFFFFFFFF);
    PutDword(data, static_cast<uint32_t>(lastStart));
    PutDword(data, static_cast<uint32_t>(lastStart >> 32));
    PutDword(data, 0);
    return data;
}

}  // namespace veltrane
