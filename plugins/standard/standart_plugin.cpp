#include "plugins/standard/standart_plugin.h"

#include "engine/changed_since_scan.h"
#include "engine/kernel.h"

namespace veltrane {

CStandartPlugin::CStandartPlugin(CKernel& kernel, const PluginIdentity& identity,
                                 ReportLayout reportLayout)
    : CPlugin(kernel, identity), reportLayout_(reportLayout), engine_(*this) {}

void CStandartPlugin::AddRegEntry(HKEY root, const std::wstring& keyPath, CElimAction::RegMode mode,
                                  const std::wstring& valueName) {
    CElimAction::SRegEntry entry;
    entry.root = root;
    entry.keyPath = keyPath;
    entry.mode = mode;
    entry.valueName = valueName;
    engine_.regEntries.push_back(std::move(entry));
}

void CStandartPlugin::AddFileEntry(const std::wstring& path, CElimAction::FileMode mode,
                                   const std::wstring& mask) {
    CElimAction::SFileEntry entry;
    entry.path = path;
    entry.mode = mode;
    entry.mask = mask;
    engine_.fileEntries.push_back(std::move(entry));
}

void CStandartPlugin::SetValueFlags(ValueFlags flags) {
    engine_.showValueData = flags.showData;
    engine_.matchByData = flags.showData && flags.matchByData;
}

CPlugin::Result CStandartPlugin::RunResult(bool succeeded) const {
    if (succeeded) return kDone;
    return IsCancelled() ? kCancelled : kFailed;
}

CPlugin::Result CStandartPlugin::Scan() {
    errors.clear();
    return RunResult(engine_.Scan());
}

CPlugin::Result CStandartPlugin::Fix() {
    if (!engine_.Fix(errors)) return RunResult(false);
    // A clean that left rows it showed did not do all it showed.
    return engine_.LeftItems() ? kDoneWithFailures : kDone;
}

CleanSummary CStandartPlugin::GetCleanSummary() const {
    // Counted from the rows: a row may be deferred by its plug-in after the engine removed it.
    CleanSummary summary;
    uint64_t removed = 0;
    uint64_t freed = 0;
    auto count = [&](const CElimAction::SStatistics& record, size_t errorNumber) {
        switch (record.status) {
            case CElimAction::kRemoved:
            case CElimAction::kRemovedNotOverwritten:
                ++removed;
                break;
            case CElimAction::kDeferred:
                ++summary.deferred;
                break;
            case CElimAction::kFailed:
                if (errorNumber > 0 && errorNumber <= errors.size() &&
                    TellsChangedSinceScan(errors[errorNumber - 1]))
                    ++summary.changed;
                else
                    ++summary.failed;
                break;
            default:
                break;
        }
    };
    for (const CElimAction::SFileEntry& entry : engine_.fileEntries) {
        if (entry.absent) continue;
        for (const CElimAction::SFileRecord& record : entry.found) {
            count(record, record.errorNumber);
            freed += record.removedSize;
        }
    }
    for (const CElimAction::SRegEntry& entry : engine_.regEntries) {
        if (entry.absent) continue;
        for (const CElimAction::SRegRecord& record : entry.found) count(record, record.errorNumber);
    }
    summary.removed = removed;
    summary.freedBytes = freed;
    return summary;
}

void CStandartPlugin::PostProgressNow(const std::wstring& text) {
    GetKernel().PostProgress(GetId(), text);
}

}  // namespace veltrane
