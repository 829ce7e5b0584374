#pragma once
// The unattended switches: /list, /scan and /clean with /only:, /report:,
// /keep:, /exclude:, /older: and /json.
#include <optional>
#include <string>
#include <vector>

namespace veltrane {

struct HeadlessRequest {
    enum Action { kNone, kList, kScan, kClean };
    Action action = kNone;
    std::vector<std::wstring> only;  // empty: the checked plug-ins
    std::wstring reportFolder;       // empty: no report files
    bool json = false;
    // /keep:a.com;b.org: the cookie keep-list of this run, normalised; the
    // stored option is used when absent and is never changed.
    std::optional<std::wstring> keepCookies;
    // /exclude:<rule> (repeatable): rules of this run, added to the stored ones.
    std::vector<std::wstring> exclusions;
    // /older:<hours>: this run's age limit instead of the stored one.
    std::optional<unsigned long> olderThanHours;
};

// Parses the arguments after the program name. kNone with an empty `error`
// means no unattended switch was given; a usage error names what is wrong.
HeadlessRequest ParseHeadlessArguments(const std::vector<std::wstring>& arguments,
                                       std::wstring& error);

std::vector<std::wstring> SplitList(const std::wstring& text, wchar_t separator);

}  // namespace veltrane
