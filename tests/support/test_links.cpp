#include "support/test_links.h"

#include <windows.h>

#include <cstring>

namespace veltrane {

namespace {

using ToUnixName = char*(CDECL*)(LPCWSTR);

ToUnixName WineUnixName() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<ToUnixName>(
                        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                  : nullptr;
}

// The Linux name of a path on the sandbox's C: drive; empty for anything else.
std::string UnixNameOnDriveC(ToUnixName toUnix, const std::wstring& path) {
    if (path.size() < 3 || (path[0] != L'C' && path[0] != L'c') || path[1] != L':' ||
        path.find(L"..") != std::wstring::npos)
        return {};
    auto convert = [toUnix](const wchar_t* name) {
        char* unix = toUnix(name);
        std::string text = unix ? unix : "";
        HeapFree(GetProcessHeap(), 0, unix);
        return text;
    };
    std::string drive = convert(L"C:\\");
    std::string name = convert(path.c_str());
    if (drive.empty() || name.compare(0, drive.size(), drive) != 0) return {};
    return name;
}

#if defined(__x86_64__)
long LinuxCall(long number, const void* first, const void* second) {
    long result;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(number), "D"(first), "S"(second)
                     : "rcx", "r11", "memory");
    return result;
}
constexpr long kLinuxLstat = 6;
constexpr long kLinuxUnlink = 87;
constexpr size_t kStatModeOffset = 24;  // st_mode in x86_64 struct stat
constexpr long kLinuxSymlink = 88;
#endif

}  // namespace

namespace {

// Linux makes the same link for a file and a folder; Windows wants to know which.
bool MakeLink(const std::wstring& link, const std::wstring& target, DWORD windowsFlags) {
    ToUnixName toUnix = WineUnixName();
    if (!toUnix) return CreateSymbolicLinkW(link.c_str(), target.c_str(), windowsFlags);
#if defined(__x86_64__)
    std::string unixLink = UnixNameOnDriveC(toUnix, link);
    std::string unixTarget = UnixNameOnDriveC(toUnix, target);
    if (unixLink.empty() || unixTarget.empty()) return false;
    return LinuxCall(kLinuxSymlink, unixTarget.c_str(), unixLink.c_str()) == 0;
#else
    return false;
#endif
}

}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    return MakeLink(link, target, SYMBOLIC_LINK_FLAG_DIRECTORY);
}

bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
    return MakeLink(link, target, 0);
}

bool RemoveFolderLink(const std::wstring& link) {
    ToUnixName toUnix = WineUnixName();
    if (!toUnix) {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // not there
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(link.c_str()) != 0
                                                       : DeleteFileW(link.c_str()) != 0;
    }
#if defined(__x86_64__)
    std::string unixLink = UnixNameOnDriveC(toUnix, link);
    if (unixLink.empty()) return false;
    // Only ever a link (a dangling one too): unlink would remove a file just as well.
    alignas(8) unsigned char status[256] = {};
    if (LinuxCall(kLinuxLstat, unixLink.c_str(), status) != 0) return true;  // not there
    unsigned mode = 0;
    memcpy(&mode, status + kStatModeOffset, sizeof(mode));
    if ((mode & 0170000) != 0120000) return false;
    return LinuxCall(kLinuxUnlink, unixLink.c_str(), nullptr) == 0;
#else
    return false;
#endif
}

}  // namespace veltrane
