// Reading and writing REG_MULTI_SZ lists by their key's path.
#include "sysaccess/registry_multi_text.h"

#include "sysaccess/handles.h"
#include "sysaccess/reg_multi_text.h"

namespace veltrane {

RegMultiText ReadRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name) {
    RegMultiText result;
    RegKey key;
    const LSTATUS status = RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Receive());
    if (status != ERROR_SUCCESS) {
        result.kind = status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND
                          ? RegMultiText::Kind::kMissing
                          : RegMultiText::Kind::kFailed;
        result.error = static_cast<DWORD>(status);
        return result;
    }
    MultiTextOutcome read = ReadRegMultiText(key.Get(), name);
    switch (read.kind) {
        case MultiTextRead::kRead:
            result.kind = RegMultiText::Kind::kRead;
            result.type = REG_MULTI_SZ;
            // The list ends at the first empty string, as the system reads it.
            for (std::wstring& text : read.texts) {
                if (text.empty()) break;
                result.strings.push_back(std::move(text));
            }
            return result;
        case MultiTextRead::kMissing:
            result.kind = RegMultiText::Kind::kMissing;
            return result;
        case MultiTextRead::kNotList:
            result.kind = RegMultiText::Kind::kWrongType;
            result.type = read.type;
            return result;
        case MultiTextRead::kFailed:
            break;
    }
    result.kind = RegMultiText::Kind::kFailed;
    result.error = read.error;
    return result;
}

RegWriteOutcome WriteRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name,
                                  const std::vector<std::wstring>& strings) {
    RegKey key;
    const LSTATUS status = RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) return RegWriteOutcome::Of(status);
    std::vector<std::wstring> texts;
    for (const std::wstring& text : strings)
        if (!text.empty()) texts.push_back(text);
    return WriteRegMultiText(key.Get(), name, texts);
}

}  // namespace veltrane
