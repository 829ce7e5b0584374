// Reading and writing REG_MULTI_SZ lists, through an open key or by its path.
#include "sysaccess/reg_multi_text.h"

#include "sysaccess/handles.h"

namespace veltrane {

namespace {

// Room for the system's pending-rename list of a busy machine; more is refused.
constexpr DWORD kLargestList = 16 * 1024 * 1024;

}  // namespace

MultiTextOutcome ReadRegMultiText(HKEY key, const wchar_t* name) {
    MultiTextOutcome outcome;
    DWORD type = REG_NONE;
    DWORD size = 0;
    // The value may grow between the two calls; a few tries, then it is a failure.
    std::wstring data;
    LSTATUS status = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && status == ERROR_MORE_DATA; ++attempt) {
        status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) break;
        if (size > kLargestList) {
            status = ERROR_FILE_TOO_LARGE;
            break;
        }
        data.assign(size / sizeof(wchar_t) + 1, L'\0');
        status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                  &size);
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        outcome.kind = MultiTextRead::kMissing;
        return outcome;
    }
    if (status != ERROR_SUCCESS) {
        outcome.error = static_cast<DWORD>(status);
        return outcome;
    }
    if (type != REG_MULTI_SZ) {
        outcome.kind = MultiTextRead::kNotList;
        outcome.type = type;
        return outcome;
    }
    data.resize(size / sizeof(wchar_t));
    // Texts end at their null; a text cut by the end of the data still counts.
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find(L'\0', start);
        if (end == std::wstring::npos) end = data.size();
        outcome.texts.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    // The list's closing null reads as one empty text more.
    if (!outcome.texts.empty() && outcome.texts.back().empty()) outcome.texts.pop_back();
    outcome.kind = MultiTextRead::kRead;
    return outcome;
}

RegWriteOutcome WriteRegMultiText(HKEY key, const wchar_t* name,
                                  const std::vector<std::wstring>& texts) {
    std::wstring data;
    for (const std::wstring& text : texts) {
        data += text;
        data += L'\0';
    }
    data += L'\0';
    const LSTATUS status =
        RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    return RegWriteOutcome::Of(status);
}

MultiTextOutcome ReadRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name) {
    RegKey key;
    const LSTATUS status = RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Receive());
    if (status != ERROR_SUCCESS) {
        MultiTextOutcome unopened;
        unopened.kind = status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND
                            ? MultiTextRead::kMissing
                            : MultiTextRead::kFailed;
        unopened.error = static_cast<DWORD>(status);
        return unopened;
    }
    MultiTextOutcome read = ReadRegMultiText(key.Get(), name);
    for (size_t i = 0; i < read.texts.size(); ++i) {
        if (!read.texts[i].empty()) continue;
        read.texts.resize(i);
        break;
    }
    return read;
}

RegWriteOutcome WriteRegMultiText(HKEY root, const std::wstring& keyPath, const wchar_t* name,
                                  const std::vector<std::wstring>& texts) {
    RegKey key;
    const LSTATUS status = RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) return RegWriteOutcome::Of(status);
    std::vector<std::wstring> listed;
    for (const std::wstring& text : texts)
        if (!text.empty()) listed.push_back(text);
    return WriteRegMultiText(key.Get(), name, listed);
}

}  // namespace veltrane
