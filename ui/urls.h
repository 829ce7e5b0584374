#pragma once
// The program's web addresses, read once from "urls.ini" beside the program.
#include <functional>
#include <string>

namespace veltrane {

// Empty until LoadUrls has found them.
inline std::wstring SITE_URL;
inline std::wstring UPDATES_URL;
inline std::wstring REMOTE_HELP_URL;

inline constexpr wchar_t kUrlsFileMissing[] = L"Cannot find Urls.ini file";
inline constexpr wchar_t kUrlsFileCorrupted[] = L"File Urls.ini is corrupted";

// Receives the text of a start-up problem with the file.
using UrlsProblemSink = std::function<void(const std::wstring& text)>;

// Reads the file at `path` ("urls.ini" beside the program); a problem goes to
// `report`. True only when all three keys were found; values found stay set
// either way.
bool LoadUrls(const std::wstring& path, const UrlsProblemSink& report);

}  // namespace veltrane
