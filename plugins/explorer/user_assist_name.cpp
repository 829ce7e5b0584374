#include "plugins/explorer/user_assist_name.h"

#include <windows.h>

#include <objbase.h>

#include <cwchar>

#include "plugins/explorer/item_bytes.h"
#include "sysaccess/known_folders.h"

namespace veltrane {

namespace {

constexpr size_t kUseDataSize = 72;
constexpr size_t kRunCountAt = 4;
constexpr size_t kLastRunAt = 60;

std::wstring UtcTimeText(uint64_t fileTime) {
    FILETIME time = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&time, &utc)) return {};
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u UTC", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
             utc.wMinute);
    return text;
}

}  // namespace

std::wstring Rot13(std::wstring_view text) {
    std::wstring decoded(text);
    for (wchar_t& c : decoded) {
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(L'a' + (c - L'a' + 13) % 26);
        else if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(L'A' + (c - L'A' + 13) % 26);
    }
    return decoded;
}

std::wstring UserAssistProgram(std::wstring_view valueName) {
    std::wstring program = Rot13(valueName);
    // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" is 38 characters.
    constexpr size_t kGuidLength = 38;
    if (program.size() <= kGuidLength || program[0] != L'{' || program[kGuidLength - 1] != L'}')
        return program;
    std::wstring guid = program.substr(0, kGuidLength);
    KNOWNFOLDERID folder;
    if (FAILED(IIDFromString(guid.c_str(), &folder))) return program;
    std::wstring path = GetKnownFolderPath(folder);
    if (path.empty()) return program;
    return path + program.substr(kGuidLength);
}

bool IsUserAssistCounter(std::wstring_view program) { return program.starts_with(L"UEME_"); }

std::wstring UserAssistUseText(const std::vector<uint8_t>& data) {
    if (data.size() != kUseDataSize) return {};
    const ItemBytes bytes(data.data(), data.size());
    const uint32_t runs = bytes.Dword(kRunCountAt).value_or(0);
    const uint64_t lastRun = bytes.Qword(kLastRunAt).value_or(0);
    std::wstring text;
    if (runs > 0) text = L"started " + std::to_wstring(runs) + (runs == 1 ? L" time" : L" times");
    const std::wstring when = lastRun != 0 ? UtcTimeText(lastRun) : L"";
    if (!when.empty()) text += (text.empty() ? L"last on " : L", last on ") + when;
    return text;
}

}  // namespace veltrane
