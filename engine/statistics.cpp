#include "engine/statistics.h"

namespace veltrane {

using Records = CElimActionRecords;

void Records::SStatistics::AddDeferred(std::vector<ItemError>& errors, bool overwriting,
                                       DWORD code) {
    status = kDeferred;
    errors.emplace_back(overwriting ? ItemError::kWipeFile : ItemError::kFile, name,
                        ItemError::kSystemMessage, code, true, L"", kCannotDeleteSubitem);
}

void Records::SFileItemStatistics::AddError(std::vector<ItemError>& errors,
                                            ItemError::Reason reasonType, DWORD code) {
    status = kFailed;
    errors.emplace_back(isFolder ? ItemError::kFolder : ItemError::kFile, name, reasonType, code,
                        false, L"", kCannotDeleteSubitem);
}

void Records::SRegItemStatistics::AddError(std::vector<ItemError>& errors,
                                           ItemError::Reason reasonType, DWORD code) {
    status = kFailed;
    errors.emplace_back(isKey ? ItemError::kRegKey : ItemError::kRegValue, name, reasonType, code,
                        false, L"", kCannotDeleteSubitem);
}

}  // namespace veltrane
