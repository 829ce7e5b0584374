#include "app/autostart_sync.h"

#include "sysaccess/trace.h"

namespace veltrane {

bool SyncAutostart(const SettingsHome& home) {
    OptionsStore store(home);
    Options options = store.Load();
    options.bootStartup = store.TakeAutostartEntry();
    if (!store.Save(options).Done())
        Trace(L"\"BootStartup\" could not follow the autostart entry\n");
    return options.bootStartup;
}

}  // namespace veltrane
