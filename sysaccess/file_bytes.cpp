#include "sysaccess/file_bytes.h"

#include <algorithm>

#include "sysaccess/handles.h"

DWORD ReadFileBytes(const std::wstring& path, std::string& bytes, uint64_t largest) {
    bytes.clear();
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
    const uint64_t length = static_cast<uint64_t>(size.QuadPart);
    if (length > largest || length > bytes.max_size()) return ERROR_FILE_TOO_LARGE;
    bytes.resize(static_cast<size_t>(length));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        DWORD read = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr)) {
            const DWORD error = GetLastError();
            bytes.clear();
            return error;
        }
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    bytes.resize(done);
    return ERROR_SUCCESS;
}

std::string ToTextMode(std::string bytes) {
    size_t out = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        bytes[out++] = bytes[i];
    }
    bytes.resize(out);
    return bytes;
}

bool ReadWholeFile(const std::wstring& path, std::string& content, FileTextMode mode) {
    if (ReadFileBytes(path, content, UINT64_MAX) != ERROR_SUCCESS) return false;
    if (mode == FileTextMode::kText) {
        const size_t end = content.find('\x1a');
        if (end != std::string::npos) content.resize(end);
        content = ToTextMode(std::move(content));
    }
    return true;
}

bool WriteWholeFile(const std::wstring& path, std::string_view content, FileWriteMode mode) {
    UniqueFile file(_wfopen(path.c_str(), mode == FileWriteMode::kAppend ? L"ab" : L"wb"));
    if (!file) return false;
    const bool written = fwrite(content.data(), 1, content.size(), file.Get()) == content.size();
    return file.Close() && written;
}
