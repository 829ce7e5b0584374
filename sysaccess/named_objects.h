#pragma once
// Machine-wide named mutexes and semaphores: opening or creating one answers
// the handle together with what happened and the system's code, so that no
// caller reads the last error after a handle's clean-up may have changed it.
#include <windows.h>

#include "sysaccess/handles.h"

namespace veltrane {

struct [[nodiscard]] NamedObject {
    enum class Kind {
        kOpened,          // an open found it
        kCreated,         // a create made it
        kAlreadyExisted,  // a create found it there already and opened that one
        kNotFound,        // an open found no object of that name
        kFailed,          // there, or not, but refused (`error` says why)
    };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;  // the system's code for kNotFound and kFailed
    UniqueHandle handle;          // valid for kOpened, kCreated and kAlreadyExisted
};

enum class Inheritance { kNotInherited, kInherited };

[[nodiscard]] NamedObject OpenNamedMutex(const wchar_t* name, DWORD access,
                                         Inheritance inheritance = Inheritance::kNotInherited);
// Creates the mutex of that name, owned by this thread when `owned` and it is
// made here; opens the existing one (kAlreadyExisted, not owned) otherwise.
[[nodiscard]] NamedObject CreateNamedMutex(const wchar_t* name, bool owned);

[[nodiscard]] NamedObject OpenNamedSemaphore(const wchar_t* name, DWORD access);
// Creates a semaphore of that name holding `count` of `most`, with only
// `access` on the handle; opens the existing one (kAlreadyExisted) otherwise.
[[nodiscard]] NamedObject CreateNamedSemaphore(const wchar_t* name, LONG count, LONG most,
                                               DWORD access);

// Takes one count of a semaphore without waiting. The count is held by a
// handle of its own (`held`), so that it may outlive the one it came from.
struct [[nodiscard]] CountTake {
    enum class Kind { kTaken, kBusy, kFailed };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;  // the system's code for kFailed
    UniqueHandle held;            // valid for kTaken
};
[[nodiscard]] CountTake TakeCountIfFree(HANDLE semaphore);

}  // namespace veltrane
