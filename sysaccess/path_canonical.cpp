#include "sysaccess/path_canonical.h"

#include <windows.h>

#include <array>

namespace veltrane {

namespace {

// A subst drive may stand for a folder on another subst drive; a loop of them ends here.
constexpr int kMaxAliasSteps = 8;

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && SamePath(text.substr(0, prefix.size()), prefix);
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool HasDrive(std::wstring_view path) {
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

// What the system's name space maps a drive letter to: "\??\C:\Work" for a
// subst drive, "\Device\HarddiskVolume1" for a volume. Empty when unknown.
std::wstring DosDeviceTarget(wchar_t letter) {
    const wchar_t drive[] = {letter, L':', 0};
    std::array<wchar_t, 1024> target = {};
    if (QueryDosDeviceW(drive, target.data(), static_cast<DWORD>(target.size())) == 0) return {};
    return target.data();  // the first of the list is the one in use
}

// "X:\rest" for a device path ("\Device\HarddiskVolume1\rest") whose device a
// drive letter names exactly; empty when none does.
std::wstring DriveForDevicePath(std::wstring_view devicePath) {
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const std::wstring device = DosDeviceTarget(letter);
        if (device.empty() || device.rfind(L"\\??\\", 0) == 0) continue;
        if (!StartsWithNoCase(devicePath, device)) continue;
        std::wstring_view rest = devicePath.substr(device.size());
        if (!rest.empty() && rest.front() != L'\\') continue;
        return std::wstring{letter, L':'} +
               (rest.empty() ? std::wstring(L"\\") : std::wstring(rest));
    }
    return {};
}

// The path behind the namespace prefixes that only tell the system how to read
// it; empty for a device or volume that no drive letter names.
std::wstring DropNamespacePrefix(const std::wstring& path) {
    if (StartsWithNoCase(path, L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
    if (StartsWithNoCase(path, L"\\\\?\\GLOBALROOT\\")) return DriveForDevicePath(path.substr(14));
    for (const wchar_t* prefix : {L"\\\\?\\", L"\\??\\", L"\\\\.\\"}) {
        if (!StartsWithNoCase(path, prefix)) continue;
        std::wstring rest = path.substr(4);
        if (HasDrive(rest)) return rest;
        if (StartsWithNoCase(rest, L"Volume{")) {
            // A volume by its name: the drive it is mounted as.
            const size_t end = rest.find(L'\\');
            const std::wstring volume =
                L"\\\\?\\" + rest.substr(0, end == std::wstring::npos ? rest.size() : end) + L"\\";
            std::array<wchar_t, 512> names = {};
            DWORD length = 0;
            if (!GetVolumePathNamesForVolumeNameW(volume.c_str(), names.data(),
                                                  static_cast<DWORD>(names.size()), &length) ||
                !HasDrive(names.data()))
                return {};
            return std::wstring(names.data(), 2) +
                   (end == std::wstring::npos ? std::wstring(L"\\") : rest.substr(end));
        }
        return {};
    }
    return path;
}

// "\\server\share...": a server by its name, not the "?" or "." of the
// system's own namespaces.
bool IsServerShare(std::wstring_view path) {
    if (path.size() < 3 || path.substr(0, 2) != L"\\\\") return false;
    const std::wstring_view host = path.substr(2, path.find(L'\\', 2) - 2);
    return !host.empty() && host != L"?" && host != L".";
}

std::wstring ComputerName(COMPUTER_NAME_FORMAT format) {
    std::array<wchar_t, 256> name = {};
    DWORD length = static_cast<DWORD>(name.size());
    return GetComputerNameExW(format, name.data(), &length) ? std::wstring(name.data(), length)
                                                            : std::wstring();
}

// This machine as a server name: its own names and the loopback addresses.
bool IsThisMachine(std::wstring_view host) {
    if (host.empty()) return false;
    if (SamePath(host, L"localhost") || host == L"." || host == L"::1" || host == L"[::1]" ||
        SamePath(host, L"0--1.ipv6-literal.net"))
        return true;
    if (host.rfind(L"127.", 0) == 0 &&
        host.find_first_not_of(L"0123456789.") == std::wstring_view::npos)
        return true;
    for (COMPUTER_NAME_FORMAT format :
         {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
        const std::wstring name = ComputerName(format);
        if (!name.empty() && SamePath(host, name)) return true;
    }
    return false;
}

// "X:\rest" for "\\<this machine>\X$\rest"; the path itself otherwise.
std::wstring FromAdministrativeShare(const std::wstring& path) {
    if (path.rfind(L"\\\\", 0) != 0) return path;
    const size_t hostEnd = path.find(L'\\', 2);
    if (hostEnd == std::wstring::npos) return path;
    const size_t shareEnd = path.find(L'\\', hostEnd + 1);
    const std::wstring_view share = std::wstring_view(path).substr(
        hostEnd + 1, (shareEnd == std::wstring::npos ? path.size() : shareEnd) - hostEnd - 1);
    if (share.size() != 2 || !IsDriveLetter(share[0]) || share[1] != L'$' ||
        !IsThisMachine(std::wstring_view(path).substr(2, hostEnd - 2)))
        return path;
    return std::wstring{share[0], L':', L'\\'} +
           (shareEnd == std::wstring::npos ? std::wstring() : path.substr(shareEnd + 1));
}

std::wstring FullPath(const std::wstring& path) {
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return {};
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (length == 0 || length >= full.size()) return {};
    full.resize(length);
    return full;
}

// The folder a subst drive stands for, in its place; the path itself when
// its drive is a volume of its own.
std::wstring ResolveDriveAlias(const std::wstring& path) {
    if (!HasDrive(path)) return path;
    const std::wstring target = DosDeviceTarget(path[0]);
    if (target.rfind(L"\\??\\", 0) == 0) {
        std::wstring folder = target.substr(4);
        while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
        return folder + path.substr(2);  // FullPath gave "X:\..."
    }
    // A drive defined straight onto a folder of a device.
    const std::wstring drive = DriveForDevicePath(target);
    if (drive.size() > 3 && !SamePath(drive.substr(0, 2), path.substr(0, 2)))
        return drive + path.substr(2);
    return path;
}

// Short (8.3) names name the same place; only an existing path has a long
// form. Every short name holds a "~", and looking one up costs a trip to the
// file system per part of the path, so only those are looked up. Wine's
// GetLongPathNameW overruns its own MAX_PATH buffer on a longer name.
std::wstring LongPath(const std::wstring& path) {
    if (path.size() >= MAX_PATH || path.find(L'~') == std::wstring::npos) return path;
    DWORD length = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (length == 0) return path;
    std::wstring result(length, L'\0');
    length = GetLongPathNameW(path.c_str(), result.data(), length);
    if (length == 0 || length >= result.size()) return path;
    result.resize(length);
    return result;
}

}  // namespace

bool SamePath(std::wstring_view first, std::wstring_view second) {
    return first.size() == second.size() &&
           (first.empty() ||
            CompareStringOrdinal(first.data(), static_cast<int>(first.size()), second.data(),
                                 static_cast<int>(second.size()), TRUE) == CSTR_EQUAL);
}

bool IsPathBelow(std::wstring_view inner, std::wstring_view outer) {
    if (outer.empty() || inner.size() <= outer.size() ||
        !SamePath(inner.substr(0, outer.size()), outer))
        return false;
    return outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

std::wstring CanonicalPath(const std::wstring& path) {
    if (path.empty()) return {};
    std::wstring current = path;
    for (wchar_t& c : current)
        if (c == L'/') c = L'\\';
    for (int step = 0; step < kMaxAliasSteps; ++step) {
        current = DropNamespacePrefix(current);
        if (current.empty()) return {};
        // ".." above a subst drive's root stays at that root, as the system reads it.
        current = FullPath(FromAdministrativeShare(current));
        if (current.empty()) return {};
        const std::wstring resolved = ResolveDriveAlias(current);
        if (resolved == current) {
            // What is left must name a drive or another machine's share:
            // "\\?\unix\..." (Wine's way to Linux files outside every
            // drive) or a device has no place here.
            if (!HasDrive(current) && !IsServerShare(current)) return {};
            current = LongPath(current);
            while (current.size() > 3 && current.back() == L'\\') current.pop_back();
            return current;
        }
        current = resolved;
    }
    return {};  // a loop of drives standing for each other
}

std::wstring ExtendedLengthPath(const std::wstring& canonical) {
    if (canonical.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + canonical.substr(2);
    return L"\\\\?\\" + canonical;
}

}  // namespace veltrane
