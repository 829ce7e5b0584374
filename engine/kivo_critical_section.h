#pragma once
// A named, machine-wide semaphore: every instance keeps it open while it runs,
// so that other tools of the family can tell the program is there, and the
// kernel takes its one count while a scan or clean runs, so that one cleaner
// works at a time. It is opened with only the rights waiting and releasing
// need, so that a copy that may wait on it but not change its security still
// gets in; one that cannot open it at all learns why, apart from a busy lock.
#include <windows.h>

#include <string>

#include "sysaccess/handles.h"

namespace veltrane {

inline constexpr wchar_t kKivoSemaphoreName[] = L"Global\\CKivoCriticalSection_KivoTrace";

// What came of opening the lock or taking its count.
struct RunLockOutcome {
    enum Kind : int {
        kDone = 0,
        kBusy = 1,       // another holder has the count
        kNotOpened = 2,  // the lock could neither be opened nor created
        kFailed = 3,     // open, but the system refused to wait on it
    };
    Kind kind = kDone;
    DWORD error = ERROR_SUCCESS;  // the system's code for kNotOpened and kFailed
    bool Done() const { return kind == kDone; }
};

// The count while it is held: released when the token goes, however that
// happens. Holds its own handle, so it may outlive the lock it came from.
class RunLockToken {
public:
    RunLockToken() = default;
    ~RunLockToken() { Release(); }
    RunLockToken(RunLockToken&& other) noexcept = default;
    RunLockToken& operator=(RunLockToken&& other) noexcept;
    RunLockToken(const RunLockToken&) = delete;
    RunLockToken& operator=(const RunLockToken&) = delete;

    bool IsHeld() const { return semaphore_.IsValid(); }
    // Gives the count back now; false when the system refused.
    bool Release();

private:
    friend class CKivoCriticalSection;
    explicit RunLockToken(UniqueHandle semaphore) : semaphore_(std::move(semaphore)) {}
    UniqueHandle semaphore_;
};

// The result of taking the count: the token holds it when `outcome` is done.
struct RunLockTake {
    RunLockOutcome outcome;
    RunLockToken token;
};

class CKivoCriticalSection {
public:
    // Opens the semaphore of that name or, when none exists, creates it (count 1 of 1).
    [[nodiscard]] RunLockOutcome CreateOrOpen(const std::wstring& name);
    bool IsOpen() const { return semaphore_.IsValid(); }
    // Takes the count without waiting: kBusy while another holder has it,
    // kNotOpened while the lock is not open.
    [[nodiscard]] RunLockTake TakeIfFree();

private:
    UniqueHandle semaphore_;
};

}  // namespace veltrane
