#pragma once
// The program's folder, taken once at start from the executable's path.
#include <string>

namespace veltrane {

// Names the executable's folder as the program folder (engine/program_folder.h:
// pages, "urls.ini", the autostart entry) and makes it the current directory.
// Nothing reads the current directory; it is moved so that a program that
// stays in the notification area does not hold open the folder it was started
// from, which the user, or a clean of the temporary folder, may want to remove.
// Returns the folder.
std::wstring SettleInProgramFolder();

}  // namespace veltrane
