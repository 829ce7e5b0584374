#pragma once
// What the walkers and deletion routines need to know about the operation
// they run for: whether the user cancelled it, whether files are to be
// overwritten before deletion, and where to note a deletion deferred to the
// next system start. A running plug-in provides it.

class IRunContext {
public:
    virtual bool IsCancelled() const = 0;
    virtual bool GetWipeFiles() const = 0;
    virtual void SetRebootNeeded() = 0;

protected:
    ~IRunContext() = default;
};

inline bool IsCancelled(const IRunContext* context) {
    return context != nullptr && context->IsCancelled();
}
