#pragma once
// Registry deletion. Something that is already gone is told apart from what
// a deletion removed (kGone), and both leave nothing to do. Every
// key is opened as itself (registry_links.h): a registry link is never
// deleted through, nor anything inside it; it is left and said so.
#include <windows.h>

#include "sysaccess/run_context.h"

namespace veltrane {

// What a registry deletion did.
struct [[nodiscard]] RegDeleteOutcome {
    enum class Kind {
        kDeleted,     // removed now
        kGone,        // not there when the deletion came: nothing removed
        kLink,        // the key is a registry link: it was left, with what it points to
        kLinkInside,  // a registry link below the key was left, so the key stays
        kCancelled,   // stopped before the next deletion; the rest stays
        kKept,        // the run context keeps it (`kept` says why): not touched
        kFailed,      // still there; `error` says why
    };
    Kind kind = Kind::kDeleted;
    DWORD error = ERROR_SUCCESS;
    unsigned deleted = 0;   // values and keys removed, for the deletions of many
    KeepVerdict kept = {};  // kKept

    // Not there any more: removed now, or already gone.
    bool Deleted() const { return kind == Kind::kDeleted || kind == Kind::kGone; }
};

// The deletions below that take a `context` ask it first (MayRemove) whether
// the key or value may go, naming it by `root` and `keyPath`; a kept one is
// not touched (kKept).

// The key with all its values and sub-keys. An empty key path is refused: it
// would name the root.
[[nodiscard]] RegDeleteOutcome DeleteRegKey(HKEY root, const wchar_t* keyPath,
                                            const IRunContext* context = nullptr);
// The key only when it holds no value and no sub-key.
[[nodiscard]] RegDeleteOutcome DeleteEmptyRegKey(HKEY root, const wchar_t* keyPath,
                                                 const IRunContext* context = nullptr);
// A null or empty key path means `root` itself (a key the caller opened; the
// context is then asked about the value under `root` alone).
[[nodiscard]] RegDeleteOutcome DeleteRegValue(HKEY root, const wchar_t* keyPath,
                                              const wchar_t* valueName,
                                              const IRunContext* context = nullptr);
// The same on a key the caller opened as itself with KEY_SET_VALUE, for loops over many values.
[[nodiscard]] RegDeleteOutcome DeleteOpenRegValue(HKEY key, const wchar_t* valueName);
// The key behind a handle opened as itself with DELETE, a link key too (the
// link goes, never its target); its values go with it, and it must have no
// sub-keys. No check: the caller has made sure it is what it means to delete.
[[nodiscard]] RegDeleteOutcome DeleteOpenRegKey(HKEY key);

// Deletes every value in and below the key and every sub-key, leaving the
// key itself; `deleted` counts the values and keys removed. A link below is
// left (kLinkInside, after everything else went); a cancel stops before the
// next deletion and keeps the rest. A key `plugin` keeps is left whole.
[[nodiscard]] RegDeleteOutcome DeleteRegTreeContents(HKEY root, const wchar_t* keyPath,
                                                     const IRunContext* plugin);

// Deletes the values named by `nameFormat` (one integer conversion) filled
// with first..last; `deleted` counts those that went.
[[nodiscard]] RegDeleteOutcome DeleteNumberedValues(HKEY root, const wchar_t* keyPath,
                                                    const wchar_t* nameFormat, int first, int last,
                                                    const IRunContext* plugin);

}  // namespace veltrane
