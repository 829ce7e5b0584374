#include "plugins/system/clipboard.h"

#include <cstdio>

#include "engine/page_reader.h"
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

}  // namespace

CPlgClipboard::CPlgClipboard(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {}

CPlugin::Result CPlgClipboard::Scan() {
    formats_.clear();
    ClipboardOpening clipboard;
    if (!clipboard.IsOpen()) return kFailed;
    int count = CountClipboardFormats();
    if (count <= 0) return kDone;
    UINT format = 0;
    for (int pass = 1;; ++pass) {
        SetProgress(ClipboardProgressText(pass, count));
        if (IsCancelled()) return kCancelled;
        format = EnumClipboardFormats(format);
        if (format == 0) break;
        HANDLE data = GetClipboardData(format);
        SIZE_T size = data ? GlobalSize(data) : 0;
        if (size != 0) formats_.push_back(FormatEntry{ClipboardFormatText(format), size});
    }
    return kDone;
}

CPlugin::Result CPlgClipboard::Fix() {
    cleanFailed_ = false;
    bool emptied = false;
    {
        ClipboardOpening clipboard;
        emptied = clipboard.IsOpen() && EmptyClipboard();
    }
    if (emptied) return kDone;
    cleanFailed_ = true;
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
    }
    ReplaceAll(page, L"#plugin name#", GetNameHtml());
    element.SetInnerHtml(page);
    return ReportResult::kBuilt;
}

ReportResult CPlgClipboard::BuildFixReport(IHtmlElement& element) {
    const wchar_t* name = formats_.empty() ? L"empty.html"
                          : cleanFailed_   ? L"error.html"
                                           : L"FixReport.html";
    std::wstring page = ReadPage(GetPluginFolder() + name);
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
