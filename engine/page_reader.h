#pragma once
// Pages and templates are UTF-8 files below the program's folder
// (engine/program_folder.h). A missing file reads as empty.
#include <string>
#include <vector>

namespace veltrane {

std::wstring ReadPage(const std::wstring& relativePath);

// A text template, line by line without line ends; false when it cannot be opened.
bool ReadTemplateLines(const std::wstring& relativePath, std::vector<std::wstring>& lines);

}  // namespace veltrane
