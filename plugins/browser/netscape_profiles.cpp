#include "plugins/browser/netscape_profiles.h"

#include <shlobj.h>

#include <cwctype>

#include "sysaccess/file_walk.h"
#include "sysaccess/registry_text.h"

namespace veltrane {

namespace {

bool SpecialFolder(int csidl, std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return false;
    path = buffer;
    return true;
}

// Calls `visit` for every directory in `base` whose name does not begin with
// "." and that `which` selects (every entry counts, files and dots too).
template <typename Visit>
void ForEachProfileDirectory(const std::wstring& base, int which, Visit visit) {
    int counter = 0;
    for (const FolderEntry& entry : ListFolderEntries(base)) {
        ++counter;
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && entry.name[0] != L'.' &&
            (which == 0 || which == counter))
            visit(entry.name);
    }
}

void AppendSaltedFolders(const std::wstring& profile, ProfileList& list) {
    for (const FolderEntry& entry : ListFolderEntries(profile)) {
        // Exactly a plain directory: hidden or read-only ones are not the profile.
        if (entry.attributes == FILE_ATTRIBUTE_DIRECTORY && entry.name[0] != L'.')
            list.push_back(profile + entry.name + L"\\");
    }
}

// A string value read whole, however long; nothing when missing or not text.
std::optional<std::wstring> ReadUserString(const wchar_t* keyPath, const wchar_t* name) {
    RegText value;
    if (ReadRegText(HKEY_CURRENT_USER, keyPath, name, value) != RegTextRead::kRead ||
        !IsStringType(value.type))
        return std::nullopt;
    return std::move(value.text);
}

}  // namespace

bool FindMozillaProfiles(ProfileList& list, int which) {
    for (int csidl : {CSIDL_WINDOWS, CSIDL_APPDATA}) {
        std::wstring folder;
        if (!SpecialFolder(csidl, folder)) return false;
        if (csidl == CSIDL_WINDOWS) folder += L"\\Application Data";
        const std::wstring base = folder + L"\\Mozilla\\Profiles\\";
        ForEachProfileDirectory(base, which, [&](const std::wstring& name) {
            AppendSaltedFolders(base + name + L"\\", list);
        });
    }
    return true;
}

bool FindFirefoxProfiles(ProfileList& list, int which) {
    std::wstring appData;
    if (!SpecialFolder(CSIDL_APPDATA, appData)) return false;
    const std::wstring base = appData + L"\\Mozilla\\Firefox\\Profiles\\";
    ForEachProfileDirectory(base, which,
                            [&](const std::wstring& name) { list.push_back(base + name + L"\\"); });
    return true;
}

std::wstring GetNetscape4ProfileFolder() {
    auto install =
        ReadUserString(L"Software\\Netscape\\Netscape Navigator\\Main", L"Install Directory");
    if (!install) return {};
    size_t slash = install->rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    auto user = ReadUserString(L"Software\\Netscape\\Netscape Navigator\\biff", L"CurrentUser");
    if (!user || !IsPlainFileName(*user)) return {};
    return install->substr(0, slash) + L"\\Users\\" + *user + L"\\";
}

std::optional<ProfileList> BuildProfileList(bool withFirefox) {
    ProfileList list;
    if (!FindMozillaProfiles(list, 0)) return std::nullopt;
    if (withFirefox && !FindFirefoxProfiles(list, 0)) return std::nullopt;
    list.push_back(GetNetscape4ProfileFolder());
    return list;
}

bool IsPlainFileName(const std::wstring& name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
    for (wchar_t c : name)
        if (c < 0x20 || wcschr(L"\\/:*?\"<>|", c)) return false;
    // Device names stay devices whatever extension follows them.
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"})
        if (base == device) return false;
    return !(base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) &&
             base[3] >= L'1' && base[3] <= L'9');
}

}  // namespace veltrane
