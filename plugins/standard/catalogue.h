#pragma once
// The plug-ins that are nothing but a description of registry entries and
// files. Each gets its id, category and weight from the plug-in list.
#include "plugins/standard/standart_plugin.h"

namespace veltrane {

// Windows caches the Run list, so a clean of it completes only after a reboot.
class CPlgRunHistory : public CStandartPlugin {
public:
    CPlgRunHistory(CKernel& kernel, const PluginIdentity& identity);
    Result Fix() override;
};

class CPlgOrderHistory : public CStandartPlugin {
public:
    CPlgOrderHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgOpenHistory : public CStandartPlugin {
public:
    CPlgOpenHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgTempDir : public CStandartPlugin {
public:
    CPlgTempDir(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgRegeditLastKey : public CStandartPlugin {
public:
    CPlgRegeditLastKey(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgNetLastUserLogon : public CStandartPlugin {
public:
    CPlgNetLastUserLogon(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgNetLastDomainLogon : public CStandartPlugin {
public:
    CPlgNetLastDomainLogon(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgFindHistory : public CStandartPlugin {
public:
    CPlgFindHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgIEAutoCompletePsw : public CStandartPlugin {
public:
    CPlgIEAutoCompletePsw(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgIEAddressBarHistory : public CStandartPlugin {
public:
    CPlgIEAddressBarHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgAOLAddressBarHistory : public CStandartPlugin {
public:
    CPlgAOLAddressBarHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgIEDownload : public CStandartPlugin {
public:
    CPlgIEDownload(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgIEHelper : public CStandartPlugin {
public:
    CPlgIEHelper(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgOperaCache : public CStandartPlugin {
public:
    CPlgOperaCache(CKernel& kernel, const PluginIdentity& identity);
};

// Opera keeps every cookie in one binary file: while the cookie keep-list
// names any domain, the clean refuses rather than delete the kept cookies.
class CPlgOperaCookies : public CStandartPlugin {
public:
    CPlgOperaCookies(CKernel& kernel, const PluginIdentity& identity);
    Result Fix() override;
};

class CPlgOperaAddressHistory : public CStandartPlugin {
public:
    CPlgOperaAddressHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgWCMediaHistory : public CStandartPlugin {
public:
    CPlgWCMediaHistory(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgRealPlayerPlaylist : public CStandartPlugin {
public:
    CPlgRealPlayerPlaylist(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgACDSeeHistory : public CStandartPlugin {
public:
    CPlgACDSeeHistory(CKernel& kernel, const PluginIdentity& identity);
};

// Windows Vista and later.
class CPlgExplorerTypedPaths : public CStandartPlugin {
public:
    CPlgExplorerTypedPaths(CKernel& kernel, const PluginIdentity& identity);
};

// Explorer's own list (Quick Access and its pinned folders) stays unless the
// option "CleanQuickAccess" is "1".
class CPlgJumpLists : public CStandartPlugin {
public:
    CPlgJumpLists(CKernel& kernel, const PluginIdentity& identity);
    Result Scan() override;
};

// Explorer keeps the caches open while it runs: they go at the next start.
class CPlgThumbnailCache : public CStandartPlugin {
public:
    CPlgThumbnailCache(CKernel& kernel, const PluginIdentity& identity);
};

class CPlgErrorReports : public CStandartPlugin {
public:
    CPlgErrorReports(CKernel& kernel, const PluginIdentity& identity);
};

}  // namespace veltrane
