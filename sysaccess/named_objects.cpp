#include "sysaccess/named_objects.h"

#include <utility>

namespace veltrane {

namespace {

NamedObject Opened(HANDLE handle) {
    if (handle) return {NamedObject::Kind::kOpened, ERROR_SUCCESS, UniqueHandle(handle)};
    const DWORD error = GetLastError();
    return {
        error == ERROR_FILE_NOT_FOUND ? NamedObject::Kind::kNotFound : NamedObject::Kind::kFailed,
        error,
        {}};
}

// Read at once: a create that opens an existing object says so only here.
NamedObject Created(HANDLE handle) {
    const DWORD error = GetLastError();
    if (!handle) return {NamedObject::Kind::kFailed, error, {}};
    return {error == ERROR_ALREADY_EXISTS ? NamedObject::Kind::kAlreadyExisted
                                          : NamedObject::Kind::kCreated,
            ERROR_SUCCESS, UniqueHandle(handle)};
}

}  // namespace

NamedObject OpenNamedMutex(const wchar_t* name, DWORD access, Inheritance inheritance) {
    return Opened(OpenMutexW(access, inheritance == Inheritance::kInherited, name));
}

NamedObject CreateNamedMutex(const wchar_t* name, bool owned) {
    return Created(CreateMutexW(nullptr, owned, name));
}

NamedObject OpenNamedSemaphore(const wchar_t* name, DWORD access) {
    return Opened(OpenSemaphoreW(access, FALSE, name));
}

NamedObject CreateNamedSemaphore(const wchar_t* name, LONG count, LONG most, DWORD access) {
    return Created(CreateSemaphoreExW(nullptr, count, most, name, 0, access));
}

CountTake TakeCountIfFree(HANDLE semaphore) {
    // The holder's own handle first: once the count is taken, nothing may fail.
    UniqueHandle own;
    if (!DuplicateHandle(GetCurrentProcess(), semaphore, GetCurrentProcess(), own.Receive(), 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        return {CountTake::Kind::kFailed, GetLastError(), {}};
    switch (WaitForSingleObject(own.Get(), 0)) {
        case WAIT_OBJECT_0:
            return {CountTake::Kind::kTaken, ERROR_SUCCESS, std::move(own)};
        case WAIT_TIMEOUT:
            return {CountTake::Kind::kBusy, ERROR_SUCCESS, {}};
        default: {
            const DWORD error = GetLastError();
            return {CountTake::Kind::kFailed, error, {}};
        }
    }
}

}  // namespace veltrane
