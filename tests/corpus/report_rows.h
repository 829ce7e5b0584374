#pragma once
// The rows of a report the unattended program wrote (an HTML table), each as
// the texts of its cells: tags dropped, entities decoded. The corpus tests
// find in them what a user reads.
#include <string>
#include <vector>

namespace veltrane {

using ReportRow = std::vector<std::wstring>;

// The table rows of the report file `path` (UTF-8); none when it cannot be read.
std::vector<ReportRow> ReadReportRows(const std::wstring& path);

// Whether the report file is valid UTF-8 whose text holds no control
// character (other than line breaks and tabs), no U+FFFD and no non-character.
bool IsReadableReport(const std::wstring& path);

}  // namespace veltrane
