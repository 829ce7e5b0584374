#include "plugins/browser/protected_storage.h"

#include <optional>
#include <string_view>
#include <vector>

#include "engine/statistics.h"
#include "plugins/browser/url_domain.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/handles.h"
#include "sysaccess/os_version.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

namespace {

constexpr wchar_t kProviderKey[] = L"Software\\Microsoft\\Protected Storage System Provider\\";
constexpr DWORD kItemsPerCheck = 100;
// What a form error's title says the entries are.
constexpr wchar_t kFormStoreName[] = L"Internet Explorer Auto-Complete Form";

// The SID in the token of this process, or an empty buffer.
std::vector<BYTE> CurrentUserSid() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> user(size);
    if (!GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size)) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    if (!CopySid(static_cast<DWORD>(copy.size()), copy.data(), sid)) return {};
    return copy;
}

std::wstring LogonName() {
    wchar_t name[260] = {};
    DWORD size = 260;
    if (!GetUserNameW(name, &size)) return {};
    return name;
}

// Full access for the current user on the item keys for the length of one
// operation; the account key gets its own list back at the end.
class StorageAccess {
public:
    // On other Windows than the NT family there is nothing to widen.
    StorageAccess() : nt_(IsWindowsNT()) {
        if (!nt_) {
            keys_ = GetProtectedStorageKeys(LogonName());
            ready_ = true;
            return;
        }
        sid_ = CurrentUserSid();
        if (sid_.empty()) return;
        keys_ = GetProtectedStorageKeys(SidToString(sid_.data()));
        saved_ = TryGetRegKeyDacl(HKEY_CURRENT_USER, keys_.account.c_str());
        std::optional<HeapAcl> acl = TryBuildFullAccessDacl(sid_.data(), widened_);
        if (!acl) return;
        acl_ = std::move(*acl);
        ready_ = true;
        Widen(keys_.account, false);
        Widen(keys_.data, false);
        Widen(keys_.type, true);
    }
    ~StorageAccess() {
        // Putting the list back has no one to tell when it fails: the key
        // keeps the wider list, which grants only this user and the system.
        if (saved_ && !saved_->empty())
            (void)SetRegKeyDacl(HKEY_CURRENT_USER, keys_.account.c_str(), saved_->data(), false);
    }
    StorageAccess(const StorageAccess&) = delete;
    StorageAccess& operator=(const StorageAccess&) = delete;

    bool IsNt() const { return nt_; }
    // False when the identifier or the widened list could not be made.
    bool IsReady() const { return ready_; }
    const ProtectedStorageKeys& Keys() const { return keys_; }
    void WidenContainer() { Widen(keys_.container, true); }

private:
    void Widen(const std::wstring& key, bool recursive) {
        // A key that keeps its list refuses the deletions below, and each of
        // those is reported where it fails.
        if (nt_ && ready_)
            (void)SetRegKeyDacl(HKEY_CURRENT_USER, key.c_str(), &widened_, recursive);
    }

    bool nt_;
    bool ready_ = false;
    std::vector<BYTE> sid_;
    ProtectedStorageKeys keys_;
    std::optional<SecurityDescriptorBuffer> saved_;
    SECURITY_DESCRIPTOR widened_ = {};
    HeapAcl acl_;
};

// What the item key holds now; nothing when it is gone, a link or cannot be read.
std::optional<FormItemSeal> ReadFormItemSeal(HKEY root, const std::wstring& keyPath) {
    const OpenedRegKey key = OpenRegKeyNoLink(root, keyPath.c_str(), KEY_READ);
    if (key.kind != OpenedRegKey::Kind::kOpened) return std::nullopt;
    FormItemSeal seal;
    std::vector<std::wstring> names;
    GetRegValuesList(nullptr, key.key.Get(), nullptr, &names, nullptr, &seal.subKeys);
    for (const std::wstring& name : names) {
        const RegValueSealRead read = ReadRegValueSeal(key.key.Get(), name.c_str());
        if (read.kind != RegValueSealRead::Kind::kRead) return std::nullopt;
        seal.values[name] = read.seal;
    }
    return seal;
}

// The index item Internet Explorer keeps beside a saved value ("name:StringIndex"
// beside "name:StringData"); empty for another item.
std::wstring IndexItemOf(const std::wstring& itemName) {
    constexpr std::wstring_view kData = L"StringData";
    if (itemName.size() < kData.size() ||
        itemName.compare(itemName.size() - kData.size(), kData.size(), kData) != 0)
        return {};
    return itemName.substr(0, itemName.size() - kData.size()) + L"StringIndex";
}

}  // namespace

ProtectedStorageKeys GetProtectedStorageKeys(const std::wstring& accountName) {
    ProtectedStorageKeys keys;
    keys.account = kProviderKey + accountName;
    keys.data = keys.account + L"\\Data";
    keys.type = keys.data + L"\\" + kFormsItemType;
    keys.container = keys.type + L"\\" + kFormsItemType;
    return keys;
}

std::wstring GetAutoCompleteItemDomain(const std::wstring& itemName) {
    size_t colon = itemName.find(L':');
    if (colon == std::wstring::npos) return L"control " + itemName;
    if (itemName.find(L':', colon + 1) == std::wstring::npos)
        return L"control " + itemName.substr(0, colon);
    return GetUrlDomain(itemName);
}

bool ReadAutoCompleteItems(DomainMap& domains, IRunProgress& run, FormItemSeals& seals) {
    seals.clear();
    StorageAccess access;
    if (!access.IsReady()) return true;
    const std::wstring& container = access.Keys().container;
    HKEY root = HKEY_CURRENT_USER;
    // Opened as itself: were it a registry link, its items would be another key's.
    auto open = [&container](HKEY where) {
        return std::move(OpenRegKeyNoLink(where, container.c_str(), MAXIMUM_ALLOWED).key);
    };
    RegKey key = open(root);
    if (!key && !access.IsNt()) {
        root = HKEY_LOCAL_MACHINE;
        key = open(root);
    }
    if (!key || run.IsCancelled()) return true;

    run.ReportProgress(L"");
    std::wstring dots = L".";
    const std::vector<std::wstring> itemNames = ListSubKeyNames(key.Get());
    for (size_t index = 0; index < itemNames.size(); ++index) {
        if (index > 0 && index % kItemsPerCheck == 0) {
            if (run.IsCancelled()) break;
            run.ReportProgress(dots);
            dots += L'.';
        }
        const std::wstring& itemName = itemNames[index];
        if (itemName.empty() || itemName.back() != L'a') continue;
        std::wstring domainName = GetAutoCompleteItemDomain(itemName);
        DomainInfo& domain = FindOrAddDomain(domains, domainName);
        ++domain.itemCount;
        const std::wstring indexItem = IndexItemOf(itemName);
        for (const std::wstring& name : {itemName, indexItem}) {
            if (name.empty()) continue;
            const std::wstring keyPath = container + L"\\" + name;
            std::optional<FormItemSeal> seal = ReadFormItemSeal(root, keyPath);
            // An index that is not there is nothing to list; a saved value
            // that cannot be read is listed, and its clean says why it stays.
            if (!seal && name == indexItem) continue;
            if (seal) seals[keyPath] = std::move(*seal);
            domain.regItems.push_back({domainName,
                                       root,
                                       keyPath,
                                       name == indexItem ? container + L"\\" + itemName : L"",
                                       {}});
        }
    }
    return true;
}

bool DeleteAutoCompleteItems(DomainMap& domains, IRunProgress& run, const FormItemSeals& seals) {
    StorageAccess access;
    access.WidenContainer();
    bool result = access.IsReady();
    bool cancelled = false;
    for (auto& [name, domain] : domains) {
        if (!access.IsReady()) break;
        if ((cancelled = run.IsCancelled())) break;
        domain.result = DomainInfo::kDeleted;
        domain.kept = {};
        for (RegItem& item : domain.regItems) item.kept = {};
        std::map<std::wstring, KeepVerdict> keptValues;  // by the saved value's key path
        size_t keptCount = 0;
        for (RegItem& item : domain.regItems) {
            if ((cancelled = run.IsCancelled())) break;
            // Kept before anything is read: a kept item stays whatever it holds now.
            // An index stays with its saved value.
            const auto owner = keptValues.find(item.owner);
            item.kept = owner != keptValues.end() && owner->second.Keeps()
                            ? owner->second
                            : run.MayRemove(RegKeyItemRef(item.root, item.keyPath));
            if (item.owner.empty()) keptValues[item.keyPath] = item.kept;
            if (item.kept.Keeps()) {
                ++keptCount;
                continue;
            }
            const std::wstring where = FormatRegPath(item.root, item.keyPath, L"");
            // Written again since the scan, it is another item than the one listed: it stays.
            const auto sealed = seals.find(item.keyPath);
            const std::optional<FormItemSeal> now = ReadFormItemSeal(item.root, item.keyPath);
            if (now && (sealed == seals.end() || *now != sealed->second)) {
                domain.result = DomainInfo::kError;
                domain.error
                    .emplace(
                        ItemError::kStoreEntries, domain.name, ItemError::kOwnText, 0, false, where,
                        ChangedSinceScan(sealed == seals.end()
                                             ? L"the item could not be read at the scan"
                                             : L"the item holds other data than the scan read"))
                    .SetStore(kFormStoreName);
                result = false;
                break;
            }
            const RegDeleteOutcome deleted = DeleteRegKey(item.root, item.keyPath.c_str());
            if (deleted.Deleted()) continue;
            domain.result = DomainInfo::kError;
            if (deleted.kind == RegDeleteOutcome::Kind::kLink ||
                deleted.kind == RegDeleteOutcome::Kind::kLinkInside)
                domain.error
                    .emplace(ItemError::kStoreEntries, domain.name, ItemError::kOwnText, 0, false,
                             where,
                             deleted.kind == RegDeleteOutcome::Kind::kLink ? kRegistryLinkLeft
                                                                           : kRegistryLinkInside)
                    .SetStore(kFormStoreName);
            else
                domain.error
                    .emplace(ItemError::kStoreEntries, domain.name, ItemError::kSystemMessage,
                             deleted.error, false, where, L"Cannot delete registry key")
                    .SetStore(kFormStoreName);
            result = false;
            break;
        }
        if (cancelled) {
            domain.result = DomainInfo::kNotProcessed;
            break;
        }
        if (domain.result == DomainInfo::kDeleted && keptCount == domain.regItems.size() &&
            keptCount > 0) {
            domain.result = ItemOutcome::kKept;
            domain.kept = domain.regItems.front().kept;
        }
    }
    if (result && !cancelled) {
        // The type's keys go only when emptied: an item written since the scan stays in them.
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            if (root == HKEY_LOCAL_MACHINE && access.IsNt()) break;
            for (const std::wstring* key : {&access.Keys().container, &access.Keys().type})
                (void)DeleteEmptyRegKey(root, key->c_str());
        }
    }
    if (!cancelled) {
        for (auto& [name, domain] : domains) {
            if (domain.result != DomainInfo::kNotProcessed) continue;
            domain.result = DomainInfo::kError;
            domain.error
                .emplace(ItemError::kStoreEntries, domain.name, ItemError::kUnknown, 0, false, L"",
                         kCannotDeleteSubitem)
                .SetStore(kFormStoreName);
            result = false;
        }
    }
    return result;
}

}  // namespace veltrane
