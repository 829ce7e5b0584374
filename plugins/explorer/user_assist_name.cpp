#include "plugins/explorer/user_assist_name.h"

#include <windows.h>

#include <objbase.h>

#include "sysaccess/known_folders.h"

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
