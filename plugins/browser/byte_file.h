#pragma once
// The browsers' 8-bit text files: read whole, cut into lines that keep their
// line ends (so a rewrite gives back every kept line byte for byte), and
// turned into wide text one byte to one character.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// No profile file of these browsers comes near this size; a larger one is
// not read at all rather than held in memory whole.
inline constexpr long long kLargestByteFile = 256LL << 20;

// ERROR_SUCCESS with `bytes` filled, or the Windows error of the open or read;
// ERROR_FILE_TOO_LARGE above kLargestByteFile.
DWORD ReadByteFile(const std::wstring& path, std::string& bytes);
// The lines of `bytes`, each with its own line end ("\n" or "\r\n"); a last
// line without one is kept as it stands. Lines of any length stay whole.
std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view bytes);
// A line without its trailing CR and LF characters.
std::string_view LineText(std::string_view line);
// One byte, one character.
std::wstring BytesToWide(std::string_view bytes);

}  // namespace veltrane
