#pragma once
// What the walkers and deletion routines need to know about the operation
// they run for: whether the user cancelled it, whether files are to be
// overwritten before deletion, where to note a deletion deferred to the
// next system start, and whether an item may go at all (the user's unticked
// rows, exclusions, the age limit). A running plug-in provides it.
#include "sysaccess/item_ref.h"

namespace veltrane {

class IRunContext {
public:
    virtual bool IsCancelled() const = 0;
    virtual bool GetWipeFiles() const = 0;
    virtual void SetRebootNeeded() = 0;
    // Asked before an item is touched; by default everything may go.
    virtual KeepVerdict MayRemove(const ItemRef& /*item*/) const { return {}; }

protected:
    ~IRunContext() = default;
};

inline bool IsCancelled(const IRunContext* context) {
    return context != nullptr && context->IsCancelled();
}

// The context's verdict, or kRemove when there is no context.
inline KeepVerdict MayRemove(const IRunContext* context, const ItemRef& item) {
    return context != nullptr ? context->MayRemove(item) : KeepVerdict{};
}

}  // namespace veltrane
