#pragma once
// Explorer's lists of Windows Vista and later: what a user opened, chose in
// the Open and Save dialogs, searched for, started, and which folders the
// shell remembers views of.
#include "plugins/explorer/explorer_list_plugin.h"

namespace veltrane {

class CPlgExplorerRecentDocs : public CExplorerListPlugin {
public:
    CPlgExplorerRecentDocs(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgOpenSavePidlHistory : public CExplorerListPlugin {
public:
    CPlgOpenSavePidlHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgExplorerSearchHistory : public CExplorerListPlugin {
public:
    CPlgExplorerSearchHistory(CKernel& kernel, const PluginIdentity& identity);
};

// Only the values of each {GUID}\Count key go: the GUID keys hold
// Explorer's settings for the list.
class CPlgUserAssist : public CExplorerListPlugin {
public:
    CPlgUserAssist(CKernel& kernel, const PluginIdentity& identity);
};

// Each folder is shown by its full path, BagMRU walked from its root.
// Removing the bags resets the views of every folder (and the desktop's
// icon positions): the description says so.
class CPlgShellBags : public CExplorerListPlugin {
public:
    CPlgShellBags(CKernel& kernel, const PluginIdentity& identity);
};

}  // namespace veltrane
