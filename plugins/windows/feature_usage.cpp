#include "plugins/windows/feature_usage.h"

#include <cstring>
#include <optional>
#include <vector>

#include "sysaccess/known_folder_path.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/registry_values.h"

namespace veltrane {

namespace {

constexpr wchar_t kFeatureUsage[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FeatureUsage\\";

struct Counter {
    const wchar_t* key;
    const wchar_t* label;
    const wchar_t* counted;  // what one count is, before the number
};

constexpr Counter kCounters[] = {
    {L"AppSwitched", L"Programs switched to", L"switched to"},
    {L"AppLaunch", L"Programs started from the taskbar", L"started"},
    {L"ShowJumpView", L"Jump Lists opened", L"opened"},
    {L"AppBadgeUpdated", L"Badges shown on taskbar buttons", L"badged"},
    {L"TrayButtonClicked", L"Taskbar buttons clicked", L"clicked"},
};

std::wstring Times(const wchar_t* counted, DWORD count) {
    return std::wstring(counted) + L" " + std::to_wstring(count) +
           (count == 1 ? L" time" : L" times");
}

// Only counts are counters: a value of another type stays unlisted.
std::optional<DWORD> ReadCount(HKEY key, const std::wstring& name) {
    const std::optional<RegBytes> value = TryReadRegBytes(key, name.c_str(), sizeof(DWORD));
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD count = 0;
    std::memcpy(&count, value->data.data(), sizeof(count));
    return count;
}

}  // namespace

CPlgFeatureUsage::CPlgFeatureUsage(CKernel& kernel, const PluginIdentity& identity)
    : CRegistryRowsPlugin(kernel, identity) {}

bool CPlgFeatureUsage::ScanValues() {
    for (const Counter& counter : kCounters) {
        if (IsCancelled()) return false;
        const std::wstring keyPath = std::wstring(kFeatureUsage) + counter.key;
        const OpenedRegKey key = OpenRegPathNoLink(HKEY_CURRENT_USER, keyPath, KEY_READ);
        if (key.kind != OpenedRegKey::Kind::kOpened) continue;
        std::optional<size_t> group;
        for (const std::wstring& name : ValuesOf(HKEY_CURRENT_USER, keyPath).names) {
            const std::optional<DWORD> count = ReadCount(key.key.Get(), name);
            if (!count) continue;
            if (!group)
                group = AddGroup(std::wstring(counter.label) + L" (" + counter.key + L")",
                                 FormatRegPath(HKEY_CURRENT_USER, keyPath, L""));
            // Programs are named by path, often behind a known folder's id,
            // or by their application id; buttons by name.
            DomainInfo& row = Row(*group, ExpandKnownFolderPrefix(name));
            SetDetail(row, Times(counter.counted, *count));
            AddValue(row, {HKEY_CURRENT_USER, keyPath, name, L"", {}});
        }
    }
    return true;
}

}  // namespace veltrane
