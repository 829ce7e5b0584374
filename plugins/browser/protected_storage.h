#pragma once
// Internet Explorer's forms auto-complete items in the Protected Storage
// area of the registry. The scan reads the item names and seals what each
// item key holds; the clean deletes only those item keys, each while it still
// holds what the scan sealed. On the NT family the keys' access lists are
// widened for the current user first.
#include <map>
#include <string>
#include <vector>

#include "plugins/browser/domain_info.h"
#include "sysaccess/registry_values.h"

namespace veltrane {

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

// What an item key held at the scan: its values' seals and its sub-keys' names.
struct FormItemSeal {
    std::map<std::wstring, RegValueSeal> values;
    std::vector<std::wstring> subKeys;
    bool operator==(const FormItemSeal&) const = default;
};
using FormItemSeals = std::map<std::wstring, FormItemSeal>;  // by the item key's path

// Fills `domains` with the items (a saved value with its index item, when it
// has one) and `seals` with what each item key holds; always true.
bool ReadAutoCompleteItems(DomainMap& domains, IRunProgress& run, FormItemSeals& seals);
// Deletes the listed item keys of every domain that still hold what `seals`
// says, then the item type's keys when nothing is left in them; anything
// written since the scan stays, and so does every item the run keeps
// (`run.MayRemove` of its key; an index item stays with its saved value),
// with the verdict in its `kept`. A domain whose every item stays is
// ItemOutcome::kKept. True when every listed item key that was to go went.
bool DeleteAutoCompleteItems(DomainMap& domains, IRunProgress& run, const FormItemSeals& seals);

}  // namespace veltrane
