#include "sysaccess/pending_renames.h"

#include "sysaccess/handles.h"
#include "sysaccess/reg_multi_text.h"

namespace veltrane {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::wstring Win32PathOfNtName(const std::wstring& name) {
    if (StartsWith(name, L"\\??\\UNC\\")) return L"\\\\" + name.substr(8);
    if (StartsWith(name, L"\\??\\")) return name.substr(4);
    return name;
}

PendingDeletesOutcome ReadPendingDeletes() {
    PendingDeletesOutcome outcome;
    RegKey key;
    const LSTATUS opened =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.Receive());
    if (opened != ERROR_SUCCESS) {
        outcome.error = static_cast<DWORD>(opened);
        return outcome;
    }
    const MultiTextOutcome list = ReadRegMultiText(key.Get(), kPendingValue);
    if (list.kind == MultiTextRead::kMissing) {
        outcome.kind = PendingRead::kRead;
        return outcome;
    }
    if (list.kind != MultiTextRead::kRead) {
        outcome.error = list.kind == MultiTextRead::kNotList ? ERROR_INVALID_DATA : list.error;
        return outcome;
    }
    // Pairs of source and target; an empty target (or none, at a cut end) is a deletion.
    for (size_t i = 0; i < list.texts.size(); i += 2) {
        if (list.texts[i].empty()) break;
        const bool deletion = i + 1 >= list.texts.size() || list.texts[i + 1].empty();
        if (deletion) outcome.paths.push_back(Win32PathOfNtName(list.texts[i]));
    }
    outcome.kind = PendingRead::kRead;
    return outcome;
}

}  // namespace veltrane
