#include "resources/ico_writer.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace tarnwick::res {
namespace {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// "#RRGGBB" or "None" (transparent); false for anything else.
bool ParseColour(const char* text, Rgb& colour, bool& transparent) {
    transparent = std::strcmp(text, "None") == 0;
    if (transparent) {
        return true;
    }
    unsigned r = 0;
    unsigned g = 0;
    unsigned b = 0;
    if (std::strlen(text) != 7 || std::sscanf(text, "#%2x%2x%2x", &r, &g, &b) != 3) {
        return false;
    }
    colour = Rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> IcoFromXpm(const char* const* xpm) {
    int width = 0;
    int height = 0;
    int colours = 0;
    int charsPerPixel = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &charsPerPixel) != 4 ||
        width <= 0 || width > 256 || height <= 0 || height > 256 || colours <= 0 ||
        colours > 256 || charsPerPixel != 1) {
        return std::nullopt;
    }

    // Palette index of each pixel character; -1 for characters not defined.
    std::array<int, 256> indexOf{};
    indexOf.fill(-1);
    std::array<Rgb, 256> palette{};
    std::array<bool, 256> clear{};
    for (int i = 0; i < colours; ++i) {
        const char* line = xpm[1 + i];
        if (std::strlen(line) < 5 || std::strncmp(line + 1, " c ", 3) != 0 ||
            !ParseColour(line + 4, palette[static_cast<std::size_t>(i)], clear[static_cast<std::size_t>(i)])) {
            return std::nullopt;
        }
        indexOf[static_cast<unsigned char>(line[0])] = i;
    }

    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const std::size_t xorRow = (w + 3) / 4 * 4;
    const std::size_t andRow = (w + 31) / 32 * 4;
    std::vector<std::uint8_t> pixels(xorRow * h, 0);
    std::vector<std::uint8_t> mask(andRow * h, 0);
    for (std::size_t y = 0; y < h; ++y) {
        const char* row = xpm[1 + colours + y];
        if (std::strlen(row) != w) {
            return std::nullopt;
        }
        // Bitmaps are stored bottom row first.
        const std::size_t stored = h - 1 - y;
        for (std::size_t x = 0; x < w; ++x) {
            const int index = indexOf[static_cast<unsigned char>(row[x])];
            if (index < 0) {
                return std::nullopt;
            }
            if (clear[static_cast<std::size_t>(index)]) {
                mask[stored * andRow + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            } else {
                pixels[stored * xorRow + x] = static_cast<std::uint8_t>(index);
            }
        }
    }

    constexpr std::uint32_t kDirectorySize = 6 + 16;
    constexpr std::uint32_t kInfoSize = 40;
    const auto imageSize =
        static_cast<std::uint32_t>(kInfoSize + 256 * 4 + pixels.size() + mask.size());
    std::vector<std::uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // an icon
    Put16(out, 1);  // one image
    out.push_back(static_cast<std::uint8_t>(width == 256 ? 0 : width));
    out.push_back(static_cast<std::uint8_t>(height == 256 ? 0 : height));
    out.push_back(0);  // 256 colours
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 8);  // bits per pixel
    Put32(out, imageSize);
    Put32(out, kDirectorySize);

    Put32(out, kInfoSize);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height * 2));  // colour image and mask
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0);  // uncompressed
    Put32(out, static_cast<std::uint32_t>(pixels.size() + mask.size()));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 256);
    Put32(out, 0);
    for (const Rgb& colour : palette) {
        out.push_back(colour.blue);
        out.push_back(colour.green);
        out.push_back(colour.red);
        out.push_back(0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

}  // namespace tarnwick::res
