#pragma once
#include <string>

namespace veltrane {

// Shows `url` in a browser window and brings that window to the front:
// through Internet Explorer's automation object when it answers in time,
// else through the shell.
void OpenUrl(const std::wstring& url);

// Opens `url` with the browser the shell associates with it.
bool OpenWithShell(const std::wstring& url);

}  // namespace veltrane
