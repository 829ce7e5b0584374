#pragma once
// Runs a program to its end and reads its peak working set, which only
// someone else can see once the program has exited.
#include <cstddef>
#include <string>

struct ChildResult {
    bool started = false;
    unsigned long exitCode = 0;
    size_t peakWorkingSet = 0;
};

ChildResult RunAndMeasure(const std::wstring& commandLine);
