#pragma once
// The unattended switches: /list, /scan and /clean with /only:, /report: and /json.
#include <string>
#include <vector>

struct HeadlessRequest {
    enum Action { kNone, kList, kScan, kClean };
    Action action = kNone;
    std::vector<std::wstring> only;  // empty: the checked plug-ins
    std::wstring reportFolder;       // empty: no report files
    bool json = false;
};

// Parses the arguments after the program name. kNone with an empty `error`
// means no unattended switch was given; a usage error names what is wrong.
HeadlessRequest ParseHeadlessArguments(const std::vector<std::wstring>& arguments,
                                       std::wstring& error);

std::vector<std::wstring> SplitList(const std::wstring& text, wchar_t separator);
