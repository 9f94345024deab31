#pragma once
// What one paint pass of the progress bar draws, computed from the bar's
// settings and its client size alone. The control only carries the plan
// out; tests and benchmarks render it into a pixel buffer.
//
// Rectangles are [left, right) x [top, bottom), in client coordinates.

#include <array>
#include <cstdint>
#include <vector>

#include "ui/colour.h"

namespace tarnwick {

struct BarRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    friend constexpr bool operator==(const BarRect&, const BarRect&) = default;
};

struct BarFill {
    BarRect rect;
    Colour colour = 0;
    friend constexpr bool operator==(const BarFill&, const BarFill&) = default;
};

struct BarSettings {
    std::int32_t lowLimit = 0;
    std::int32_t highLimit = 100;
    Colour leftColor = 0x800000;
    Colour rightColor = 0xFF0000;
    Colour percentColor = 0xFFFFFF;
    bool percentVisible = false;
};

// Drawn opaque in the empty colour, centred, when the position sits at the
// low limit: it wipes the middle of the bar.
inline constexpr char kBlankStripText[] = "                                              ";

// Room for the longest label: a sign, 12 digits, '%' and the terminator.
inline constexpr std::size_t kLabelBufferSize = 32;

struct BarPlan {
    // True when the fills go through the off-screen surface, which is first
    // cleared to `surfaceColour`. False only when the position lies outside
    // the limits: then the one fill goes straight onto the window, and there
    // is no strip and no label.
    bool offScreen = false;
    Colour surfaceColour = 0;
    std::int32_t fillWidth = 0;
    // In drawing order. Fills that would cover no pixel are left out.
    std::vector<BarFill> fills;
    bool blankStrip = false;
    bool labelVisible = false;
    Colour labelColour = 0;
    std::array<char, kLabelBufferSize> label{};
};

// One band per unit step of the colour channel that changes most (0..255).
int BandCount(Colour leftColor, Colour rightColor);

// How far the filled part reaches: position / highLimit of the client's
// right edge, rounded through single precision and truncated, kept within
// [0, clientRight]. Zero when highLimit is 0.
std::int32_t FillWidth(std::int32_t position, std::int32_t highLimit, std::int32_t clientRight);

// `buttonFace` is the system's button-face colour at the time of the pass,
// used only when the position lies outside the limits.
BarPlan PlanBar(const BarSettings& settings, std::int32_t position, Colour emptyColor,
                Colour buttonFace, std::int32_t clientWidth, std::int32_t clientHeight);

// An RGB image of the client area, three bytes per pixel, row by row.
struct PixelBuffer {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb;

    Colour At(std::int32_t x, std::int32_t y) const;
    void Fill(const BarRect& rect, Colour colour);
};

// The plan's fills as pixels, over a black client area (text is not drawn:
// the strip and the label need a font).
PixelBuffer RenderBarPlan(const BarPlan& plan, std::int32_t clientWidth,
                          std::int32_t clientHeight);

}  // namespace tarnwick
