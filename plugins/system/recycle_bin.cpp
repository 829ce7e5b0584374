#include "plugins/system/recycle_bin.h"

#include <shellapi.h>

#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "plugins/system/folder_list.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/text.h"

namespace {

const wchar_t* const kProtectedNames[] = {L"INFO2", L"desktop.ini"};

// The bin keeps its index and folder settings in these; the shell rebuilds
// the bin from them, so they are never deleted one by one.
bool IsProtectedBinFile(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    for (const wchar_t* protectedName : kProtectedNames)
        if (name == protectedName) return true;
    return false;
}

const std::wstring& ResultPage(CPlgRecycleBin::VolumeResult result) {
    const SharedResultPages& pages = CPlugin::SharedPages();
    switch (result) {
        case CPlgRecycleBin::kVolumeFailed:
            return pages.resError;
        case CPlgRecycleBin::kVolumeCleanedAfterReboot:
            return pages.resReboot;
        case CPlgRecycleBin::kVolumeCleaned:
            return pages.resDeleted;
        default:
            return pages.resCancelled;
    }
}

}  // namespace

bool GetFixedDrives(StringList& roots) {
    roots.clear();
    wchar_t buffer[1024] = {};
    DWORD length = GetLogicalDriveStringsW(1023, buffer);
    if (length == 0 || length > 1023) return false;
    for (const wchar_t* root = buffer; *root != L'\0'; root += wcslen(root) + 1)
        if (GetDriveTypeW(root) == DRIVE_FIXED) roots.emplace_back(root);
    return true;
}

CPlgRecycleBin::CPlgRecycleBin(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {}

CPlugin::Result CPlgRecycleBin::Scan() {
    totals_ = Volume();
    volumes_.clear();
    StringList roots;
    if (!GetFixedDrives(roots)) return kFailed;
    for (const std::wstring& root : roots) {
        if (IsCancelled()) return kCancelled;
        SetProgress(L" " + root);
        SHQUERYRBINFO info = {};
        info.cbSize = sizeof(info);  // 20: the structure is packed
        if (FAILED(SHQueryRecycleBinW(root.c_str(), &info))) continue;
        Volume volume;
        volume.size = static_cast<uint64_t>(info.i64Size);
        volume.items = static_cast<uint64_t>(info.i64NumItems);
        volumes_[root] = volume;
        totals_.size += volume.size;
        totals_.items += volume.items;
    }
    return kDone;
}

CPlgRecycleBin::CleanOutcome CPlgRecycleBin::CleanVolume(const std::wstring& root, DWORD& code,
                                                         std::wstring& refusal) {
    code = 0;
    refusal.clear();
    auto noteError = [&code] {
        if (code == 0) code = GetLastError();
    };
    StringList binFolders = VisibleSubFolders(root + L"RECYCLER");
    binFolders.push_back(root + L"Recycled");

    StringList files;
    StringList folders;
    for (const std::wstring& binFolder : binFolders) {
        StringList binFiles;
        unsigned count = 0;
        GetFileList(nullptr, binFolder, &binFiles, nullptr, L"*", L'|', &count);
        for (const std::wstring& file : binFiles)
            if (!IsProtectedBinFile(file)) files.push_back(file);
        for (const std::wstring& folder : VisibleSubFolders(binFolder)) folders.push_back(folder);
    }

    bool failed = false;
    bool postponed = false;
    for (const std::wstring& folder : folders) {
        // A bin folder is never the user's own; one that resolves to it is kept.
        PlaceVerdict verdict = CheckFolder(folder, FolderAction::kRemove);
        if (!verdict.allowed) {
            if (refusal.empty()) refusal = verdict.reason;
            failed = true;
            continue;
        }
        bool reboot = false;
        unsigned count = 0;
        uint64_t size = 0;
        DeleteFolderTree(folder, this, false, &count, &size, &reboot, L"*");
        if (IsCancelled()) return CleanOutcome::kFailed;
        if (reboot) {
            SetRebootNeeded();
            postponed = true;
        }
        // A folder whose content waits for the next start follows it then:
        // a postponed clean, not a failure.
        if (!RemoveFolder(folder) && !(reboot && ScheduleDeleteOnReboot(folder))) {
            noteError();
            failed = true;
        }
    }

    for (const std::wstring& file : files) {
        if (IsCancelled()) return CleanOutcome::kFailed;
        DeleteOutcome outcome = DeleteFileEx(file, GetWipeFiles());
        if (outcome == DeleteOutcome::kDeferred) {
            noteError();
            SetRebootNeeded();
            postponed = true;
        } else if (outcome == DeleteOutcome::kFailed) {
            noteError();
            failed = true;
        }
    }

    for (const wchar_t* name : {L"Recycled", L"Recycler"})
        DeleteFolderTree(root + name, this, false, nullptr, nullptr, nullptr, L"*");
    SHEmptyRecycleBinW(nullptr, root.c_str(),
                       SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);

    if (failed) return CleanOutcome::kFailed;
    return postponed ? CleanOutcome::kPostponed : CleanOutcome::kCleaned;
}

CPlugin::Result CPlgRecycleBin::Fix() {
    errors.clear();
    for (auto& [root, volume] : volumes_) {
        if (volume.result == kVolumeFailed) continue;
        if (IsCancelled()) return kCancelled;
        SetProgress(root);
        DWORD code = 0;
        std::wstring refusal;
        CleanOutcome outcome = CleanVolume(root, code, refusal);
        if (outcome == CleanOutcome::kFailed) {
            if (IsCancelled()) continue;
            volume.result = kVolumeFailed;
            if (!refusal.empty())
                errors.emplace_back(ItemError::kRecycleBin, root, ItemError::kOwnText, 0, false,
                                    L"", refusal);
            else
                errors.emplace_back(ItemError::kRecycleBin, root, ItemError::kSystemMessage, code,
                                    false, L"", L"Cannot delete subitem");
        } else if (outcome == CleanOutcome::kCleaned) {
            volume.result = kVolumeCleaned;
        } else {
            volume.result = kVolumeCleanedAfterReboot;
            errors.emplace_back(ItemError::kRecycleBin, root, ItemError::kSystemMessage, code, true,
                                L"", L"Cannot delete subitem");
        }
    }
    return IsCancelled() ? kCancelled : kDone;
}

std::wstring CPlgRecycleBin::BuildReport(bool clean) const {
    std::wstring folder = GetPluginFolder();
    std::wstring page = ReadPage(folder + (clean ? L"report.html" : L"details.html"));
    std::wstring rowTemplate =
        ReadPage(folder + (clean ? L"volumereport.html" : L"volumedetails.html"));
    std::wstring total = ReadPage(folder + (clean ? L"totalreport.html" : L"totaldetails.html"));

    std::wstring rows;
    int errorNumber = 0;
    for (const auto& [root, volume] : volumes_) {
        std::wstring row = rowTemplate;
        ReplaceAll(row, L"#name#", EscapeHtml(root));
        ReplaceAll(row, L"#size#", FormatSize(volume.size));
        ReplaceAll(row, L"#numel#", std::to_wstring(volume.items));
        if (clean) {
            std::wstring result = ResultPage(volume.result);
            if (volume.result == kVolumeFailed || volume.result == kVolumeCleanedAfterReboot)
                ReplaceAll(result, L"#id#", std::to_wstring(++errorNumber));
            ReplaceAll(row, L"#result#", result);
        }
        rows += row;
    }
    ReplaceAll(total, L"#size#", FormatSize(totals_.size));
    ReplaceAll(total, L"#numel#", std::to_wstring(totals_.items));
    ReplaceAll(page, L"#volumes#", rows);
    ReplaceAll(page, L"#total#", total);
    return page;
}

ReportResult CPlgRecycleBin::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildReport(false));
    return ReportResult::kBuilt;
}

ReportResult CPlgRecycleBin::BuildFixReport(IHtmlElement& element) {
    if (GetRunState() != kCleaned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildReport(true));
    return ReportResult::kBuilt;
}

ScanSummary CPlgRecycleBin::GetScanSummary() const {
    return ScanSummary{totals_.items, totals_.size};
}
