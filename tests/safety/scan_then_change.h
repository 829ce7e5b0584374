#pragma once
// The machine changes between a clean's scan and its clean, as a user or a
// program might change it: listed files become hard links or file links or
// are written again, a listed folder and a folder above listed files become
// links, files and registry values appear, listed values change. A clean may
// remove only what its scan listed, so every changed or added item must come
// through as it was changed: each is guarded, and `before` takes it as it is
// now. A change that cannot be made is a finding of its own.
#include "safety/plantation.h"
#include "safety/snapshot.h"

namespace veltrane {

void ChangeAfterScan(Plantation& plantation, Snapshot& before, Verdict& verdict);

}  // namespace veltrane
