#pragma once
// A named, machine-wide semaphore: every instance keeps it open while it runs,
// so that other tools of the family can tell the program is there, and the
// kernel takes its one count while a scan or clean runs, so that one cleaner
// works at a time.
#include <windows.h>

#include <string>

#include "sysaccess/handles.h"

class CKivoCriticalSection {
public:
    CKivoCriticalSection() = default;
    virtual ~CKivoCriticalSection() = default;

    // Opens the semaphore of that name or, when none exists, creates it (count 1 of 1).
    virtual bool CreateOrOpen(const std::wstring& name);
    virtual bool Lock();
    // Takes the count without waiting; false when another holder has it.
    virtual bool TryLock();
    virtual bool Unlock();

private:
    UniqueHandle semaphore_;
};

inline constexpr wchar_t kKivoSemaphoreName[] = L"Global\\CKivoCriticalSection_KivoTrace";
