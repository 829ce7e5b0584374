#include "plugins/browser/byte_file.h"

#include "sysaccess/file_bytes.h"

namespace veltrane {

DWORD ReadByteFile(const std::wstring& path, std::string& bytes) {
    FileRead read = ReadFileBytes(path, kLargestByteFile);
    bytes = std::move(read.bytes);
    return read.Done() ? ERROR_SUCCESS : read.error;
}

std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string_view LineText(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

std::wstring BytesToWide(std::string_view bytes) {
    std::wstring wide(bytes.size(), L'\0');
    for (size_t i = 0; i < bytes.size(); ++i) wide[i] = static_cast<unsigned char>(bytes[i]);
    return wide;
}

}  // namespace veltrane
