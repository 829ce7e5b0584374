#include "sysaccess/file_identity.h"

#include <winternl.h>

#include <vector>

#include "sysaccess/handles.h"
#include "sysaccess/os_version.h"
#include "sysaccess/path_canonical.h"
#include "sysaccess/protected_places.h"

namespace veltrane {

namespace {

uint64_t Combine(const LARGE_INTEGER& value) { return static_cast<uint64_t>(value.QuadPart); }

FILETIME AsFileTime(const LARGE_INTEGER& value) {
    return {static_cast<DWORD>(value.QuadPart), static_cast<DWORD>(value.QuadPart >> 32)};
}

bool SameTime(const FILETIME& first, const FILETIME& second) {
    return first.dwLowDateTime == second.dwLowDateTime &&
           first.dwHighDateTime == second.dwHighDateTime;
}

// The file id alone: the Win32 queries that carry it also ask for the volume.
std::optional<uint64_t> TryFileId(HANDLE handle, DWORD& error) {
    IO_STATUS_BLOCK status = {};
    LARGE_INTEGER id = {};  // FILE_INTERNAL_INFORMATION
    const NTSTATUS result =
        NtQueryInformationFile(handle, &status, &id, sizeof(id), FileInternalInformation);
    if (result < 0) {
        error = RtlNtStatusToDosError(result);
        return std::nullopt;
    }
    return Combine(id);
}

// Under Wine the object name of a file is "\??\" and its final path: when
// that is the recorded path, the final path need not be asked for (it costs
// a third more). Anywhere else the name is the device's, and is not asked for.
bool NameIsRecordedPath(HANDLE handle, const std::wstring& recorded) {
    static const bool wine = IsRunningOnWine();
    if (!wine) return false;
    alignas(OBJECT_NAME_INFORMATION)
        BYTE buffer[sizeof(OBJECT_NAME_INFORMATION) + (MAX_PATH + 8) * sizeof(wchar_t)];
    ULONG length = 0;
    if (NtQueryObject(handle, ObjectNameInformation, buffer, sizeof(buffer), &length) < 0)
        return false;
    const UNICODE_STRING& name = reinterpret_cast<OBJECT_NAME_INFORMATION*>(buffer)->Name;
    const std::wstring_view text(name.Buffer, name.Length / sizeof(wchar_t));
    constexpr std::wstring_view kPrefix = L"\\??\\";
    return text.size() == kPrefix.size() + recorded.size() && text.starts_with(kPrefix) &&
           SamePath(text.substr(kPrefix.size()), recorded);
}

// Whether the open item is at `recorded` (canonical), reached through no
// link or alias; when it is not, the final path it has instead.
bool IsAtRecordedPlace(HANDLE handle, const std::wstring& recorded,
                       std::optional<std::wstring>& finalPath) {
    if (NameIsRecordedPath(handle, recorded)) return true;
    finalPath = TryFinalPath(handle);
    return finalPath && IsDirectFinalPath(*finalPath, recorded);
}

}  // namespace

std::optional<std::wstring> TryFinalPath(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) break;
        buffer.resize(length + 1);
    }
    const std::wstring path(buffer.data());
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    const bool onDrive = path.size() >= 7 && path.rfind(L"\\\\?\\", 0) == 0 && path[5] == L':';
    return onDrive ? path.substr(4) : path;
}

FactsOutcome ReadHandleFacts(HANDLE handle) {
    FILE_STANDARD_INFO standard = {};
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof(standard)) ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)))
        return {FactsRead::kFailed, GetLastError(), {}};
    FactsOutcome outcome{FactsRead::kRead, ERROR_SUCCESS, {}};
    const std::optional<uint64_t> id = TryFileId(handle, outcome.error);
    if (!id) return {FactsRead::kFailed, outcome.error, {}};
    FileIdentity& identity = outcome.facts.identity;
    identity.fileId = *id;
    identity.attributes = basic.FileAttributes;
    identity.lastWrite = AsFileTime(basic.LastWriteTime);
    identity.size = standard.Directory ? 0 : Combine(standard.EndOfFile);
    outcome.facts.links = standard.NumberOfLinks;
    return outcome;
}

std::optional<uint32_t> TryVolumeSerial(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(handle, &information)) return std::nullopt;
    return information.dwVolumeSerialNumber;
}

std::wstring LeadsElsewhere(const std::optional<std::wstring>& finalPath) {
    if (!finalPath) return L"is in a place the system cannot name";
    return L"is reached through a link or another name (it leads to " + *finalPath + L")";
}

IdentityOutcome CheckIdentity(HANDLE handle, const FileIdentity& recorded, IdentityParts parts) {
    static const bool wine = IsRunningOnWine();
    std::optional<std::wstring> finalPath;
    if ((parts != IdentityParts::kItemInCheckedFolder || wine) &&
        !IsAtRecordedPlace(handle, recorded.path, finalPath))
        return {IdentityCheck::kChanged, ERROR_SUCCESS, L"it " + LeadsElsewhere(finalPath), {}};
    FactsOutcome read = ReadHandleFacts(handle);
    if (read.kind != FactsRead::kRead) return {IdentityCheck::kFailed, read.error, {}, {}};
    const FileIdentity& now = read.facts.identity;
    IdentityOutcome outcome{IdentityCheck::kChanged, ERROR_SUCCESS, {}, read.facts};
    if (parts == IdentityParts::kPlace)
        outcome.kind = IdentityCheck::kSame;
    else if (now.IsFolder() != recorded.IsFolder())
        outcome.change = now.IsFolder() ? L"it is a folder now" : L"it is a file now";
    // A file system that keeps no file ids listed none (0): its items are
    // known again by place, size and time.
    else if (recorded.fileId != 0 && now.fileId != recorded.fileId)
        outcome.change = L"it is another " + std::wstring(now.IsFolder() ? L"folder" : L"file") +
                         L" of the same name now";
    else if (!now.IsFolder() && now.size != recorded.size)
        outcome.change = L"its size is " + std::to_wstring(now.size) + L" bytes, the scan saw " +
                         std::to_wstring(recorded.size);
    else if (!now.IsFolder() && !SameTime(now.lastWrite, recorded.lastWrite))
        outcome.change = L"it was written to after the scan";
    else if (parts == IdentityParts::kItemAndVolume &&
             TryVolumeSerial(handle) != recorded.volumeSerial)
        outcome.change = L"it is on another volume now";
    else
        outcome.kind = IdentityCheck::kSame;
    return outcome;
}

IdentityReadOutcome ReadFileIdentity(const std::wstring& path) {
    const std::wstring canonical = CanonicalPath(path);
    if (canonical.empty()) return {IdentityRead::kFailed, ERROR_INVALID_NAME, {}, {}};
    const UniqueHandle file(
        CreateFileW(ExtendedLengthPath(canonical).c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        // A folder does not open as a file.
        if (IsNotFoundError(error) || error == ERROR_ACCESS_DENIED)
            return {IdentityRead::kMissing, ERROR_SUCCESS, {}, {}};
        return {IdentityRead::kFailed, error, {}, {}};
    }
    std::optional<std::wstring> finalPath;
    if (!IsAtRecordedPlace(file.Get(), canonical, finalPath))
        return {IdentityRead::kRefused,
                ERROR_SUCCESS,
                L"The file is left alone: it " + LeadsElsewhere(finalPath) + L".",
                {}};
    FactsOutcome read = ReadHandleFacts(file.Get());
    if (read.kind != FactsRead::kRead) return {IdentityRead::kFailed, read.error, {}, {}};
    if (read.facts.identity.IsFolder()) return {IdentityRead::kMissing, ERROR_SUCCESS, {}, {}};
    IdentityReadOutcome outcome{
        IdentityRead::kRead, ERROR_SUCCESS, {}, std::move(read.facts.identity)};
    outcome.identity.path = canonical;
    outcome.identity.volumeSerial = TryVolumeSerial(file.Get()).value_or(0);
    return outcome;
}

}  // namespace veltrane
