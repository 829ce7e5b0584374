#pragma once
// A named, machine-wide semaphore the program holds from start to exit, so
// that other tools of the family can tell it is running. Never locked here.
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
    virtual bool Unlock();

private:
    UniqueHandle semaphore_;
};

inline constexpr wchar_t kKivoSemaphoreName[] = L"Global\\CKivoCriticalSection_KivoTrace";
