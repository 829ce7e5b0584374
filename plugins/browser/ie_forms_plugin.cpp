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
    const bool deleted = DeleteAutoCompleteItems(domains_, Run(), seals_);
    if (IsCancelled()) return kCancelled;
    CollectDomainErrors();
    // Items left with their reasons (changed since the scan, a link) make the
    // clean one with failures; only a failure no row tells is the plug-in's.
    return deleted || !errors.empty() ? kDone : kFailed;
}
