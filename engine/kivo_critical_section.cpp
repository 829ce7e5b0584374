#include "engine/kivo_critical_section.h"

#include "sysaccess/named_objects.h"

namespace veltrane {

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
    NamedObject lock = OpenNamedSemaphore(name.c_str(), kLockAccess);
    // Only a lock that is not there yet is made; any other failure is the answer.
    // Another copy may make it between the two calls: then this opens that one.
    if (lock.kind == NamedObject::Kind::kNotFound)
        lock = CreateNamedSemaphore(name.c_str(), 1, 1, kLockAccess);
    if (!lock.handle) return {RunLockOutcome::kNotOpened, lock.error};
    semaphore_ = std::move(lock.handle);
    return {};
}

RunLockTake CKivoCriticalSection::TakeIfFree() {
    if (!semaphore_) return {{RunLockOutcome::kNotOpened, ERROR_INVALID_HANDLE}, {}};
    CountTake take = TakeCountIfFree(semaphore_.Get());
    switch (take.kind) {
        case CountTake::Kind::kTaken:
            return {{}, RunLockToken(std::move(take.held))};
        case CountTake::Kind::kBusy:
            return {{RunLockOutcome::kBusy, ERROR_SUCCESS}, {}};
        case CountTake::Kind::kFailed:
            break;
    }
    return {{RunLockOutcome::kFailed, take.error}, {}};
}

}  // namespace veltrane
