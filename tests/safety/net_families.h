#pragma once
// The families of harm the safety net plants, and the verdict that sorts
// what a clean damaged into them, so that each family passes or fails on its
// own and says where.
#include <map>
#include <string>
#include <vector>

#include "safety/snapshot.h"
#include "seedtraces/seed_util.h"

namespace veltrane {

enum class Family {
    kNeighbours,        // control data the seeders and the net put beside the traces; all else
    kFileLinks,         // file links (Wine shows them as plain files) in and for trace files
    kFolderLinksAt,     // every starting folder is a link to a folder elsewhere
    kFolderLinksAbove,  // a folder above every starting folder is a link
    kAliases,           // TEMP spelt as a Documents child, \\?\, a subst drive, an admin share
    kHeldOpen,          // files another program holds open
    kBinLookAlikes,     // user folders named like recycle bins
    kRegistryLinks,     // registry link keys inside the lists the plug-ins walk
    kProfileLists,      // Local State and profiles.ini entries that lead into user folders
    kOptions,           // a keep-list over 255 characters with an option stored after it
    kScanThenChange,    // items changed, replaced by links or added between scan and clean
    kOutcomes,          // every plug-in's result and the exit code
};
const char* FamilyName(Family family);

// Something a family planted that must come through a clean untouched: the
// item and everything below it (items named as TraceItemName names them).
struct Guarded {
    std::wstring name;
    Family family;
    std::wstring why;
};

class Verdict {
public:
    // Sorts what a run removed, changed or left for deletion at the next
    // start: a guarded item is its family's harm, whatever the seeders noted
    // there; an item at or below a noted trace place may go (a database noted
    // as edited may only change); anything else is
    // harm to the neighbours. `volatileNames` change on their own and are not judged.
    void Judge(const std::vector<Damage>& damages, const std::vector<TracePlace>& places,
               const std::vector<Guarded>& guards, const std::vector<std::wstring>& volatileNames);
    // A finding of a check that the snapshots cannot see.
    void Add(Family family, const std::string& finding);

    // What harmed `family`, one finding a line; empty when it came through.
    std::string Findings(Family family) const;
    // How many changes the traces saw: a clean that removed nothing passes nothing.
    size_t TraceChanges() const { return traceChanges_; }

private:
    std::map<Family, std::vector<std::string>> findings_;
    size_t traceChanges_ = 0;
};

}  // namespace veltrane
