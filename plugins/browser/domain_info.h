#pragma once
// Per-domain results: every browser plug-in files what it finds under the
// domain it belongs to and lists one row per domain.
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/item_error.h"
#include "engine/item_outcome.h"
#include "sysaccess/file_identity.h"
#include "sysaccess/run_context.h"

namespace veltrane {

// One selected entry of the WinInet URL cache.
struct UrlEntry {
    std::wstring url;        // the full entry name, as DeleteUrlCacheEntryW wants it
    std::wstring localFile;  // empty when the entry has none
    uint64_t size = 0;
    // The local file as the scan read it: the clean removes only that file.
    std::optional<FileIdentity> file;
    // Why the clean leaves the entry and its file (it is reached through a
    // link, or could not be read: then `readError` too); empty when it may go.
    std::wstring refusal;
    DWORD readError = ERROR_SUCCESS;
};

// One Protected Storage item key.
struct RegItem {
    std::wstring text;  // the domain it was filed under
    HKEY root = nullptr;
    std::wstring keyPath;
    // An index item: the key path of the saved value it stands beside, which
    // it goes or stays with; empty for a saved value.
    std::wstring owner;
    KeepVerdict kept;  // after a clean: why it stayed, when the run kept it
};

struct DomainInfo {
    // The item outcomes a domain's row can have, by the names the browser
    // plug-ins use; kKept: every cookie of the domain was on the cookie keep-list.
    using Result = ItemOutcome;
    static constexpr Result kNotProcessed = ItemOutcome::kNotProcessed;
    static constexpr Result kRebootNeeded = ItemOutcome::kDeferred;
    static constexpr Result kError = ItemOutcome::kFailed;
    static constexpr Result kDeleted = ItemOutcome::kRemoved;
    static constexpr Result kKept = ItemOutcome::kKeptByKeepList;

    Result result = kNotProcessed;
    KeepVerdict kept;                // ItemOutcome::kKept: why the whole row stayed
    std::optional<ItemError> error;  // the failure of the last fix (results 1 and 2)
    std::wstring name;
    int itemCount = 0;
    uint32_t hitRateSum = 0;
    // 64 bits: caches of several gigabytes must not wrap.
    uint64_t sizeSum = 0;
    FILETIME lastAccess = {};
    std::vector<UrlEntry> urlItems;
    std::vector<RegItem> regItems;
    // The 1-based profile whose cookie file first lost this domain's lines.
    int profileIndex = 0;
};

// Keyed by exact, case-sensitive comparison of the names.
using DomainMap = std::map<std::wstring, DomainInfo>;
using DomainView = std::vector<DomainInfo*>;

// The record of `name`, inserted empty when absent.
DomainInfo& FindOrAddDomain(DomainMap& domains, const std::wstring& name);

// What the browser readers and deleters need of the running plug-in.
class IRunProgress : public IRunContext {
public:
    virtual void ReportProgress(const std::wstring& text) = 0;

protected:
    ~IRunProgress() = default;
};

}  // namespace veltrane
