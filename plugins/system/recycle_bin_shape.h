#pragma once
// What a recycle bin looks like on a drive, for each generation of Windows,
// and the listing of what one holds. A folder is emptied only when it has a
// bin's shape; one that only has a bin's name is left, and said so.
//
// - Windows 95, 98 and Me, and the NT family on FAT drives: X:\Recycled,
//   one bin for every user. Windows 98 onwards keep its index in INFO2
//   (Windows 95 in INFO), and desktop.ini gives it the bin's class
//   {645FF040-5081-101B-9F08-00AA002F954E}. A deleted file or folder is
//   renamed D<drive letter><number>, keeping its extension (Dc1.txt).
// - Windows NT 4, 2000 and XP on NTFS: X:\RECYCLER, holding one bin per user
//   named by the user's SID (S-1-5-21-...), each laid out as Recycled is.
// - Windows Vista to 11: X:\$Recycle.Bin, one bin per user named by SID,
//   each with desktop.ini and a pair per deleted item: $R<id>[.ext], the file
//   or folder itself, and $I<id>[.ext], its index (original path, size,
//   time), where <id> is six letters or digits.
//
// The rule: the drive's bin folder and each user's bin carry the system and
// hidden attributes and are no link; a user's bin is named by a SID; a bin
// holds its own files: INFO2 or INFO, or desktop.ini naming the bin's class,
// or (Vista onwards) at least one $I/$R pair. Only what a bin names as its
// items goes: D<letter><number> names up to XP, $R and $I names since
// Vista. Index files and desktop.ini stay (the shell keeps them). Anything
// else, inside a bin or named like one, is left and listed with a reason.
//
// When an item was deleted is read from its index: the FILETIME at offset 16
// of a $I file (both of its versions), or the record of INFO2 whose number
// the item's name carries (records of 280 or 800 bytes after a 20-byte
// header: the ANSI path, the number, the drive, the deletion time, the size).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/item_outcome.h"
#include "sysaccess/file_identity.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/item_ref.h"
#include "sysaccess/run_context.h"

namespace veltrane {

// One thing a bin holds, as the scan found it; the clean removes exactly it.
struct BinItem {
    std::wstring path;   // the file or folder in the bin
    std::wstring index;  // its $I file (Vista onwards); empty otherwise
    bool isFolder = false;
    // A file as the scan read it: the clean removes only that file. None
    // when it could not be read so (it then goes by its name, no link on the way).
    std::optional<FileIdentity> file;
    uint64_t size = 0;   // a folder: what the files in it hold
    uint64_t count = 1;  // a folder counts the files in it; an empty one counts as one
    // When it was put in the bin, as its index says; none when no index tells.
    std::optional<FILETIME> deleted;
    // A folder's contents as the scan listed them; none for a link, which goes as a link.
    std::shared_ptr<const FolderTreeListing> listing;
    ItemOutcome result = ItemOutcome::kNotProcessed;
    KeepVerdict kept;         // kKept: why
    size_t errorNumber = 0;   // 1-based position of its item error; 0 for none
    uint64_t freedBytes = 0;  // what the clean removed of it
};

// Something named like a bin, or inside one, that is not the bin's own.
struct LeftPlace {
    std::wstring path;
    std::wstring reason;
};

struct DriveBins {
    std::vector<std::wstring> bins;  // the bin folders recognised, each user's
    std::vector<BinItem> items;
    std::vector<LeftPlace> left;
};

// The item's name in the report and before the questions of the clean.
ItemRef BinItemRef(const BinItem& item);
// The bin the shell keeps apart, counted on the drive at `root`: one item,
// since the shell empties it whole ("entry:The shell's Recycle Bin|C:\").
ItemRef ShellBinItemRef(const std::wstring& root);

// Lists the bins at the root of a drive ("C:\"). False when cancelled.
bool ListDriveBins(const std::wstring& root, const IRunContext* run, DriveBins& found);

// Whether one of `bins` is the bin the shell keeps for the user of `sid`
// (with the shared bin of Recycled, it is every user's).
bool HoldsUsersBin(const std::vector<std::wstring>& bins, const std::wstring& sid);

}  // namespace veltrane
