#pragma once
// Where the running executable is, as the system knows it (of any length).
#include <string>

namespace veltrane {

// The executable's full path; empty when the system cannot say.
std::wstring ExecutablePath();
// The folder that holds it, without a trailing backslash ("C:" for a drive root).
std::wstring ExecutableFolder();

}  // namespace veltrane
