#pragma once
#include <windows.h>

#include <string>

namespace veltrane {

// "HKEY_CURRENT_USER\Software\X\Value"; an unknown root contributes nothing.
std::wstring FormatRegPath(HKEY root, const std::wstring& keyPath, const std::wstring& valueName);

// The system's message for a Windows error code, or "Unknown Error".
std::wstring FormatSystemError(DWORD code);
// The same without the line break the system ends it with, to go inside a sentence.
std::wstring FormatSystemErrorLine(DWORD code);

}  // namespace veltrane
