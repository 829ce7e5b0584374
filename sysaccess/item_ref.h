#pragma once
// What a clean is about to remove, named the same way by the scan report that
// shows it and by the removal routine that asks whether it may go, and the
// answer to that question. The user's unticked rows, the lasting exclusions
// and the age limit all answer through KeepVerdict.
#include <windows.h>

#include <string>

namespace veltrane {

enum class ItemKind { kFile, kFolder, kRegKey, kRegValue, kSite, kStoreEntry, kStoreRow };

struct ItemRef {
    ItemKind kind = ItemKind::kFile;
    // kFile, kFolder: the canonical path ("C:\Users\me\Temp\a.tmp");
    // kRegKey, kRegValue: the key with its short root ("HKCU\Software\X");
    // kSite: the domain as the store keeps it ("example.com");
    // kStoreEntry: the store the entry lives in (a database, a URL cache folder);
    // kStoreRow: the database (or file) whose records a report row groups, by its path.
    std::wstring place;
    // kRegValue: the value's name; kStoreEntry: the entry as the store names it
    // (a URL, a program's row of activities); kStoreRow: the row's name (a site).
    std::wstring valueName;
    // kFile: the last write time when known (zero when not), for the age limit.
    FILETIME lastWrite = {};
};

ItemRef FileItemRef(const std::wstring& canonicalPath, FILETIME lastWrite = {});
ItemRef FolderItemRef(const std::wstring& canonicalPath);
ItemRef RegKeyItemRef(HKEY root, const std::wstring& keyPath);
ItemRef RegValueItemRef(HKEY root, const std::wstring& keyPath, const std::wstring& valueName);
ItemRef SiteItemRef(const std::wstring& domain);
// One row of a browser's store: the records of `rowName` (a domain, a form
// field) in the database at `storePath`, and nowhere else.
ItemRef StoreRowItemRef(const std::wstring& storePath, const std::wstring& rowName);

// "HKCU", "HKLM", "HKCR", "HKU", "HKCC"; empty for another root.
std::wstring ShortRootName(HKEY root);

// The one stable text of an item, the key of its report row:
// "file:C:\Users\me\Temp\a.tmp", "folder:C:\...\Cache", "key:HKCU\Software\X",
// "value:HKCU\Software\X|name", "site:example.com",
// "entry:C:\...\Cookies|Cookie:me@example.com/" (one entry of a store),
// "row:C:\...\Default\History|example.com" (the records of a store behind one row).
std::wstring ItemKey(const ItemRef& item);

// Whether an item may go, and if not, why.
struct [[nodiscard]] KeepVerdict {
    enum class Kind {
        kRemove,          // nothing keeps it
        kKeptByYou,       // the user unticked its row (or a group holding it)
        kExcluded,        // a lasting or one-run exclusion rule matches it (`rule`)
        kNewerThanLimit,  // written later than the age limit allows
    };
    Kind kind = Kind::kRemove;
    std::wstring rule;  // kExcluded: the rule as the user wrote it

    bool Keeps() const { return kind != Kind::kRemove; }
};

}  // namespace veltrane
