#include "plugins/system/clipboard.h"

#include <cstdio>

#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// Closes the clipboard when the scope ends, if it was opened.
class ClipboardOpening {
public:
    ClipboardOpening() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~ClipboardOpening() {
        if (open_) CloseClipboard();
    }
    ClipboardOpening(const ClipboardOpening&) = delete;
    ClipboardOpening& operator=(const ClipboardOpening&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// "\"HTML Format\"(0xC0F3)" for a named format, "unknown format (0x000D)" otherwise.
std::wstring ClipboardFormatText(UINT format) {
    wchar_t name[260] = {};
    wchar_t text[400];
    if (GetClipboardFormatNameW(format, name, 260) > 0)
        swprintf(text, 400, L"\"%ls\"(0x%04X)", name, format);
    else
        swprintf(text, 400, L"unknown format (0x%04X)", format);
    return text;
}

// "Currently 3 of 5 formats in clipboard".
std::wstring ClipboardProgressText(int pass, int count) {
    wchar_t text[80];
    swprintf(text, 80, L"Currently %d of %d formats in clipboard", pass, count);
    return text;
}

// The one row the clipboard's report has a box for: it is emptied whole or not at all.
ItemRef ClipboardItemRef() {
    return {ItemKind::kStoreEntry, L"The clipboard", L"everything it holds", {}};
}

}  // namespace

CPlgClipboard::CPlgClipboard(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {}

CPlugin::Result CPlgClipboard::Scan() {
    formats_.clear();
    {
        ClipboardOpening clipboard;
        if (!clipboard.IsOpen()) return kFailed;
        const int count = CountClipboardFormats();
        UINT format = 0;
        for (int pass = 1; count > 0; ++pass) {
            SetProgress(ClipboardProgressText(pass, count));
            if (IsCancelled()) return kCancelled;
            format = EnumClipboardFormats(format);
            if (format == 0) break;
            HANDLE data = GetClipboardData(format);
            SIZE_T size = data ? GlobalSize(data) : 0;
            if (size != 0) formats_.push_back(FormatEntry{ClipboardFormatText(format), size});
        }
    }
    // Taken once the listing is done: reading a format may have rendered it.
    scannedSequence_ = GetClipboardSequenceNumber();
    return kDone;
}

CPlugin::Result CPlgClipboard::Fix() {
    cleanEnd_ = CleanEnd::kEmptied;
    kept_ = {};
    // Nothing listed, nothing emptied: what was copied since is not the scan's.
    if (formats_.empty()) return kDone;
    kept_ = MayRemove(ClipboardItemRef());
    if (kept_.Keeps()) {
        cleanEnd_ = CleanEnd::kKept;
        return kDone;
    }
    ClipboardOpening clipboard;
    if (!clipboard.IsOpen()) {
        cleanEnd_ = CleanEnd::kHeld;
        return kFailed;
    }
    // Something was copied after the scan: that is not what the report showed.
    if (GetClipboardSequenceNumber() != scannedSequence_) {
        cleanEnd_ = CleanEnd::kChanged;
        return kFailed;
    }
    if (EmptyClipboard()) return kDone;
    cleanEnd_ = CleanEnd::kHeld;
    return kFailed;
}

ReportResult CPlgClipboard::BuildScanReport(IHtmlElement& element) {
    std::wstring folder = GetPluginFolder();
    std::wstring page;
    if (formats_.empty()) {
        page = ReadPage(folder + L"empty.html");
    } else {
        page = ReadPage(folder + L"ScanReport.html");
        std::wstring lineTemplate = ReadPage(folder + L"ScanLine.html");
        std::wstring lines;
        for (const FormatEntry& entry : formats_) {
            std::wstring line = lineTemplate;
            ReplaceAll(line, L"#item#", EscapeHtml(entry.text));
            ReplaceAll(line, L"#size#", std::to_wstring(entry.size));
            lines += line;
        }
        ReplaceAll(page, L"#report#", lines);
        ReplaceAll(page, L"#count#", std::to_wstring(formats_.size()));
        ReplaceAll(page, L"#group attributes#", GroupAttributes(PluginGroupKey(GetId())));
        ReplaceAll(page, L"#row attributes#",
                   ItemRowAttributes(ItemKey(ClipboardItemRef()), PluginGroupKey(GetId())));
    }
    ReplaceAll(page, L"#plugin name#", GetNameHtml());
    element.SetInnerHtml(page);
    return ReportResult::kBuilt;
}

ReportResult CPlgClipboard::BuildFixReport(IHtmlElement& element) {
    const wchar_t* name = L"FixReport.html";
    if (formats_.empty()) {
        name = L"empty.html";
    } else {
        switch (cleanEnd_) {
            case CleanEnd::kEmptied:
                break;
            case CleanEnd::kKept:
                name = L"kept.html";
                break;
            case CleanEnd::kChanged:
                name = L"changed.html";
                break;
            case CleanEnd::kHeld:
                name = L"error.html";
                break;
        }
    }
    std::wstring page = ReadPage(GetPluginFolder() + name);
    ReplaceAll(page, L"#kept#", KeptStatusHtml(kept_));
    ReplaceAll(page, L"#plugin name#", GetNameHtml());
    element.SetInnerHtml(page);
    return ReportResult::kBuilt;
}

ScanSummary CPlgClipboard::GetScanSummary() const {
    ScanSummary summary;
    for (const FormatEntry& entry : formats_) {
        ++summary.items;
        summary.bytes += entry.size;
    }
    return summary;
}

}  // namespace veltrane
