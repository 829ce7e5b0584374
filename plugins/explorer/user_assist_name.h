#pragma once
// UserAssist's values: the programs a user started, each name ROT13-encoded
// (often behind a known folder's id), and in the data how often and when.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// Letters moved 13 places; everything else as it is. Its own inverse.
std::wstring Rot13(std::wstring_view text);

// The program a value name stands for: decoded, and a leading known-folder
// id ("{1AC14E77-...}\notepad.exe") replaced by that folder's path when
// Windows knows it.
std::wstring UserAssistProgram(std::wstring_view valueName);

// Explorer's own counters among the programs (UEME_CTLSESSION,
// UEME_CTLCUACount:ctor), as decoded.
bool IsUserAssistCounter(std::wstring_view program);

// "started 7 times, last on 2011-03-11 18:44 UTC" from the 72-byte data of
// Windows 7 and later (run count at 4, last start at 60); empty for data of
// another size or that holds neither.
std::wstring UserAssistUseText(const std::vector<uint8_t>& data);

}  // namespace veltrane
