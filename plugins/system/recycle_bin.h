#pragma once
// The Recycle Bins of the fixed drives. The scan lists what each drive's
// bins hold (recycle_bin_shape.h: only folders with a bin's shape) and asks
// the shell for the bin it keeps apart from them; the clean removes exactly
// the listed items itself (so overwriting applies), then lets the shell
// empty its bin when the scan saw anything in it, and checks that it did.
// Items the user unticked stay, and so does the shell's bin then (emptying
// it would take them too); a shell's bin of its own has its own row, and
// unticked it is not emptied. The age limit judges an item by when it was put
// in the bin; the shell's bin, whose times the shell does not tell, is left
// whole under an age limit.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/plugin.h"
#include "plugins/system/recycle_bin_shape.h"
#include "sysaccess/reg_walk.h"  // StringList

namespace veltrane {

class CPlgRecycleBin : public CPlugin {
public:
    // The bin the shell keeps apart from the drive's bin folders: under
    // Wine, its own trash (on no drive, so counted on the first drive only);
    // on Windows, a user's bin the listing did not recognise.
    struct ShellBin {
        bool counted = false;  // its figures are part of the volume's
        uint64_t size = 0;     // as the shell gave them at the scan
        uint64_t items = 0;
        ItemOutcome result = ItemOutcome::kNotProcessed;  // removed: emptied
        KeepVerdict kept;                                 // kKept: why it was not emptied
        size_t errorNumber = 0;
        uint64_t freedBytes = 0;         // what it held as the shell emptied it
        bool leftUnderAgeLimit = false;  // not counted nor emptied: an age limit is set
    };

    struct Volume {
        // Removed: every item went; deferred: some wait for the next start.
        ItemOutcome result = ItemOutcome::kNotProcessed;
        uint64_t size = 0;   // what goes: the listed items and the shell's bin when counted
        uint64_t items = 0;  // items counted by what they are: a folder by its files
        // Items put in the bin later than the age limit allows: not listed, never removed.
        uint64_t newerThanLimit = 0;
        std::vector<BinItem> binItems;
        std::vector<LeftPlace> left;
        ShellBin shell;
        // The shell's bin held items at the scan, so the clean asks the shell to empty it.
        bool emptyThroughShell = false;
        size_t errorNumber = 0;  // the volume's own item error, for a failed or postponed clean
    };

    CPlgRecycleBin(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;
    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;
    CleanSummary GetCleanSummary() const override;
    // The files inside a deleted folder are not judged by their write time:
    // the age limit took or left the whole item by its deletion time.
    KeepVerdict MayRemove(const ItemRef& item) const override;

    // Keyed by drive root, in ordinal order (C:\ before D:\).
    const std::map<std::wstring, Volume>& GetVolumes() const { return volumes_; }

private:
    // Sets the volume's result; its item errors are added to `errors`.
    void CleanVolume(const std::wstring& root, Volume& volume);
    // Removes one listed item; its error, if any, goes to `itemErrors`.
    void RemoveItem(BinItem& item, std::vector<ItemError>& itemErrors);
    void RemoveFolderItem(BinItem& item, std::vector<ItemError>& itemErrors);
    // False when the shell failed, or said it emptied its bin and did not.
    bool EmptyShellBin(const std::wstring& root, Volume& volume, bool postponed,
                       std::vector<ItemError>& itemErrors);
    std::wstring BuildReport(bool clean) const;

    std::map<std::wstring, Volume> volumes_;
    Volume totals_;
};

// Roots of the fixed drives, in the order Windows lists them; false when
// the drive list cannot be read.
bool GetFixedDrives(StringList& roots);

}  // namespace veltrane
