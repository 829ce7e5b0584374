#pragma once
// Whether a text read from Explorer's binary data can stand in a report as a
// name: data that is not what it claims often decodes to control characters,
// halves of surrogate pairs or the replacement character.
#include <string_view>

namespace veltrane {

// False for an empty text and for one holding a control character, an
// unpaired surrogate, U+FFFD or a non-character.
bool IsReadableText(std::wstring_view text);

}  // namespace veltrane
