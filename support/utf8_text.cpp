#include "support/utf8_text.h"

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

std::size_t Utf8SequenceLength(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length =
            static_cast<unsigned char>(text[i]) < 0x80 ? 1 : Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace tarnwick
