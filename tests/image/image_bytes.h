#pragma once
// Builds the first bytes of an image file field by field, so that tests say
// which byte they mean instead of spelling out 1028 bytes.

#include <array>
#include <cstdint>
#include <string>

#include "image/image_header.h"

namespace tarnwick::testing {

struct ImageBytes {
    std::array<std::uint8_t, kHeaderReadSize> bytes{};

    ImageBytes() { bytes[0] = kImageSignature; }

    ImageBytes& Signature(std::uint8_t value) { return Set(0, value); }
    ImageBytes& Port(std::uint8_t value) { return Set(1, value); }
    ImageBytes& Flash(std::uint8_t value) { return Set(2, value); }
    ImageBytes& StartAddressBytes(std::uint8_t b3, std::uint8_t b4, std::uint8_t b5, std::uint8_t b6) {
        return Set(3, b3).Set(4, b4).Set(5, b5).Set(6, b6);
    }
    ImageBytes& Date(std::uint8_t first, std::uint8_t second, std::uint8_t year) {
        return Set(1024, first).Set(1026, second).Set(1027, year);
    }
    ImageBytes& Set(std::size_t offset, std::uint8_t value) {
        bytes[offset] = value;
        return *this;
    }
    ImageBytes& Set32(std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        return *this;
    }

    std::string AsString() const { return std::string(bytes.begin(), bytes.end()); }
};

}  // namespace tarnwick::testing
