#pragma once
// Text for the person or script that started the program: the standard
// output when there is one, else the console of the parent process.
#include <string>

namespace veltrane {

void WriteOutput(const std::wstring& text);

}  // namespace veltrane
