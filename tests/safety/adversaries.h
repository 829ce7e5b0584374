#pragma once
// What the safety net plants before a clean, one family at a time. Each
// planter guards what a careless cleaner would destroy (Plantation::Guard)
// and registers how its items go again; the checks that the snapshots cannot
// make (bytes of a held file, cookies a keep-list keeps) come with them.
#include <string>
#include <vector>

#include "safety/net_families.h"
#include "safety/plantation.h"

namespace veltrane {

struct CleanRun;

// Beside and inside every starting folder: a control file beside it, a folder
// link inside it to a control folder, and a hard link inside it sharing its
// data with a control file.
void PlantNeighbours(Plantation& plantation, const std::vector<StartFolder>& starts);
// In every starting folder: a file link with a name its plug-in takes, and
// its first trace file replaced by a link to a copy elsewhere.
void PlantFileLinks(Plantation& plantation, const std::vector<StartFolder>& starts);
// In every starting folder: a file held open, sharing read and write (and
// delete, every other one), as a program that uses it would.
void PlantHeldFiles(Plantation& plantation, const std::vector<StartFolder>& starts);
// Not one byte of a held file may change while it is held.
void CheckHeldFiles(Plantation& plantation, Verdict& verdict);
// C:\Recycled\Family photos\ and C:\Recycler\Invoices\: a user's folders
// named like recycle bins, with no bin's shape.
void PlantBinLookAlikes(Plantation& plantation);
// Local State and profiles.ini entries that lead into the user's Documents:
// a profile folder that is a link, names that climb out of User Data, and a
// Firefox profile whose path is a Documents folder.
void PlantProfileLists(Plantation& plantation);
// Every starting folder, or the folder above it, moved away and replaced by
// a link to where it went; the temporary folder through TEMP and TMP. False
// (with `why`) when a folder could not be moved.
bool PlantFolderLinks(Plantation& plantation, const std::vector<StartFolder>& starts, bool above,
                      std::string& why);

// A registry link key inside every list the noted places show, leading to a
// control key shaped like such a list.
void PlantRegistryLinks(Plantation& plantation, const std::vector<TracePlace>& places);
// "OverWrite" on and no cookie keep-list for the run, as the adversarial clean wants them.
void TurnOverwriteOn(Plantation& plantation);
// A cookie keep-list of more than 255 characters, "OverWrite" stored after it.
void PlantOptions(Plantation& plantation);
// The keep-list kept its cookies, and overwriting stayed on.
void CheckOptions(const CleanRun& run, Verdict& verdict);

}  // namespace veltrane
