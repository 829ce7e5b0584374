#include "app/command_line.h"

#include <cwctype>

#include "engine/cookie_keep_list.h"
#include "engine/exclusion_rules.h"

namespace veltrane {

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool TakeValue(const std::wstring& argument, const std::wstring& prefix, std::wstring& value) {
    if (Lower(argument.substr(0, prefix.size())) != prefix) return false;
    value = argument.substr(prefix.size());
    return true;
}

// A mistyped domain must not quietly leave the run without the cookies it
// was meant to keep, so every part has to be a host name.
bool ParseKeepList(const std::wstring& value, HeadlessRequest& request, std::wstring& error) {
    CookieKeepList list;
    for (const std::wstring& part : SplitList(value, L';')) {
        if (!list.Add(part) && !list.Contains(part)) {
            error = L"/keep: \"" + part + L"\" is not a domain name.";
            return false;
        }
    }
    if (list.IsEmpty()) {
        error = L"/keep: needs at least one domain.";
        return false;
    }
    request.keepCookies = list.ToText();
    return true;
}

}  // namespace

std::vector<std::wstring> SplitList(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

HeadlessRequest ParseHeadlessArguments(const std::vector<std::wstring>& arguments,
                                       std::wstring& error) {
    HeadlessRequest request;
    error.clear();
    for (const std::wstring& argument : arguments) {
        std::wstring lower = Lower(argument);
        std::wstring value;
        HeadlessRequest::Action action = HeadlessRequest::kNone;
        if (lower == L"/list")
            action = HeadlessRequest::kList;
        else if (lower == L"/scan")
            action = HeadlessRequest::kScan;
        else if (lower == L"/clean")
            action = HeadlessRequest::kClean;

        if (action != HeadlessRequest::kNone) {
            if (request.action != HeadlessRequest::kNone && request.action != action) {
                error = L"Only one of /list, /scan and /clean may be given.";
                return request;
            }
            request.action = action;
        } else if (lower == L"/json") {
            request.json = true;
        } else if (TakeValue(argument, L"/only:", value)) {
            request.only = SplitList(value, L',');
            if (request.only.empty()) {
                error = L"/only: needs at least one plug-in id.";
                return request;
            }
        } else if (TakeValue(argument, L"/keep:", value)) {
            if (!ParseKeepList(value, request, error)) return request;
        } else if (TakeValue(argument, L"/exclude:", value)) {
            // Read now, so that a rule that cannot be parsed is a usage error.
            if (RuleParse rule = ParseExclusionRule(value); !rule.rule) {
                error = L"/exclude: \"" + value + L"\" cannot be used: " + rule.error + L".";
                return request;
            }
            request.exclusions.push_back(value);
        } else if (TakeValue(argument, L"/older:", value)) {
            wchar_t* end = nullptr;
            const unsigned long hours = wcstoul(value.c_str(), &end, 10);
            if (value.empty() || *end != L'\0' || value[0] == L'-' || hours > 1000000) {
                error = L"/older: needs a number of hours (0 for no limit).";
                return request;
            }
            request.olderThanHours = hours;
        } else if (TakeValue(argument, L"/report:", value)) {
            if (value.empty()) {
                error = L"/report: needs a folder.";
                return request;
            }
            request.reportFolder = value;
        } else {
            error = L"Unknown switch: " + argument;
            return request;
        }
    }
    bool runSwitches = request.json || !request.only.empty() || !request.reportFolder.empty();
    if (runSwitches && request.action == HeadlessRequest::kNone)
        error = L"/only:, /report: and /json need /list, /scan or /clean.";
    else if ((request.keepCookies || !request.exclusions.empty() || request.olderThanHours) &&
             request.action != HeadlessRequest::kScan && request.action != HeadlessRequest::kClean)
        error = L"/keep:, /exclude: and /older: need /scan or /clean.";
    return request;
}

}  // namespace veltrane
