#pragma once
// Registry symbolic links for tests: a key made with REG_OPTION_CREATE_LINK
// whose SymbolicLinkValue names another key. Opening the link's path opens
// the other key unless REG_OPTION_OPEN_LINK is asked for, so a walker that
// does not look would enumerate, and delete, what lies elsewhere. Wine 8
// keeps such links as Windows does.
#include <windows.h>

#include <optional>
#include <string>

namespace veltrane {

// Makes `root\key` (which must not exist) a link to `targetRoot\targetKey`;
// the roots are HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
bool MakeRegistryLink(HKEY root, const std::wstring& key, HKEY targetRoot,
                      const std::wstring& targetKey);
// Removes the link key itself, never what it leads to; true when it is gone
// (or was never there). A key that is no link is left and gives false.
bool RemoveRegistryLink(HKEY root, const std::wstring& key);
// The target a key opened with REG_OPTION_OPEN_LINK names ("\Registry\..."),
// or nothing when the key is no link.
std::optional<std::wstring> RegistryLinkTarget(HKEY opened);

}  // namespace veltrane
