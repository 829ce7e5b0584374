#pragma once
// Internet Explorer's forms auto-complete items in the Protected Storage
// area of the registry. Only the item names are read; on the NT family the
// keys' access lists are widened for the current user first.
#include <string>

#include "plugins/browser/domain_info.h"

inline constexpr wchar_t kFormsItemType[] = L"e161255a-37c3-11d2-bcaa-00c04fd929db";

struct ProtectedStorageKeys {
    std::wstring account;    // ...\Protected Storage System Provider\<account>
    std::wstring data;       // account + "\Data"
    std::wstring type;       // data + "\<item type>"
    std::wstring container;  // type + "\<item type>": one sub-key per item
};

// The keys of `accountName`: the user's identifier text on the NT family,
// the logon name otherwise.
ProtectedStorageKeys GetProtectedStorageKeys(const std::wstring& accountName);

// The domain of an item name ending in "a": "control <field>" for a field,
// the URL rule for a web address (two colons or more).
std::wstring GetAutoCompleteItemDomain(const std::wstring& itemName);

// Fills `domains` with the items; always true.
bool ReadAutoCompleteItems(DomainMap& domains, IRunProgress& run);
// Deletes the item keys of every domain, and the whole item type when all
// went; true when every item key was deleted.
bool DeleteAutoCompleteItems(DomainMap& domains, IRunProgress& run);
