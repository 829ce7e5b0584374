#include "sysaccess/reg_format.h"

#include "sysaccess/handles.h"

namespace veltrane {

namespace {

const wchar_t* RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return L"HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
    if (root == HKEY_USERS) return L"HKEY_USERS";
    return L"";
}

}  // namespace

std::wstring FormatRegPath(HKEY root, const std::wstring& keyPath, const std::wstring& valueName) {
    std::wstring text = RootName(root);
    if (keyPath.empty()) return text;
    if (!text.empty()) text += L'\\';
    text += keyPath;
    if (!valueName.empty()) text += L'\\' + valueName;
    return text;
}

std::wstring FormatSystemError(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&buffer), 1024, nullptr);
    UniqueLocalMemory owner(buffer);
    if (length == 0 || buffer == nullptr) return L"Unknown Error";
    return std::wstring(buffer, length);
}

std::wstring FormatSystemErrorLine(DWORD code) {
    std::wstring text = FormatSystemError(code);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

}  // namespace veltrane
