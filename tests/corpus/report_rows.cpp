#include "corpus/report_rows.h"

#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::wstring CellText(std::wstring_view html) {
    std::wstring text;
    bool inTag = false;
    for (wchar_t c : html) {
        if (c == L'<') inTag = true;
        if (!inTag) text += c;
        if (c == L'>') inTag = false;
    }
    for (auto [entity, character] :
         {std::pair{L"&lt;", L"<"}, std::pair{L"&gt;", L">"}, std::pair{L"&quot;", L"\""},
          std::pair{L"&#39;", L"'"}, std::pair{L"&nbsp;", L" "}, std::pair{L"&amp;", L"&"}})
        ReplaceAll(text, entity, character);
    return text;
}

}  // namespace

std::vector<ReportRow> ReadReportRows(const std::wstring& path) {
    const std::wstring html = FromUtf8(ReadTestFile(path));
    std::vector<ReportRow> rows;
    for (size_t row = html.find(L"<tr"); row != std::wstring::npos;
         row = html.find(L"<tr", row + 1)) {
        const size_t end = html.find(L"</tr>", row);
        if (end == std::wstring::npos) break;
        ReportRow cells;
        for (size_t cell = html.find(L"<td", row); cell < end; cell = html.find(L"<td", cell + 1)) {
            const size_t open = html.find(L'>', cell);
            const size_t close = html.find(L"</td>", open);
            if (open == std::wstring::npos || close == std::wstring::npos || close > end) break;
            cells.push_back(CellText(std::wstring_view(html).substr(open + 1, close - open - 1)));
        }
        if (!cells.empty()) rows.push_back(std::move(cells));
    }
    return rows;
}

bool IsReadableReport(const std::wstring& path) {
    const std::string bytes = ReadTestFile(path);
    const std::wstring text = FromUtf8(bytes);
    // Text that does not come back the same was not valid UTF-8.
    if (ToUtf8(text) != bytes) return false;
    for (wchar_t c : text) {
        if (c == L'\n' || c == L'\r' || c == L'\t') continue;
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFD || c == 0xFFFE || c == 0xFFFF)
            return false;
    }
    return true;
}

}  // namespace veltrane
