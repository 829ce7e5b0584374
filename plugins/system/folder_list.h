#pragma once
#include <string>

#include "sysaccess/reg_walk.h"  // StringList

namespace veltrane {

// Sub-folders directly in `folder` whose names do not begin with "."; none
// when the folder does not exist.
StringList VisibleSubFolders(const std::wstring& folder);

}  // namespace veltrane
