#pragma once
// Registry symbolic links. A link key sends every open that passes through it
// to another key, anywhere in the registry; a walk or a deletion that went
// through one would list or remove that other key's values and sub-keys. So
// the keys a walk enters and a deletion works on are opened as themselves
// (REG_OPTION_OPEN_LINK), and a link key is never enumerated, read through
// or deleted inside: it is left, and so is the key it points to.
//
// What Wine 8 does (measured): a key created with REG_OPTION_CREATE_LINK
// holds one value, "SymbolicLinkValue" of type REG_LINK (Wine refuses any
// other value or type there), which names the target ("\REGISTRY\USER\<sid>\...").
// An open without REG_OPTION_OPEN_LINK follows it, so does every component
// of a longer path even with the option (it applies to the last one only),
// and so does an open or create relative to a handle of the link key.
// RegDeleteKeyW and SHDeleteEmptyKeyW delete the target when it is empty,
// SHDeleteKeyW and RegDeleteTreeW delete the target's whole tree and
// SHDeleteValueW its values, all leaving the link. NtQueryKey's
// KeyFlagsInformation is not implemented, so a link is recognised by its
// value; KeyNameInformation gives the key's real name, the target's when an
// open went through a link.
#include <windows.h>

#include <optional>
#include <string>

#include "sysaccess/handles.h"

namespace veltrane {

// The reason shown for a link key a clean left.
inline constexpr wchar_t kRegistryLinkLeft[] =
    L"This key is a registry link: it was left, and so was the key it points to.";
// The reason shown for a key that could not go because a link below it was left.
inline constexpr wchar_t kRegistryLinkInside[] =
    L"This key holds a registry link, which was left with the key it points to; so this key "
    L"stays.";

struct [[nodiscard]] OpenedRegKey {
    enum class Kind {
        kOpened,
        kLink,     // the key is a registry link; nothing was opened
        kMissing,  // no such key
        kFailed,   // `error` says why
    };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;
    RegKey key;  // open for kOpened only
};

// Opens `keyPath` below `parent` (a root or an open key) as the key itself,
// never a link's target, with `access` and KEY_QUERY_VALUE, which the check
// needs. Links in the components before the last are followed: those above
// a list are the system's own (HKCU\Software\Classes, CurrentControlSet).
// An empty path is refused (ERROR_INVALID_PARAMETER): it would name `parent`.
[[nodiscard]] OpenedRegKey OpenRegKeyNoLink(HKEY parent, const wchar_t* keyPath, REGSAM access);

// Opens `keyPath` below `parent` one key at a time, each as itself: a link
// anywhere along the path answers kLink and nothing behind it is opened. For
// lists whose every key above may have been planted (Office's per-program
// and per-account keys), where a link in the middle would lead elsewhere.
[[nodiscard]] OpenedRegKey OpenRegPathNoLink(HKEY parent, const std::wstring& keyPath,
                                             REGSAM access);

// Whether an open key is a registry link (opened as itself); nothing when
// that cannot be asked.
[[nodiscard]] std::optional<bool> TryIsRegLink(HKEY key);

// The key's real name in the registry ("\REGISTRY\USER\<sid>\Software\..."),
// asked through its handle; nothing for a root or when it cannot be read.
// Two opens of one path that give two names went through a link.
[[nodiscard]] std::optional<std::wstring> TryReadRegKeyName(HKEY key);

}  // namespace veltrane
