#pragma once
// The stand-in for Word's automation object used by the tests: an in-process
// server whose recent-file list and behaviour live in the registry, so that
// they outlive the server between Word sessions and the test can arrange and
// inspect them.
#include <windows.h>

namespace veltrane {

// {6E1F3C52-8A4B-4C7D-9B0E-2F5A7D3C1E90}
inline constexpr GUID kWordStubClassId = {
    0x6e1f3c52, 0x8a4b, 0x4c7d, {0x9b, 0x0e, 0x2f, 0x5a, 0x7d, 0x3c, 0x1e, 0x90}};

// HKEY_CURRENT_USER\...: "Files" (REG_MULTI_SZ, full paths, most recent first),
// "FailDelete" (a path whose RecentFile.Delete raises an error), and what the
// stub records: "Started" and "Quit" (counts), "QuitSaveChanges" (1 true,
// 0 false, 2 omitted).
inline constexpr wchar_t kWordStubKey[] = L"Software\\VeltraneTests\\WordStub";
inline constexpr wchar_t kWordStubRefusal[] = L"The document cannot be removed from the list.";

}  // namespace veltrane
