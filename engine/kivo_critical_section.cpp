#include "engine/kivo_critical_section.h"

namespace {

// Waiting for the count and giving it back; nothing else (not its security).
constexpr DWORD kLockAccess = SYNCHRONIZE | SEMAPHORE_MODIFY_STATE;

}  // namespace

RunLockToken& RunLockToken::operator=(RunLockToken&& other) noexcept {
    if (this != &other) {
        Release();
        semaphore_ = std::move(other.semaphore_);
    }
    return *this;
}

bool RunLockToken::Release() {
    if (!semaphore_) return true;
    const bool released = ReleaseSemaphore(semaphore_.Get(), 1, nullptr) != FALSE;
    semaphore_.Close();
    return released;
}

RunLockOutcome CKivoCriticalSection::CreateOrOpen(const std::wstring& name) {
    semaphore_.Close();
    HANDLE semaphore = OpenSemaphoreW(kLockAccess, FALSE, name.c_str());
    if (!semaphore) {
        const DWORD error = GetLastError();
        // Only a lock that is not there yet is made; any other failure is the answer.
        if (error != ERROR_FILE_NOT_FOUND) return {RunLockOutcome::kNotOpened, error};
        // Another copy may make it between the two calls: then this opens that one.
        semaphore = CreateSemaphoreExW(nullptr, 1, 1, name.c_str(), 0, kLockAccess);
        if (!semaphore) return {RunLockOutcome::kNotOpened, GetLastError()};
    }
    semaphore_.Attach(semaphore);
    return {};
}

RunLockTake CKivoCriticalSection::TakeIfFree() {
    if (!semaphore_) return {{RunLockOutcome::kNotOpened, ERROR_INVALID_HANDLE}, {}};
    // The token's own handle first: once the count is taken, nothing may fail.
    UniqueHandle own;
    if (!DuplicateHandle(GetCurrentProcess(), semaphore_.Get(), GetCurrentProcess(), own.Receive(),
                         0, FALSE, DUPLICATE_SAME_ACCESS))
        return {{RunLockOutcome::kFailed, GetLastError()}, {}};
    switch (WaitForSingleObject(own.Get(), 0)) {
        case WAIT_OBJECT_0:
            return {{}, RunLockToken(std::move(own))};
        case WAIT_TIMEOUT:
            return {{RunLockOutcome::kBusy, ERROR_SUCCESS}, {}};
        default:
            return {{RunLockOutcome::kFailed, GetLastError()}, {}};
    }
}
