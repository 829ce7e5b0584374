#include "support/test_registry.h"

#include <shlwapi.h>

#include <vector>

#include "sysaccess/handles.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

ScopedTestKey::ScopedTestKey(const std::wstring& name, HKEY root)
    : root_(root), path_(L"Software\\VeltraneTests\\" + name) {
    DeleteTree(root_, path_);
    CreateKey(root_, path_);
}

ScopedTestKey::~ScopedTestKey() { DeleteTree(root_, path_); }

ScopedKeyDenial::ScopedKeyDenial(HKEY root, const std::wstring& key, DWORD rights)
    : root_(root), key_(key) {
    std::optional<SecurityDescriptorBuffer> saved = TryGetRegKeyDacl(root, key.c_str());
    if (!saved) return;
    saved_ = std::move(*saved);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return;
    BYTE buffer[256] = {};
    ACL* acl = reinterpret_cast<ACL*>(buffer);
    SECURITY_DESCRIPTOR descriptor;
    const bool built = InitializeAcl(acl, sizeof(buffer), ACL_REVISION) &&
                       AddAccessDeniedAce(acl, ACL_REVISION, rights, everyone) &&
                       AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone) &&
                       InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                       SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    FreeSid(everyone);
    applied_ = built && SetRegKeyDacl(root, key.c_str(), &descriptor, false).Written();
}

ScopedKeyDenial::~ScopedKeyDenial() {
    if (applied_) (void)SetRegKeyDacl(root_, key_.c_str(), saved_.data(), false);
}

void CreateKey(HKEY root, const std::wstring& key) {
    RegKey created;
    RegCreateKeyW(root, key.c_str(), created.Receive());
}

void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& data, DWORD type) {
    RegKey created;
    RegCreateKeyW(root, key.c_str(), created.Receive());
    RegSetValueExW(created.Get(), name.c_str(), 0, type,
                   reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD data) {
    RegKey created;
    RegCreateKeyW(root, key.c_str(), created.Receive());
    RegSetValueExW(created.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                   sizeof(data));
}

void SetBinary(HKEY root, const std::wstring& key, const std::wstring& name, const void* data,
               DWORD size) {
    RegKey created;
    RegCreateKeyW(root, key.c_str(), created.Receive());
    RegSetValueExW(created.Get(), name.c_str(), 0, REG_BINARY, static_cast<const BYTE*>(data),
                   size);
}

bool KeyExists(HKEY root, const std::wstring& key) {
    RegKey opened;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Receive()) == ERROR_SUCCESS;
}

bool ValueExists(HKEY root, const std::wstring& key, const std::wstring& name) {
    RegKey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS)
        return false;
    return RegQueryValueExW(opened.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool GetString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring& data,
               DWORD* type) {
    RegKey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, 0);
    DWORD valueType = 0;
    if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &valueType,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    data = buffer.data();
    if (type) *type = valueType;
    return true;
}

bool GetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD& data) {
    DWORD size = sizeof(data);
    return SHGetValueW(root, key.c_str(), name.c_str(), nullptr, &data, &size) == ERROR_SUCCESS;
}

void DeleteTree(HKEY root, const std::wstring& key) {
    RegKey opened;
    if (RegOpenKeyExW(root, key.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE,
                      opened.Receive()) != ERROR_SUCCESS)
        return;
    if (!TryIsRegLink(opened.Get()).value_or(false))
        for (const std::wstring& name : ListSubKeyNames(opened.Get()))
            DeleteTree(opened.Get(), name);
    (void)DeleteOpenRegKey(opened.Get());
}

bool MakeRegLink(HKEY root, const std::wstring& link, const std::wstring& target) {
    std::wstring base;
    if (root == HKEY_CURRENT_USER)
        base = L"\\REGISTRY\\USER\\" + GetCurrentUserSidString();
    else if (root == HKEY_LOCAL_MACHINE)
        base = L"\\REGISTRY\\MACHINE";
    else
        return false;
    const std::wstring name = base + L"\\" + target;
    RegKey created;
    DWORD disposition = 0;
    return RegCreateKeyExW(root, link.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                           KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, created.Receive(),
                           &disposition) == ERROR_SUCCESS &&
           disposition == REG_CREATED_NEW_KEY &&
           RegSetValueExW(created.Get(), L"SymbolicLinkValue", 0, REG_LINK,
                          reinterpret_cast<const BYTE*>(name.c_str()),
                          static_cast<DWORD>(name.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::vector<std::wstring> KeyAccessList(HKEY root, const std::wstring& key) {
    std::vector<std::wstring> entries;
    std::optional<SecurityDescriptorBuffer> list = TryGetRegKeyDacl(root, key.c_str());
    if (!list) return entries;
    SecurityDescriptorBuffer& descriptor = *list;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    ACL* acl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) || !present ||
        !acl)
        return entries;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(acl, index, &ace)) break;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            entries.push_back(L"type " + std::to_wstring(header->AceType));
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        wchar_t text[64];
        swprintf(text, 64, L" 0x%lx 0x%x", static_cast<unsigned long>(allowed->Mask),
                 static_cast<unsigned>(header->AceFlags));
        entries.push_back(SidToString(&allowed->SidStart) + text);
    }
    return entries;
}

std::wstring PendingRenameOperations() {
    RegKey opened;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ, opened.Receive()) != ERROR_SUCCESS)
        return L"";
    const wchar_t* name = L"PendingFileRenameOperations";
    DWORD size = 0;
    if (RegQueryValueExW(opened.Get(), name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return L"";
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(opened.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS)
        return L"";
    text.resize(size / sizeof(wchar_t));
    return text;
}

}  // namespace veltrane
