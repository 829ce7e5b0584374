#include "support/registry_links.h"

#include "sysaccess/handles.h"
#include "sysaccess/reg_security.h"

namespace veltrane {

namespace {

constexpr wchar_t kLinkValue[] = L"SymbolicLinkValue";

// The kernel's name of a root key, which is what a link value holds.
std::wstring KernelName(HKEY root, const std::wstring& key) {
    if (root == HKEY_LOCAL_MACHINE) return L"\\Registry\\Machine\\" + key;
    return L"\\Registry\\User\\" + GetCurrentUserSidString() + L"\\" + key;
}

using DeleteKeyCall = LONG(NTAPI*)(HANDLE);

}  // namespace

bool MakeRegistryLink(HKEY root, const std::wstring& key, HKEY targetRoot,
                      const std::wstring& targetKey) {
    RegKey link;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                        nullptr, link.Receive(), &disposition) != ERROR_SUCCESS)
        return false;
    if (disposition != REG_CREATED_NEW_KEY) return false;
    const std::wstring target = KernelName(targetRoot, targetKey);
    // Stored without a terminator, as the kernel expects.
    return RegSetValueExW(link.Get(), kLinkValue, 0, REG_LINK,
                          reinterpret_cast<const BYTE*>(target.c_str()),
                          static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RemoveRegistryLink(HKEY root, const std::wstring& key) {
    RegKey link;
    LONG opened = RegOpenKeyExW(root, key.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE,
                                link.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS || !RegistryLinkTarget(link.Get())) return false;
    // RegDeleteKey opens the name again, and so would follow the link.
    auto deleteKey = reinterpret_cast<DeleteKeyCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    return deleteKey && deleteKey(link.Get()) == 0;
}

std::optional<std::wstring> RegistryLinkTarget(HKEY opened) {
    wchar_t target[1024] = {};
    DWORD size = sizeof(target) - sizeof(wchar_t);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(opened, kLinkValue, nullptr, &type, reinterpret_cast<BYTE*>(target),
                         &size) != ERROR_SUCCESS ||
        type != REG_LINK)
        return std::nullopt;
    return std::wstring(target, size / sizeof(wchar_t));
}

}  // namespace veltrane
