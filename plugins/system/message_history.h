#pragma once
// Message-history files of ICQ Lite 5, ICQ Pro 2003b and MSN Messenger 7.0,
// found by folder and name pattern and deleted whole.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/item_outcome.h"
#include "engine/plugin.h"
#include "sysaccess/file_identity.h"

namespace veltrane {

class CPlgMessageHistory : public CPlugin {
public:
    enum Messenger : int { kIcqLite = 0, kIcqPro = 1, kMsn = 2, kMessengerCount = 3 };

    struct HistoryFile {
        std::wstring path;
        uint64_t length = 0;    // as the folder listing gave it
        FileIdentity identity;  // the file as the scan listed it: the clean removes only that
        ItemOutcome result = ItemOutcome::kNotProcessed;
        KeepVerdict kept;         // kKept: why
        uint64_t freedBytes = 0;  // what the clean removed
        ItemError error{ItemError::kFile, L"", ItemError::kSystemMessage, 0, false};
        // A history folder the guard keeps, or an account key that is a
        // registry link: the row stands for it, and the clean fails it.
        std::wstring refusal;
        ItemError::Kind refusalKind = ItemError::kFolder;
    };

    CPlgMessageHistory(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;
    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;
    CleanSummary GetCleanSummary() const override;

    const std::vector<HistoryFile>& GetFiles(Messenger messenger) const {
        return lists_[messenger];
    }

    // Where each messenger keeps its history, as the registry says now.
    static std::wstring IcqLiteHistoryFolder();
    static std::wstring IcqProHistoryFolder();

private:
    bool ScanIcqLite();
    bool ScanIcqPro();
    bool ScanMsn();
    // False when cancelled.
    bool AddFiles(Messenger messenger, const std::wstring& folder, const wchar_t* mask,
                  bool cancelBeforeEachFile);
    bool CleanList(std::vector<HistoryFile>& list);
    std::wstring BuildRows(Messenger messenger, const std::wstring& header, bool clean,
                           size_t& errorCounter) const;
    std::wstring BuildReport(bool clean) const;

    std::array<std::vector<HistoryFile>, kMessengerCount> lists_;
};

}  // namespace veltrane
