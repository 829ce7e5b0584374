#include "engine/page_reader.h"

#include "engine/program_folder.h"
#include "sysaccess/file_bytes.h"
#include "sysaccess/text.h"

namespace {

// The whole file in text mode (CR LF read as LF).
bool ReadTextFile(const std::wstring& relativePath, std::string& content) {
    const std::wstring path = ProgramFilePath(relativePath);
    return !path.empty() && ReadWholeFile(path, content, FileTextMode::kText);
}

}  // namespace

std::wstring ReadPage(const std::wstring& relativePath) {
    std::string content;
    if (!ReadTextFile(relativePath, content)) return {};
    return FromUtf8(content);
}

bool ReadTemplateLines(const std::wstring& relativePath, std::vector<std::wstring>& lines) {
    lines.clear();
    std::string content;
    if (!ReadTextFile(relativePath, content)) return false;
    std::wstring text = FromUtf8(content);
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
