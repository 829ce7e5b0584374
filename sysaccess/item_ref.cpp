// Names of the items a clean may remove, as report rows and removal checks share them.
#include "sysaccess/item_ref.h"

namespace veltrane {

ItemRef FileItemRef(const std::wstring& canonicalPath, FILETIME lastWrite) {
    return {ItemKind::kFile, canonicalPath, {}, lastWrite};
}

ItemRef FolderItemRef(const std::wstring& canonicalPath) {
    return {ItemKind::kFolder, canonicalPath, {}, {}};
}

ItemRef RegKeyItemRef(HKEY root, const std::wstring& keyPath) {
    std::wstring place = ShortRootName(root);
    if (!keyPath.empty()) place += L"\\" + keyPath;
    return {ItemKind::kRegKey, place, {}, {}};
}

ItemRef RegValueItemRef(HKEY root, const std::wstring& keyPath, const std::wstring& valueName) {
    ItemRef item = RegKeyItemRef(root, keyPath);
    item.kind = ItemKind::kRegValue;
    item.valueName = valueName;
    return item;
}

ItemRef SiteItemRef(const std::wstring& domain) { return {ItemKind::kSite, domain, {}, {}}; }

ItemRef StoreRowItemRef(const std::wstring& storePath, const std::wstring& rowName) {
    return {ItemKind::kStoreRow, storePath, rowName, {}};
}

std::wstring ShortRootName(HKEY root) {
    if (root == HKEY_CURRENT_USER) return L"HKCU";
    if (root == HKEY_LOCAL_MACHINE) return L"HKLM";
    if (root == HKEY_CLASSES_ROOT) return L"HKCR";
    if (root == HKEY_USERS) return L"HKU";
    if (root == HKEY_CURRENT_CONFIG) return L"HKCC";
    return {};
}

std::wstring ItemKey(const ItemRef& item) {
    switch (item.kind) {
        case ItemKind::kFile:
            return L"file:" + item.place;
        case ItemKind::kFolder:
            return L"folder:" + item.place;
        case ItemKind::kRegKey:
            return L"key:" + item.place;
        case ItemKind::kRegValue:
            return L"value:" + item.place + L"|" + item.valueName;
        case ItemKind::kSite:
            return L"site:" + item.place;
        case ItemKind::kStoreEntry:
            return L"entry:" + item.place + L"|" + item.valueName;
        case ItemKind::kStoreRow:
            return L"row:" + item.place + L"|" + item.valueName;
    }
    return {};
}

}  // namespace veltrane
