#pragma once
// Runs a program of the sandbox as a child process and collects what it prints.
#include <windows.h>

#include <string>

struct ChildResult {
    bool started = false;
    DWORD exitCode = 0;
    std::string output;  // standard output and standard error, as printed
};

// `commandLine` is the whole line, program path first; waits at most `timeoutMs`.
ChildResult RunChild(const std::wstring& commandLine, DWORD timeoutMs = 120000);

// The installed program, quoted, followed by `arguments`.
std::wstring VeltraneCommand(const std::wstring& arguments);
