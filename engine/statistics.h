#pragma once
// What a plug-in found: one record per item, with what became of it in the
// clean. The table-driven engine owns these records; other plug-ins use them
// too (through CElimAction::SStatistics and friends, or these names).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/item_error.h"
#include "sysaccess/item_ref.h"

namespace veltrane {

class CElimActionRecords {
public:
    enum Status : int {
        kFound = 0,   // not handled by a clean
        kHidden = 1,  // never shown in a report
        kFailed = 2,
        kDeferred = 3,  // removed at the next system start
        kRemoved = 4,
        // A file whose data other names share: deleted, not overwritten.
        kRemovedNotOverwritten = 5,
        // Not there any more when the clean came: nothing removed, nothing freed.
        kGone = 6,
        // Left untouched by the clean: the user unticked it, or a rule keeps it (`kept`).
        kKept = 7,
    };

    struct SStatistics {
        virtual ~SStatistics() = default;
        // Marks the record failed and appends its item error.
        virtual void AddError(std::vector<ItemError>& errors, ItemError::Reason reasonType,
                              DWORD code) = 0;
        // Marks a file deferred to the next system start and appends its item error.
        void AddDeferred(std::vector<ItemError>& errors, bool overwriting, DWORD code);

        std::wstring name;
        Status status = kFound;
        // The row's key (ItemKey) when a clean would remove it; empty for a
        // row the clean only reports (a refusal, a link).
        std::wstring itemKey;
        KeepVerdict kept;  // kKept: why
    };

    struct SFileItemStatistics : SStatistics {
        void AddError(std::vector<ItemError>& errors, ItemError::Reason reasonType,
                      DWORD code) override;

        bool isFolder = false;
        uint32_t subitemsFound = 0;
        uint32_t subitemsRemoved = 0;
        uint64_t size = 0;
        uint64_t removedSize = 0;
    };

    struct SRegItemStatistics : SStatistics {
        void AddError(std::vector<ItemError>& errors, ItemError::Reason reasonType,
                      DWORD code) override;

        std::wstring regPath;    // the key as shown, ending with a backslash
        std::wstring valueData;  // filled only when the plug-in shows data
        std::wstring regName;    // empty for a key itself
        bool isKey = false;
        uint32_t subitemsFound = 0;
        uint32_t subitemsRemoved = 0;
    };
};

inline constexpr wchar_t kCannotDeleteSubitem[] = L"Cannot delete subitem";

}  // namespace veltrane
