#include "safety/net_families.h"

#include "sysaccess/text.h"

namespace veltrane {

const char* FamilyName(Family family) {
    switch (family) {
        case Family::kNeighbours:
            return "seeded neighbours";
        case Family::kFileLinks:
            return "file links";
        case Family::kFolderLinksAt:
            return "folder links at starting folders";
        case Family::kFolderLinksAbove:
            return "folder links above starting folders";
        case Family::kAliases:
            return "aliases of the temporary folder";
        case Family::kHeldOpen:
            return "files held open";
        case Family::kBinLookAlikes:
            return "recycle bin look-alikes";
        case Family::kRegistryLinks:
            return "registry links";
        case Family::kProfileLists:
            return "profile lists into user folders";
        case Family::kOptions:
            return "options";
        case Family::kScanThenChange:
            return "scan, then change, then clean";
        case Family::kOutcomes:
            break;
    }
    return "results and exit code";
}

void Verdict::Judge(const std::vector<Damage>& damages, const std::vector<TracePlace>& places,
                    const std::vector<Guarded>& guards,
                    const std::vector<std::wstring>& volatileNames) {
    // What a guarded place lost, told once for the place: a folder behind a
    // link can lose hundreds of files.
    struct Loss {
        size_t removed = 0;
        size_t changed = 0;
        std::wstring first;
    };
    std::map<const Guarded*, Loss> losses;
    for (const Damage& damage : damages) {
        const Guarded* guard = nullptr;
        for (const Guarded& candidate : guards)
            if (IsAtOrBelow(damage.name, candidate.name)) guard = &candidate;
        if (guard) {
            Loss& loss = losses[guard];
            ++(damage.what == L"removed" ? loss.removed : loss.changed);
            if (loss.first.empty()) loss.first = damage.what + L": " + damage.name;
            continue;
        }
        bool skipped = false;
        for (const std::wstring& name : volatileNames)
            skipped = skipped || IsAtOrBelow(damage.name, name);
        if (skipped) continue;
        bool trace = false;
        for (const TracePlace& place : places) {
            const bool itself = damage.name == place.name;
            trace =
                trace || (IsAtOrBelow(damage.name, place.name) && !(place.contentOnly && itself) &&
                          !(place.editedOnly && itself && damage.what == L"removed"));
        }
        if (trace)
            ++traceChanges_;
        else
            Add(Family::kNeighbours, ToUtf8(damage.what + L": " + damage.name));
    }
    for (const auto& [guard, loss] : losses) {
        if (loss.removed + loss.changed == 1) {
            Add(guard->family, ToUtf8(loss.first + L" (" + guard->why + L")"));
            continue;
        }
        Add(guard->family,
            ToUtf8(guard->name + L" (" + guard->why + L"): " + std::to_wstring(loss.removed) +
                   L" removed, " + std::to_wstring(loss.changed) + L" changed, as " + loss.first));
    }
}

void Verdict::Add(Family family, const std::string& finding) {
    findings_[family].push_back(finding);
}

std::string Verdict::Findings(Family family) const {
    auto found = findings_.find(family);
    if (found == findings_.end()) return {};
    std::string text;
    for (const std::string& finding : found->second) text += "  " + finding + "\n";
    return text;
}

}  // namespace veltrane
