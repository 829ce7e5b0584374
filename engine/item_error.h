#pragma once
// One item a clean could not remove (or could remove only at the next system
// start): what it was, why, and the texts the error window shows for it.
// Both texts are plain text, never markup: names, paths and reasons come from
// the machine and from other programs (SQLite's messages, Word's), and the
// window shows them as text; a title's lines are separated by "\n".
#include <windows.h>

#include <string>

namespace veltrane {

class ItemError {
public:
    enum Kind : int {
        kRegKey = 0,
        kRegValue = 1,
        kFile = 2,
        kWipeFile = 3,
        kFolder = 4,
        // Entries of a store the plug-in names with SetStore ("Internet
        // Explorer cookies"), which correspond to the item's name.
        kStoreEntries = 5,
        kRecycleBin = 10,
        // A program's recent document; the plug-in names the program with SetStore.
        kRecentDocument = 11,
    };
    enum Reason : int {
        kSystemMessage = 0,
        kFolderKeptForReboot = 1,
        kAccessDenied = 2,
        kUnknown = 4,
        kOwnText = 5,
    };

    ItemError(Kind kind, std::wstring name, Reason reasonType, DWORD code, bool reboot,
              std::wstring extra = {}, std::wstring reasonText = {});
    // A ready-made error: the title and the message as they are to be shown.
    ItemError(std::wstring title, std::wstring message);
    virtual ~ItemError() = default;

    // What the entries belong to, in the words of the title ("Netscape cookies",
    // "MS Word"); only for the kinds that name one.
    ItemError& SetStore(std::wstring store) {
        store_ = std::move(store);
        return *this;
    }

    virtual std::wstring GetTitle() const;
    virtual std::wstring GetReason() const;

    Kind GetKind() const { return kind_; }
    DWORD GetCode() const { return code_; }
    Reason GetReasonType() const { return reasonType_; }
    bool IsReboot() const { return reboot_; }
    const std::wstring& GetName() const { return name_; }

private:
    Kind kind_ = kRegKey;
    DWORD code_ = 0;
    Reason reasonType_ = kSystemMessage;
    bool plain_ = false;
    std::wstring name_;
    std::wstring extra_;
    std::wstring store_;
    std::wstring reasonText_;
    bool reboot_ = false;
};

}  // namespace veltrane
