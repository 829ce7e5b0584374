#pragma once
// The disk caches of the Mozilla suite and Netscape 4 profiles, described as
// file entries of the table-driven base. The profiles are taken once, when
// the plug-in is made.
#include "plugins/standard/standart_plugin.h"

namespace veltrane {

class CPlgNetscapeCache : public CStandartPlugin {
public:
    CPlgNetscapeCache(CKernel& kernel, const PluginIdentity& identity);
};

}  // namespace veltrane
