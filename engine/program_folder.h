#pragma once
// Where the program's own files are ("html\...", "urls.ini", the program
// itself). The start-up names the folder once, from the executable's path;
// the current directory never stands in for it: whoever started the program
// chose that, and any component may change it.
#include <string>

namespace veltrane {

// Named once at start, before any worker runs (tests name another for a while).
void SetProgramFolder(const std::wstring& folder);
// Empty until one is named.
std::wstring GetProgramFolder();
// "folder\relativePath"; empty while no folder is named, so that nothing is
// looked up in the current directory instead.
std::wstring ProgramFilePath(const std::wstring& relativePath);

}  // namespace veltrane
