#include "ui/band_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarnwick {

namespace {

// Client sizes beyond this are treated as this, so that no band edge
// computed in floating point can overflow a 32-bit integer.
constexpr std::int32_t kMaxClientExtent = 1 << 24;

std::int32_t ClampExtent(std::int32_t extent)
{
    return std::clamp<std::int32_t>(extent, 0, kMaxClientExtent);
}

struct ChannelSteps {
    float red;
    float green;
    float blue;
};

// The band's channel value: trunc(start + i * step) in double precision;
// only the low 8 bits count.
std::uint8_t BandChannel(std::uint8_t start, int i, float step)
{
    const double value = std::trunc(static_cast<double>(start) + static_cast<double>(i) * step);
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(value) & 0xFF);
}

Colour BandColour(Colour leftColor, const ChannelSteps& steps, int i)
{
    return MakeColour(BandChannel(RedOf(leftColor), i, steps.red),
                      BandChannel(GreenOf(leftColor), i, steps.green),
                      BandChannel(BlueOf(leftColor), i, steps.blue));
}

void AddFill(std::vector<BarFill>& fills, const BarRect& rect, Colour colour)
{
    if (!rect.IsEmpty()) {
        fills.push_back({rect, colour});
    }
}

// The filled part as whole bands: the first band whose right edge passes
// fillWidth is still drawn in full, and the empty part starts at its edge.
void PlanBands(BarPlan& plan, Colour leftColor, Colour rightColor, Colour emptyColor,
               std::int32_t clientRight, std::int32_t clientBottom)
{
    const BarRect whole{0, 0, clientRight, clientBottom};
    if (plan.fillWidth == 0) {
        AddFill(plan.fills, whole, emptyColor);
        return;
    }

    const int n = BandCount(leftColor, rightColor);
    if (n == 0) {
        // Equal colours leave no step to divide by: one band of that colour
        // over the filled part.
        AddFill(plan.fills, {0, 0, plan.fillWidth, clientBottom + 1}, leftColor);
        AddFill(plan.fills, {plan.fillWidth, 0, clientRight, clientBottom}, emptyColor);
        return;
    }

    const double count = n;
    const float width = static_cast<float>(clientRight / count);
    const ChannelSteps steps{
        static_cast<float>((RedOf(rightColor) - RedOf(leftColor)) / count),
        static_cast<float>((GreenOf(rightColor) - GreenOf(leftColor)) / count),
        static_cast<float>((BlueOf(rightColor) - BlueOf(leftColor)) / count)};

    plan.fills.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i < n; ++i) {
        const auto left = static_cast<std::int32_t>(std::trunc(static_cast<double>(i) * width));
        const auto right =
            static_cast<std::int32_t>(std::trunc(static_cast<double>(i + 1) * width));
        AddFill(plan.fills, {left, 0, right, clientBottom + 1},
                BandColour(leftColor, steps, i));
        if (right > plan.fillWidth) {
            AddFill(plan.fills, {right, 0, clientRight, clientBottom}, emptyColor);
            return;
        }
    }
}

}  // namespace

int BandCount(Colour leftColor, Colour rightColor)
{
    const int red = std::abs(RedOf(rightColor) - RedOf(leftColor));
    const int green = std::abs(GreenOf(rightColor) - GreenOf(leftColor));
    const int blue = std::abs(BlueOf(rightColor) - BlueOf(leftColor));
    return std::max(red, std::max(green, blue));
}

std::int32_t FillWidth(std::int32_t position, std::int32_t highLimit, std::int32_t clientRight)
{
    if (highLimit == 0) {
        return 0;
    }
    const std::int32_t right = ClampExtent(clientRight);
    const double share = static_cast<double>(position) / highLimit;
    const float reach = static_cast<float>(share * right);
    // Only limits the window never sets (a negative share, or one above 1
    // with a negative high limit) reach past either edge.
    return static_cast<std::int32_t>(std::trunc(std::clamp(reach, 0.0f, static_cast<float>(right))));
}

BarPlan PlanBar(const BarSettings& settings, std::int32_t position, Colour emptyColor,
                Colour buttonFace, std::int32_t clientWidth, std::int32_t clientHeight)
{
    const std::int32_t clientRight = ClampExtent(clientWidth);
    const std::int32_t clientBottom = ClampExtent(clientHeight);

    BarPlan plan;
    if (position < settings.lowLimit || position > settings.highLimit) {
        AddFill(plan.fills, {0, 0, clientRight, clientBottom}, buttonFace);
        return plan;
    }

    plan.offScreen = true;
    plan.surfaceColour = emptyColor;
    plan.fillWidth = FillWidth(position, settings.highLimit, clientRight);
    PlanBands(plan, settings.leftColor, settings.rightColor, emptyColor, clientRight,
              clientBottom);

    plan.blankStrip = position == settings.lowLimit;
    // A zero high limit gives no share to show.
    plan.labelVisible = settings.percentVisible && settings.highLimit != 0;
    if (plan.labelVisible) {
        plan.labelColour = settings.percentColor;
        const double percent = position * 100.0 / settings.highLimit;
        std::snprintf(plan.label.data(), plan.label.size(), "%.0f%%", percent);
    }
    return plan;
}

Colour PixelBuffer::At(std::int32_t x, std::int32_t y) const
{
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return MakeColour(rgb[at], rgb[at + 1], rgb[at + 2]);
}

void PixelBuffer::Fill(const BarRect& rect, Colour colour)
{
    const std::int32_t left = std::max(rect.left, 0);
    const std::int32_t top = std::max(rect.top, 0);
    const std::int32_t right = std::min(rect.right, width);
    const std::int32_t bottom = std::min(rect.bottom, height);
    for (std::int32_t y = top; y < bottom; ++y) {
        for (std::int32_t x = left; x < right; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            rgb[at] = RedOf(colour);
            rgb[at + 1] = GreenOf(colour);
            rgb[at + 2] = BlueOf(colour);
        }
    }
}

PixelBuffer RenderBarPlan(const BarPlan& plan, std::int32_t clientWidth,
                          std::int32_t clientHeight)
{
    PixelBuffer pixels;
    pixels.width = ClampExtent(clientWidth);
    pixels.height = ClampExtent(clientHeight);
    pixels.rgb.assign(static_cast<std::size_t>(pixels.width) * pixels.height * 3, 0);
    if (plan.offScreen) {
        pixels.Fill({0, 0, pixels.width, pixels.height}, plan.surfaceColour);
    }
    for (const BarFill& fill : plan.fills) {
        pixels.Fill(fill.rect, fill.colour);
    }
    return pixels;
}

}  // namespace tarnwick
