#include "text/utf8_text.h"

#include <cstddef>
#include <cstdint>

namespace tarnwick {
namespace {

bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length a sequence starting with `lead` announces; 0 for a byte that
// cannot start a sequence.
std::size_t AnnouncedLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

}  // namespace

std::string_view WithoutIncompleteUtf8Tail(std::string_view text) {
    // Walk back over at most three continuation bytes to the last lead byte.
    std::size_t continuations = 0;
    std::size_t i = text.size();
    while (i > 0 && continuations < 4 &&
           IsContinuationByte(static_cast<unsigned char>(text[i - 1]))) {
        --i;
        ++continuations;
    }
    if (i == 0) {
        return text;
    }
    const std::size_t lead = i - 1;
    const std::size_t announced = AnnouncedLength(static_cast<unsigned char>(text[lead]));
    if (announced > 1 && continuations + 1 < announced) {
        return text.substr(0, lead);
    }
    return text;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = AnnouncedLength(lead);
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (!IsContinuationByte(next)) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace tarnwick
