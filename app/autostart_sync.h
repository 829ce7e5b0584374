#pragma once
// At every start the stored "BootStartup" option is set from the presence of
// the autostart entry; both accessors write back when they go away.
#include "sysaccess/settings_store.h"

class CAutostartSync {
public:
    // The program's own keys under HKEY_LOCAL_MACHINE unless told otherwise.
    CAutostartSync(HKEY root = HKEY_LOCAL_MACHINE, const wchar_t* runKey = kRunKey,
                   const wchar_t* optionsKey = kOptionsKey);

    bool IsRunEntryPresent() const { return present_; }

private:
    // Destroyed in reverse order: "BootStartup" first, then the Run entry.
    CRPSTRING runEntry_;
    CRPSTRING bootStartup_;
    bool present_;
};
