#pragma once
// Joining a folder and a name into one path.
#include <string>
#include <string_view>

namespace veltrane {

// "folder\name", with no second separator after a folder that ends in '\' or
// '/'; an empty folder gives the name alone.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

}  // namespace veltrane
