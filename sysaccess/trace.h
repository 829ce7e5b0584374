#pragma once

namespace veltrane {

// Developer diagnostics: OutputDebugStringW, plus the file named by the
// environment variable VELTRANE_TRACE when it is set. Never shown to the user.

void Trace(const wchar_t* format, ...);

}  // namespace veltrane
