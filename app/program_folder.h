#pragma once
#include <string>

// The folder of the running executable, without a trailing backslash.
std::wstring GetProgramFolder();
// Every relative path of the program ("urls.ini", "html\...") is resolved
// against the program's folder, whatever folder it was started from.
bool SetProgramFolderAsCurrentDirectory();
