#pragma once
// File fixtures: a fresh folder per test under C:\VeltraneTests, removed afterwards.
#include <cstdint>
#include <string>

#include "sysaccess/handles.h"

namespace veltrane {

class ScopedTestFolder {
public:
    explicit ScopedTestFolder(const std::wstring& name);
    ~ScopedTestFolder();
    ScopedTestFolder(const ScopedTestFolder&) = delete;
    ScopedTestFolder& operator=(const ScopedTestFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring Sub(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Writes `content` to `path`, creating the folders on the way.
void WriteTestFile(const std::wstring& path, const std::string& content);
std::string ReadTestFile(const std::wstring& path);
bool FileExists(const std::wstring& path);
void MakeFolder(const std::wstring& path);
void RemoveTree(const std::wstring& path);
// Opens the file `path` for reading as another program holds it; by default
// sharing nothing, so that it can be neither written nor deleted meanwhile.
UniqueHandle HoldOpen(const std::wstring& path, DWORD share = 0);

// Runs with `path` as current directory; the previous one comes back at the end.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::wstring& path);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::wstring previous_;
};

inline constexpr wchar_t kInstalledProgramFolder[] = L"C:\\Program Files\\Veltrane";

// Runs with `folder` (by default the program's installed one) as the program
// folder, so that pages ("html\...") resolve as they do for the program.
class ScopedProgramFolder {
public:
    explicit ScopedProgramFolder(const std::wstring& folder = kInstalledProgramFolder);
    ~ScopedProgramFolder();
    ScopedProgramFolder(const ScopedProgramFolder&) = delete;
    ScopedProgramFolder& operator=(const ScopedProgramFolder&) = delete;

private:
    std::wstring previous_;
};

}  // namespace veltrane
