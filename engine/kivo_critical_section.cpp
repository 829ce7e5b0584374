#include "engine/kivo_critical_section.h"

bool CKivoCriticalSection::CreateOrOpen(const std::wstring& name) {
    semaphore_.Attach(OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, name.c_str()));
    if (!semaphore_) semaphore_.Attach(CreateSemaphoreW(nullptr, 1, 1, name.c_str()));
    return semaphore_.IsValid();
}

bool CKivoCriticalSection::Lock() {
    return semaphore_ && WaitForSingleObject(semaphore_.Get(), INFINITE) == WAIT_OBJECT_0;
}

bool CKivoCriticalSection::TryLock() {
    return semaphore_ && WaitForSingleObject(semaphore_.Get(), 0) == WAIT_OBJECT_0;
}

bool CKivoCriticalSection::Unlock() {
    return semaphore_ && ReleaseSemaphore(semaphore_.Get(), 1, nullptr) != FALSE;
}
