#include "sysaccess/reg_delete.h"

#include <winternl.h>

#include <optional>
#include <string>
#include <vector>

#include "sysaccess/handles.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace {

using Kind = RegDeleteOutcome::Kind;

constexpr REGSAM kTreeAccess = KEY_READ | KEY_SET_VALUE | DELETE;
// The longest value name the registry keeps, and its terminator.
constexpr DWORD kValueNameBuffer = 16384;

bool HasPath(const wchar_t* keyPath) { return keyPath != nullptr && *keyPath != 0; }

RegDeleteOutcome Outcome(Kind kind, DWORD error = ERROR_SUCCESS) { return {kind, error, 0}; }

// kKept when the run context keeps the item, before anything is opened.
std::optional<RegDeleteOutcome> Kept(const IRunContext* context, const ItemRef& item) {
    KeepVerdict verdict = MayRemove(context, item);
    if (!verdict.Keeps()) return std::nullopt;
    return RegDeleteOutcome{Kind::kKept, ERROR_SUCCESS, 0, std::move(verdict)};
}

// What a deletion comes to when its key could not be opened as itself:
// nothing to do for a key that is gone, a link is left.
std::optional<RegDeleteOutcome> Unopened(const OpenedRegKey& opened) {
    switch (opened.kind) {
        case OpenedRegKey::Kind::kOpened:
            return std::nullopt;
        case OpenedRegKey::Kind::kMissing:
            return Outcome(Kind::kGone, opened.error);
        case OpenedRegKey::Kind::kLink:
            return Outcome(Kind::kLink);
        case OpenedRegKey::Kind::kFailed:
            break;
    }
    return Outcome(Kind::kFailed, opened.error);
}

// Adds what one part of a larger deletion did: a cancel outweighs a
// failure, the first failure outweighs a link left below.
void Merge(RegDeleteOutcome& total, const RegDeleteOutcome& part) {
    total.deleted += part.deleted;
    if (part.Deleted() || total.kind == Kind::kCancelled) return;
    if (part.kind == Kind::kCancelled || part.kind == Kind::kFailed) {
        if (total.kind != Kind::kFailed || part.kind == Kind::kCancelled) {
            total.kind = part.kind;
            total.error = part.error;
        }
        return;
    }
    if (total.kind == Kind::kDeleted) total.kind = Kind::kLinkInside;
}

// The names of an open key's values, read before any goes: deleting while
// enumerating would pass over names.
std::vector<std::wstring> ListValueNames(HKEY key) {
    std::vector<std::wstring> names;
    std::vector<wchar_t> name(kValueNameBuffer);
    for (DWORD index = 0;; ++index) {
        DWORD length = kValueNameBuffer;
        const LSTATUS status =
            RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
    }
    return names;
}

// Deletes the key behind the handle if it holds nothing: Wine's
// SHDeleteEmptyKeyW only looks for sub-keys, and a key that gained a value
// since it was listed must stay.
RegDeleteOutcome DeleteOpenEmptyKey(HKEY key) {
    DWORD subKeys = 0;
    DWORD values = 0;
    const LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return Outcome(Kind::kFailed, static_cast<DWORD>(status));
    if (subKeys > 0 || values > 0) return Outcome(Kind::kFailed, ERROR_DIR_NOT_EMPTY);
    return DeleteOpenRegKey(key);
}

RegDeleteOutcome DeleteSubTree(HKEY parent, const wchar_t* name, const IRunContext* plugin);

// Every value of an open key, then every sub-key with what it holds. Each
// sub-key is opened below this handle as itself, so nothing is reached
// through a link, whatever its name said when it was listed.
RegDeleteOutcome EmptyOpenKey(HKEY key, const IRunContext* plugin) {
    RegDeleteOutcome total;
    for (const std::wstring& name : ListValueNames(key)) {
        if (IsCancelled(plugin)) {
            Merge(total, Outcome(Kind::kCancelled));
            return total;
        }
        RegDeleteOutcome value = DeleteOpenRegValue(key, name.c_str());
        if (value.kind == Kind::kDeleted) value.deleted = 1;
        Merge(total, value);
    }
    for (const std::wstring& name : ListSubKeyNames(key)) {
        Merge(total, DeleteSubTree(key, name.c_str(), plugin));
        if (total.kind == Kind::kCancelled) return total;
    }
    return total;
}

RegDeleteOutcome DeleteSubTree(HKEY parent, const wchar_t* name, const IRunContext* plugin) {
    if (IsCancelled(plugin)) return Outcome(Kind::kCancelled);
    const OpenedRegKey opened = OpenRegKeyNoLink(parent, name, kTreeAccess);
    if (std::optional<RegDeleteOutcome> early = Unopened(opened)) return *early;
    // A link inside keeps this key; what else went is still counted.
    RegDeleteOutcome total = EmptyOpenKey(opened.key.Get(), plugin);
    if (!total.Deleted()) return total;
    if (IsCancelled(plugin)) {
        Merge(total, Outcome(Kind::kCancelled));
        return total;
    }
    RegDeleteOutcome self = DeleteOpenEmptyKey(opened.key.Get());
    if (self.kind == Kind::kDeleted) self.deleted = 1;
    Merge(total, self);
    return total;
}

}  // namespace

RegDeleteOutcome DeleteRegKey(HKEY root, const wchar_t* keyPath, const IRunContext* context) {
    if (!HasPath(keyPath)) return Outcome(Kind::kFailed, ERROR_INVALID_PARAMETER);
    if (std::optional<RegDeleteOutcome> kept = Kept(context, RegKeyItemRef(root, keyPath)))
        return *kept;
    return DeleteSubTree(root, keyPath, nullptr);
}

RegDeleteOutcome DeleteEmptyRegKey(HKEY root, const wchar_t* keyPath, const IRunContext* context) {
    if (!HasPath(keyPath)) return Outcome(Kind::kFailed, ERROR_INVALID_PARAMETER);
    if (std::optional<RegDeleteOutcome> kept = Kept(context, RegKeyItemRef(root, keyPath)))
        return *kept;
    const OpenedRegKey opened = OpenRegKeyNoLink(root, keyPath, DELETE);
    if (std::optional<RegDeleteOutcome> early = Unopened(opened)) return *early;
    return DeleteOpenEmptyKey(opened.key.Get());
}

RegDeleteOutcome DeleteRegValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                                const IRunContext* context) {
    if (std::optional<RegDeleteOutcome> kept = Kept(
            context, RegValueItemRef(root, keyPath ? keyPath : L"", valueName ? valueName : L"")))
        return *kept;
    if (!HasPath(keyPath)) return DeleteOpenRegValue(root, valueName);
    const OpenedRegKey opened = OpenRegKeyNoLink(root, keyPath, KEY_SET_VALUE);
    if (std::optional<RegDeleteOutcome> early = Unopened(opened)) return *early;
    return DeleteOpenRegValue(opened.key.Get(), valueName);
}

RegDeleteOutcome DeleteOpenRegValue(HKEY key, const wchar_t* valueName) {
    const LSTATUS status = RegDeleteValueW(key, valueName ? valueName : L"");
    if (status == ERROR_SUCCESS) return Outcome(Kind::kDeleted);
    if (status == ERROR_FILE_NOT_FOUND) return Outcome(Kind::kGone, ERROR_FILE_NOT_FOUND);
    return Outcome(Kind::kFailed, static_cast<DWORD>(status));
}

RegDeleteOutcome DeleteOpenRegKey(HKEY key) {
    const NTSTATUS status = NtDeleteKey(key);
    if (NT_SUCCESS(status)) return Outcome(Kind::kDeleted);
    return Outcome(Kind::kFailed, RtlNtStatusToDosError(status));
}

RegDeleteOutcome DeleteRegTreeContents(HKEY root, const wchar_t* keyPath,
                                       const IRunContext* plugin) {
    if (!HasPath(keyPath)) return EmptyOpenKey(root, plugin);
    if (std::optional<RegDeleteOutcome> kept = Kept(plugin, RegKeyItemRef(root, keyPath)))
        return *kept;
    const OpenedRegKey opened = OpenRegKeyNoLink(root, keyPath, kTreeAccess);
    if (std::optional<RegDeleteOutcome> early = Unopened(opened)) return *early;
    return EmptyOpenKey(opened.key.Get(), plugin);
}

RegDeleteOutcome DeleteNumberedValues(HKEY root, const wchar_t* keyPath, const wchar_t* nameFormat,
                                      int first, int last, const IRunContext* plugin) {
    OpenedRegKey opened;
    if (HasPath(keyPath)) {
        opened = OpenRegKeyNoLink(root, keyPath, KEY_SET_VALUE);
        if (std::optional<RegDeleteOutcome> early = Unopened(opened)) return *early;
    }
    const HKEY key = opened.key ? opened.key.Get() : root;
    RegDeleteOutcome total;
    for (int number = first; number <= last; ++number) {
        if (IsCancelled(plugin)) {
            Merge(total, Outcome(Kind::kCancelled));
            return total;
        }
        wchar_t name[1024];
        _snwprintf(name, _countof(name) - 1, nameFormat, number);
        name[_countof(name) - 1] = 0;
        if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        RegDeleteOutcome value = DeleteOpenRegValue(key, name);
        if (value.kind == Kind::kDeleted) value.deleted = 1;
        Merge(total, value);
    }
    return total;
}

}  // namespace veltrane
