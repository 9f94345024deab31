#pragma once
// UTF-8 checks, for JSON output and for lang.ini texts, which are shown as
// UTF-8 when they are. A text cut at 259 bytes may end inside a multi-byte
// character; that tail is dropped so that the rest still converts, instead
// of the whole text being rejected as invalid.

#include <cstddef>
#include <string_view>

namespace tarnwick {

// The length of the well-formed UTF-8 sequence of two bytes or more at the
// start of `bytes` (no overlong forms, no surrogates, nothing above
// U+10FFFF), or 0.
std::size_t Utf8SequenceLength(std::string_view bytes);

// `text` without a trailing, incomplete UTF-8 sequence. Everything before it
// is kept as it is, valid or not.
std::string_view WithoutIncompleteUtf8Tail(std::string_view text);

// Whether `text` is well-formed UTF-8 (no stray, overlong or surrogate
// sequences, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

}  // namespace tarnwick
