#include "plugins/browser/ie_forms_plugin.h"

#include "plugins/browser/protected_storage.h"

CPlugin::Result CPlgIEFormsAutocomplete::Scan() {
    ClearDomains();
    ReadAutoCompleteItems(domains_, Run(), seals_);
    if (IsCancelled()) return kCancelled;
    BuildViewByItemCount();
    return IsCancelled() ? kCancelled : kDone;
}

CPlugin::Result CPlgIEFormsAutocomplete::Fix() {
    bool deleted = DeleteAutoCompleteItems(domains_, Run(), seals_);
    if (IsCancelled()) return kCancelled;
    CollectDomainErrors();
    return deleted ? kDone : kFailed;
}
