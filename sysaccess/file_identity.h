#pragma once
// What a scan saw of a file or folder, and the check, through the item's own
// open handle, that it is still that item: in the same place, reached through
// no link or alias (its final path is the recorded one), the same file (its
// file id), and for a file with the same size and last write time.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace veltrane {

struct FileIdentity {
    std::wstring path;  // canonical: the final path the system gives its handle
    uint32_t volumeSerial = 0;
    uint64_t fileId = 0;
    uint64_t size = 0;
    FILETIME lastWrite = {};
    DWORD attributes = 0;

    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// The errors that say an item is not there (any more).
inline bool IsNotFoundError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The final path of an open handle: "C:\..." or "\\server\share\..." for a
// place on a drive or a share, else as the system gives it (Wine names places
// outside every drive "\\?\unix\..."). Nothing when the system cannot tell.
[[nodiscard]] std::optional<std::wstring> TryFinalPath(HANDLE handle);

// What an open handle shows of its item, without the volume (asking Wine for
// it is a round trip to another process per item).
struct HandleFacts {
    FileIdentity identity;  // path and volume left empty
    uint32_t links = 0;     // names of the file
};
enum class FactsRead { kRead, kFailed };
struct [[nodiscard]] FactsOutcome {
    FactsRead kind = FactsRead::kFailed;
    DWORD error = ERROR_SUCCESS;
    HandleFacts facts;
};
[[nodiscard]] FactsOutcome ReadHandleFacts(HANDLE handle);

// The volume serial number of an open handle's volume; nothing when unknown.
[[nodiscard]] std::optional<uint32_t> TryVolumeSerial(HANDLE handle);

// How much of a recorded identity an open item is compared with.
enum class IdentityParts {
    kPlace,          // the final path only: reached through no link or alias
    kItem,           // and the file id, and for a file its size and last write time
    kItemAndVolume,  // and the volume (one query more; a listing checks it once, for its folder)
    // The item, opened by its name through the handle of a folder already
    // checked: nothing above it can lead elsewhere, and a link is opened as
    // itself, so the final path is left out. Under Wine it is compared too:
    // Wine opens what a Linux symbolic link leads to, whatever is asked.
    kItemInCheckedFolder,
};
// How an item open through `handle` differs from what the scan recorded, as
// the report says it after "Changed since the scan: " ("it is another file
// of the same name now").
enum class [[nodiscard]] IdentityCheck{kSame, kChanged, kFailed};
struct [[nodiscard]] IdentityOutcome {
    IdentityCheck kind = IdentityCheck::kFailed;
    DWORD error = ERROR_SUCCESS;  // kFailed
    std::wstring change;          // kChanged
    HandleFacts facts;            // kSame: what the handle showed
};
[[nodiscard]] IdentityOutcome CheckIdentity(HANDLE handle, const FileIdentity& recorded,
                                            IdentityParts parts);

// The identity of the file at `path`, as a scan records it, read through a
// handle that follows no link. kMissing: no file there (or a folder);
// kRefused: it is reached through a link or an alias (the reason says so).
enum class IdentityRead { kRead, kMissing, kRefused, kFailed };
struct [[nodiscard]] IdentityReadOutcome {
    IdentityRead kind = IdentityRead::kFailed;
    DWORD error = ERROR_SUCCESS;  // kFailed
    std::wstring reason;          // kRefused
    FileIdentity identity;        // kRead
};
[[nodiscard]] IdentityReadOutcome ReadFileIdentity(const std::wstring& path);

// What is said of an item whose final path is not its own: "is reached
// through a link or another name (it leads to <final path>)".
std::wstring LeadsElsewhere(const std::optional<std::wstring>& finalPath);

}  // namespace veltrane
