#include "plugins/browser/byte_file.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/netscape_profiles.h"

namespace veltrane {

std::optional<std::wstring> ReadPrefValue(const std::wstring& file, const std::wstring& key) {
    std::string bytes;
    if (ReadByteFile(file, bytes) != ERROR_SUCCESS) return std::nullopt;
    for (std::string_view rawLine : SplitLinesKeepingEnds(bytes)) {
        if (rawLine[0] == '#' || rawLine[0] == '\r') continue;
        std::wstring line = BytesToWide(LineText(rawLine));
        if (line.find(key) == std::wstring::npos) continue;
        // The first naming line decides, even when it holds no usable value.
        size_t comma = line.find(L',');
        if (comma == std::wstring::npos) return std::nullopt;
        size_t open = line.find(L'"', comma);
        if (open == std::wstring::npos) return std::nullopt;
        size_t close = line.find(L'"', open + 1);
        if (close == std::wstring::npos) return std::nullopt;
        return line.substr(open + 1, close - open - 1);
    }
    return std::nullopt;
}

std::optional<std::wstring> PrefNamedProfileFile(const std::wstring& folder,
                                                 const wchar_t* prefsFile, const wchar_t* key) {
    std::optional<std::wstring> name = ReadPrefValue(folder + prefsFile, key);
    if (!name || !IsPlainFileName(*name)) return std::nullopt;
    return folder + *name;
}

}  // namespace veltrane
