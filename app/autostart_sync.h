#pragma once
// At every start of the window, before the kernel reads the options:
// "BootStartup" is stored as whether an autostart entry is there.
#include "engine/options.h"

namespace veltrane {

// True when an entry is there (an empty entry starts nothing and is removed).
bool SyncAutostart(const SettingsHome& home = {});

}  // namespace veltrane
