#include "sysaccess/file_bytes.h"

#include <algorithm>

#include "sysaccess/handles.h"

namespace veltrane {

FileRead ReadFileBytes(const std::wstring& path, uint64_t largest) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {FileRead::Kind::kFailed, GetLastError(), {}};
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) return {FileRead::Kind::kFailed, GetLastError(), {}};
    FileRead read{FileRead::Kind::kRead, ERROR_SUCCESS, {}};
    const uint64_t length = static_cast<uint64_t>(size.QuadPart);
    if (length > largest || length > read.bytes.max_size())
        return {FileRead::Kind::kTooLarge, ERROR_FILE_TOO_LARGE, {}};
    read.bytes.resize(static_cast<size_t>(length));
    size_t done = 0;
    while (done < read.bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(read.bytes.size() - done, 1 << 20));
        DWORD got = 0;
        if (!ReadFile(file.Get(), read.bytes.data() + done, chunk, &got, nullptr))
            return {FileRead::Kind::kFailed, GetLastError(), {}};
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    read.bytes.resize(done);
    return read;
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

std::optional<std::string> TryReadWholeFile(const std::wstring& path, FileTextMode mode) {
    FileRead read = ReadFileBytes(path, UINT64_MAX);
    if (!read.Done()) return std::nullopt;
    if (mode == FileTextMode::kText) {
        const size_t end = read.bytes.find('\x1a');
        if (end != std::string::npos) read.bytes.resize(end);
        return ToTextMode(std::move(read.bytes));
    }
    return std::move(read.bytes);
}

FileWrite WriteWholeFile(const std::wstring& path, std::string_view content, FileWriteMode mode) {
    const bool append = mode == FileWriteMode::kAppend;
    // Shared as the runtime's files are: a reader, or another appender, may hold it meanwhile.
    UniqueHandle file(CreateFileW(
        path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {FileWrite::Kind::kFailed, GetLastError()};
    size_t done = 0;
    while (done < content.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file.Get(), content.data() + done, chunk, &written, nullptr))
            return {FileWrite::Kind::kFailed, GetLastError()};
        if (written == 0) return {FileWrite::Kind::kFailed, ERROR_WRITE_FAULT};
        done += written;
    }
    if (!file.Close()) return {FileWrite::Kind::kFailed, GetLastError()};
    return {FileWrite::Kind::kWritten};
}

}  // namespace veltrane
