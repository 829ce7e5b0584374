#include "plugins/browser/netscape_plugins.h"

#include "engine/kernel.h"
#include "engine/statistics.h"
#include "plugins/browser/netscape_files.h"

namespace veltrane {

CPlugin::Result CNetscapePlugin::Scan() {
    ClearDomains();
    bool read = ReadDomains();
    if (IsCancelled()) return kCancelled;
    BuildViewByItemCount();
    return read ? kDone : kFailed;
}

CPlugin::Result CNetscapeWholeFilePlugin::Fix() {
    std::optional<ItemError> error;
    bool deleted = DeleteFiles(error);
    errors.clear();
    if (IsCancelled()) return kCancelled;
    if (!error)  // a profile finder failed: no file names the failure
        error.emplace(ItemError::kFile, L"", ItemError::kUnknown, 0, false, L"",
                      kCannotDeleteSubitem);
    for (DomainInfo* domain : view_) {
        if (deleted) {
            domain->result = DomainInfo::kDeleted;
        } else {
            domain->result = DomainInfo::kRebootNeeded;
            domain->error = error;
            errors.push_back(*error);
        }
    }
    return kDone;
}

bool CPlgNetscapeHistory::ReadDomains() { return GetNetscapeHistory(domains_, Run()); }

bool CPlgNetscapeHistory::DeleteFiles(std::optional<ItemError>& error) {
    return DeleteNetscapeHistory(Run(), error);
}

bool CPlgNetscapeFormsManager::ReadDomains() { return GetNetscapeForms(domains_, Run()); }

bool CPlgNetscapeFormsManager::DeleteFiles(std::optional<ItemError>& error) {
    return DeleteNetscapeForms(Run(), error);
}

bool CPlgNetscapeCookies::ReadDomains() { return GetNetscapeCookies(domains_, Run()); }

CPlugin::Result CPlgNetscapeCookies::Fix() {
    ResetResults();
    if (auto refused = RefuseIfKeepListUnreadable()) return *refused;
    for (auto& [name, domain] : domains_) domain.profileIndex = 0;
    bool rewritten = DeleteNetscapeCookies(domains_, Run(), GetKernel().GetCookieKeepList());
    CollectDomainErrors();
    if (IsCancelled()) return kCancelled;
    // A file that could not be rewritten failed its rows: "finished with failures".
    return rewritten || !errors.empty() ? kDone : kFailed;
}

}  // namespace veltrane
