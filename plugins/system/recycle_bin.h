#pragma once
// The Recycle Bins of the fixed drives: the shell counts them, the clean
// deletes their folders' contents itself (so overwriting applies) and then
// lets the shell empty each bin.
#include <cstdint>
#include <map>
#include <string>

#include "engine/plugin.h"
#include "sysaccess/reg_walk.h"  // StringList

class CPlgRecycleBin : public CPlugin {
public:
    enum VolumeResult : int {
        kVolumeNotProcessed = 0,
        kVolumeFailed = 1,
        kVolumeCleanedAfterReboot = 2,
        kVolumeCleaned = 3
    };

    struct Volume {
        VolumeResult result = kVolumeNotProcessed;
        uint64_t size = 0;
        uint64_t items = 0;
    };

    CPlgRecycleBin(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;
    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;

    // Keyed by drive root, in ordinal order (C:\ before D:\).
    const std::map<std::wstring, Volume>& GetVolumes() const { return volumes_; }

private:
    enum class CleanOutcome { kFailed, kCleaned, kPostponed };
    // `code` receives the Windows error of the first thing that went wrong.
    CleanOutcome CleanVolume(const std::wstring& root, DWORD& code, std::wstring& refusal);
    std::wstring BuildReport(bool clean) const;

    std::map<std::wstring, Volume> volumes_;
    Volume totals_;
};

// Roots of the fixed drives, in the order Windows lists them; false when
// the drive list cannot be read.
bool GetFixedDrives(StringList& roots);
