#pragma once
// The tool's colour value: 0x00BBGGRR, red in the low byte, green in the
// next, blue in the third. The high byte is ignored.

#include <cstdint>

namespace tarnwick {

using Colour = std::uint32_t;

constexpr std::uint8_t RedOf(Colour c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GreenOf(Colour c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(Colour c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

constexpr Colour MakeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) |
           (static_cast<Colour>(blue) << 16);
}

}  // namespace tarnwick
