#include "plugins/browser/netscape_cache_plugin.h"

#include "plugins/browser/netscape_profiles.h"
#include "plugins/standard/elim_action.h"

namespace veltrane {

CPlgNetscapeCache::CPlgNetscapeCache(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFiles) {
    ProfileList profiles;
    // A shell folder that cannot be resolved leaves whatever was found.
    FindMozillaProfiles(profiles, 0);
    profiles.push_back(GetNetscape4ProfileFolder());
    for (const std::wstring& folder : profiles) {
        if (folder.empty()) continue;
        AddFileEntry(folder + L"Cache\\", CElimAction::kFolderFiles, L"*.*");
        AddFileEntry(folder + L"Cache.Trash\\", CElimAction::kFolderFiles, L"*.*");
    }
}

}  // namespace veltrane
