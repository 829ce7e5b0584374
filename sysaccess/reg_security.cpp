#include "sysaccess/reg_security.h"

#include <cwchar>

#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

std::wstring SidToString(PSID sid) {
    if (sid == nullptr || !IsValidSid(sid)) return {};
    PSID_IDENTIFIER_AUTHORITY authority = GetSidIdentifierAuthority(sid);
    wchar_t part[32];
    swprintf(part, 32, L"S-1-%lu", static_cast<unsigned long>(authority->Value[5]));
    std::wstring text = part;
    UCHAR count = *GetSidSubAuthorityCount(sid);
    for (UCHAR i = 0; i < count; ++i) {
        swprintf(part, 32, L"-%lu", static_cast<unsigned long>(*GetSidSubAuthority(sid, i)));
        text += part;
    }
    return text;
}

std::wstring GetCurrentUserSidString() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
    return SidToString(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

std::optional<SecurityDescriptorBuffer> TryGetRegKeyDacl(HKEY root, const wchar_t* keyPath) {
    const RegKey key = OpenRegKey(root, keyPath, READ_CONTROL);
    if (!key) return std::nullopt;
    DWORD size = 0;
    LSTATUS result = RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    if (result == ERROR_SUCCESS) return SecurityDescriptorBuffer{};
    if (result != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::nullopt;
    SecurityDescriptorBuffer descriptor(size);
    if (RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return descriptor;
}

std::optional<HeapAcl> TryBuildFullAccessDacl(PSID sid, SECURITY_DESCRIPTOR& descriptor) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID system = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                  &system))
        return std::nullopt;
    DWORD size = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) +
                 GetLengthSid(sid) + GetLengthSid(system);
    HeapAcl list(static_cast<ACL*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size)));
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    bool ok = list && InitializeAcl(list.get(), size, ACL_REVISION) &&
              AddAccessAllowedAceEx(list.get(), ACL_REVISION, inherit, KEY_ALL_ACCESS, sid) &&
              AddAccessAllowedAceEx(list.get(), ACL_REVISION, inherit, KEY_ALL_ACCESS, system) &&
              InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&descriptor, TRUE, list.get(), FALSE);
    FreeSid(system);
    if (!ok) return std::nullopt;
    return list;
}

namespace {

// Applies the list to the key behind `parent`\`keyPath` and, when recursive,
// to every key below it. Each key is opened as itself: a link key gets the
// list on itself only (an ordinary open would give it to the key it points
// to), and is never entered. The list is applied before the key is asked
// anything, since reading may be what it grants.
RegWriteOutcome ApplyKeyDacl(HKEY parent, const wchar_t* keyPath, PSECURITY_DESCRIPTOR descriptor,
                             bool recursive) {
    {
        RegKey key;
        LSTATUS status =
            RegOpenKeyExW(parent, keyPath, REG_OPTION_OPEN_LINK, WRITE_DAC, key.Receive());
        if (status == ERROR_SUCCESS)
            status = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor);
        if (status != ERROR_SUCCESS) return RegWriteOutcome::Of(status);
    }
    const RegWriteOutcome applied = RegWriteOutcome::Of(ERROR_SUCCESS);
    if (!recursive) return applied;
    const OpenedRegKey opened = OpenRegKeyNoLink(parent, keyPath, KEY_READ);
    if (opened.kind == OpenedRegKey::Kind::kLink) return applied;
    if (opened.kind != OpenedRegKey::Kind::kOpened) return {RegWrite::kFailed, opened.error};
    for (const std::wstring& name : ListSubKeyNames(opened.key.Get()))
        (void)ApplyKeyDacl(opened.key.Get(), name.c_str(), descriptor, true);
    return applied;
}

}  // namespace

RegWriteOutcome SetRegKeyDacl(HKEY root, const wchar_t* keyPath, PSECURITY_DESCRIPTOR descriptor,
                              bool recursive) {
    if (keyPath == nullptr) return {RegWrite::kFailed, ERROR_INVALID_PARAMETER};
    return ApplyKeyDacl(root, keyPath, descriptor, recursive);
}

}  // namespace veltrane
