#pragma once
// Telling, from an item error, that its item was left because it changed
// since the scan: such a row's reason begins "Changed since the scan: ".
#include "engine/item_error.h"
#include "sysaccess/file_delete.h"

namespace veltrane {

inline bool TellsChangedSinceScan(const ItemError& error) {
    return error.GetReasonType() == ItemError::kOwnText &&
           error.GetReason().starts_with(kChangedSinceScan);
}

}  // namespace veltrane
