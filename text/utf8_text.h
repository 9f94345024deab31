#pragma once
// lang.ini texts that are UTF-8 are shown as UTF-8. A text cut at 259 bytes
// may end inside a multi-byte character; that tail is dropped so that the
// rest still converts, instead of the whole text being rejected as invalid.

#include <string_view>

namespace tarnwick {

// `text` without a trailing, incomplete UTF-8 sequence. Everything before it
// is kept as it is, valid or not.
std::string_view WithoutIncompleteUtf8Tail(std::string_view text);

// Whether `text` is well-formed UTF-8 (no stray, overlong or surrogate
// sequences, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace tarnwick
