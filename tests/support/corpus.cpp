#include "support/corpus.h"

#include <windows.h>

namespace veltrane {

std::wstring CorpusFile(const std::wstring& relative) {
    std::wstring path = std::wstring(kCorpusRoot) + L"\\" + relative;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

}  // namespace veltrane
