#pragma once
// Turns the icon's art (an XPM image, kept as source) into the Windows .ico
// that the resource script names: one 8-bit palette image with its
// transparency mask. Used at build time only.

#include <cstdint>
#include <optional>
#include <vector>

namespace tarnwick::res {

// The .ico bytes for an XPM of at most 256 colours, one character per pixel
// and at most 256 pixels a side; nullopt when the XPM is not of that kind.
// "None" pixels become transparent.
std::optional<std::vector<std::uint8_t>> IcoFromXpm(const char* const* xpm);

}  // namespace tarnwick::res
