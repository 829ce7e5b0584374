#pragma once
// Small text helpers shared by every layer: UTF-8 conversion and plain,
// case-sensitive replacement of every occurrence.
#include <string>
#include <string_view>

namespace veltrane {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
std::wstring FromCodePage(std::string_view text, unsigned codePage);

// Replaces every occurrence of `what` by `with`; text inserted is not searched again.
void ReplaceAll(std::wstring& text, std::wstring_view what, std::wstring_view with);

// Text from the machine (names, paths, data) made safe to insert into a page.
std::wstring EscapeHtml(std::wstring_view text);

bool StartsWith(std::wstring_view text, std::wstring_view prefix);
bool EndsWith(std::wstring_view text, std::wstring_view suffix);

}  // namespace veltrane
