#include "engine/page_reader.h"

#include "engine/program_folder.h"
#include "sysaccess/file_bytes.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// The whole file in text mode (CR LF read as LF).
std::optional<std::string> TryReadTextFile(const std::wstring& relativePath) {
    const std::wstring path = ProgramFilePath(relativePath);
    if (path.empty()) return std::nullopt;
    return TryReadWholeFile(path, FileTextMode::kText);
}

}  // namespace

std::wstring ReadPage(const std::wstring& relativePath) {
    const std::optional<std::string> content = TryReadTextFile(relativePath);
    return content ? FromUtf8(*content) : std::wstring();
}

bool ReadTemplateLines(const std::wstring& relativePath, std::vector<std::wstring>& lines) {
    lines.clear();
    const std::optional<std::string> content = TryReadTextFile(relativePath);
    if (!content) return false;
    std::wstring text = FromUtf8(*content);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return true;
}

}  // namespace veltrane
