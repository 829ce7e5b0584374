#pragma once
// The names of UserAssist's values: the programs a user started, each
// ROT13-encoded, often behind a known folder's id.
#include <string>
#include <string_view>

// Letters moved 13 places; everything else as it is. Its own inverse.
std::wstring Rot13(std::wstring_view text);

// The program a value name stands for: decoded, and a leading known-folder
// id ("{1AC14E77-...}\notepad.exe") replaced by that folder's path when
// Windows knows it.
std::wstring UserAssistProgram(std::wstring_view valueName);
