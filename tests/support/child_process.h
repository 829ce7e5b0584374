#pragma once
// Runs a program of the sandbox as a child process and collects what it prints.
#include <windows.h>

#include <string>

#include "sysaccess/handles.h"

namespace veltrane {

struct ChildResult {
    bool started = false;
    DWORD exitCode = 0;
    std::string output;  // standard output and standard error, as printed
};

// A started child whose standard output and error come through `output`.
struct PipedChild {
    UniqueHandle process;
    UniqueHandle thread;
    UniqueHandle output;  // the read end; the child holds the only write end
};
// Starts `commandLine` (program path first) in `folder` (nullptr: ours); false
// when it cannot be started.
bool StartPipedChild(const std::wstring& commandLine, const wchar_t* folder, PipedChild& child);

// `commandLine` is the whole line, program path first; waits at most `timeoutMs`.
// Runs in `folder` (nullptr: ours).
ChildResult RunChild(const std::wstring& commandLine, DWORD timeoutMs = 120000,
                     const wchar_t* folder = nullptr);
// Collects what a started child prints until it ends; waits at most `timeoutMs`.
ChildResult FinishChild(PipedChild& child, DWORD timeoutMs = 120000);

// The installed program, quoted, followed by `arguments`.
std::wstring VeltraneCommand(const std::wstring& arguments);

}  // namespace veltrane
