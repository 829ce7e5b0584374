#include "sysaccess/file_bytes.h"

#include <windows.h>

#include "sysaccess/handles.h"

bool ReadWholeFile(const std::wstring& path, std::string& content, FileTextMode mode) {
    content.clear();
    // A folder opens under some runtimes and reads as nothing; it is not a file.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    UniqueFile file(_wfopen(path.c_str(), mode == FileTextMode::kText ? L"rt" : L"rb"));
    if (!file) return false;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file.Get())) > 0) content.append(buffer, got);
    return ferror(file.Get()) == 0;
}

bool WriteWholeFile(const std::wstring& path, std::string_view content, FileWriteMode mode) {
    UniqueFile file(_wfopen(path.c_str(), mode == FileWriteMode::kAppend ? L"ab" : L"wb"));
    if (!file) return false;
    const bool written = fwrite(content.data(), 1, content.size(), file.Get()) == content.size();
    return file.Close() && written;
}
