#pragma once
// The engine of the table-driven plug-ins: a description of registry
// entries and file entries, what the last scan found there, and the clean
// that removes exactly that.
#include <windows.h>

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/item_error.h"
#include "engine/statistics.h"
#include "sysaccess/file_identity.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_values.h"

namespace veltrane {

struct FolderTreeListing;
struct TreeRemoval;
struct Removal;

class CStandartPlugin;

class CElimAction : public CElimActionRecords {
public:
    enum FileMode : int {
        kSingleFile = 0,   // the file named by the path
        kFolderFiles = 1,  // the files directly in the folder that match the masks
        kFolderTree = 2,   // everything inside the folder, which itself stays
    };
    enum RegMode : int {
        kSingleValue = 0,  // the one value named by the entry
        kAllValues = 1,    // every value directly in the key; sub-keys stay
        kKeyTree = 2,      // the key with everything below it
    };

    // A record that also knows which of the plug-in's item errors is its
    // own, so that a report links every failed row to its explanation.
    struct SFileRecord : SFileItemStatistics {
        size_t errorNumber = 0;  // 1-based; 0 for none
        std::wstring refusal;    // why the guard keeps this folder or file; the clean fails it
        // The item as the scan found it: the clean removes it only while it
        // is still that item, in that place.
        FileIdentity identity;
        // What the scan found below a folder; the clean removes exactly that.
        std::shared_ptr<const FolderTreeListing> listing;
    };
    struct SRegRecord : SRegItemStatistics {
        size_t errorNumber = 0;
        std::wstring refusal;  // why the clean leaves this key (a registry link); it fails the row
        // A value's type and data as the scan read them: the clean deletes
        // the value only while it still holds them. Nothing for a key, or a
        // value the scan could not read.
        std::optional<RegValueSeal> seal;
    };

    struct SFileEntry {
        std::wstring path;  // may hold path macros
        FileMode mode = kSingleFile;
        std::wstring mask;  // "|"-separated, for kFolderFiles and kFolderTree
        std::vector<SFileRecord> found;
        bool absent = false;
    };
    struct SRegEntry {
        std::wstring keyPath;  // may hold "[WIN_USERNAME]"
        std::wstring valueName;
        HKEY root = HKEY_CURRENT_USER;
        RegMode mode = kSingleValue;
        std::vector<SRegRecord> found;
        bool absent = false;
        // The key as the scan found it; the clean compares it to skip re-reading the values.
        std::optional<RegKeyStamp> scanStamp;
        // The key's real name at the scan: when the path reaches a key of
        // another name at the clean, a registry link came between, and the
        // entry is left.
        std::optional<std::wstring> scanKeyName;
    };

    explicit CElimAction(CStandartPlugin& plugin) : plugin_(plugin) {}
    virtual ~CElimAction() = default;
    CElimAction(const CElimAction&) = delete;
    CElimAction& operator=(const CElimAction&) = delete;

    // False when cancelled.
    bool Scan();
    // Removes what the last scan recorded, and nothing else: an item that
    // changed since stays, and so does what came after the scan. Failures
    // become item errors. False when cancelled.
    bool Fix(std::vector<ItemError>& errors);
    // Whether the last clean left a row it showed: failed, refused or changed since the scan.
    bool LeftItems() const;

    // Marks a record failed and remembers its item error.
    template <typename Record>
    static void Fail(Record& record, std::vector<ItemError>& errors, ItemError::Reason reasonType,
                     DWORD code) {
        record.AddError(errors, reasonType, code);
        record.errorNumber = errors.size();
    }

    std::vector<SFileEntry> fileEntries;
    std::vector<SRegEntry> regEntries;
    bool showValueData = false;
    bool matchByData = false;
    // Files the last scan left out of the folders it lists: written within the age limit.
    uint64_t newerThanLimit = 0;

private:
    bool ScanFileEntry(SFileEntry& entry);
    bool ScanRegEntry(SRegEntry& entry);
    bool FixFileEntry(SFileEntry& entry, std::vector<ItemError>& errors);
    bool FixRegEntry(SRegEntry& entry, std::vector<ItemError>& errors);
    bool FixAllValues(SRegEntry& entry, const std::wstring& keyPath,
                      std::vector<ItemError>& errors);
    // The names of the key's values now, by their seals: a renumbered list's
    // values are found again by what they hold. False when cancelled.
    bool ReadNamesBySeal(const SRegEntry& entry, const std::wstring& keyPath, HKEY key,
                         std::multimap<RegValueSeal, std::wstring>& names);
    bool FixKeyTree(SRegEntry& entry, const std::wstring& keyPath, const std::wstring& display,
                    std::vector<ItemError>& errors);
    bool ScanSingleFile(SFileEntry& entry, const std::wstring& path);
    void DeleteFileRecord(SFileRecord& record, bool overwrite, std::vector<ItemError>& errors);
    bool DeleteFolderRecord(SFileRecord& record, const std::wstring& mask,
                            std::vector<ItemError>& errors);
    // Fails a folder whose own removal did not succeed, with the reason that
    // explains it best: something inside waits for the next start, changed,
    // came after the scan or failed; else the folder's own failure.
    static void FailFolder(SFileRecord& record, const TreeRemoval& tree, const Removal& removal,
                           std::vector<ItemError>& errors);
    // Marks a record failed with a reason of the program's own.
    static void FailWithReason(SFileRecord& record, const std::wstring& reason,
                               std::vector<ItemError>& errors);
    // The dots text grown by one, as progress for single files and values.
    void StepDots();

    CStandartPlugin& plugin_;
    std::wstring dots_;
};

}  // namespace veltrane
