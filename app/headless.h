#pragma once
// The unattended front end: runs a scan or a scan and clean through the same
// kernel the window uses, on a message-only window with its own message
// loop, and reports the outcome as a table or as JSON.
#include <string>

#include "app/command_line.h"
#include "engine/kernel.h"

namespace veltrane {

// The exit codes; scripts compare the numbers.
enum ExitCode : int {
    kExitDone = 0,    // every plug-in did all it showed
    kExitFailed = 1,  // one failed, or the run could not start (its run lock could not be opened)
    kExitUsage = 2,   // a wrong command line
    kExitBusy = 3,    // another instance was scanning or cleaning (nothing was done)
    // The clean ran to its end but left items it showed (failed, refused or
    // changed since the scan); items deferred to the next start count as done.
    kExitItemsLeft = 4,
};
ExitCode RunHeadless(const HeadlessRequest& request, const PluginFactory& createPlugins,
                     std::wstring& output);

}  // namespace veltrane
