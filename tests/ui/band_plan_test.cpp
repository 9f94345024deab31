#include "ui/band_plan.h"

#include <climits>
#include <cstring>
#include <map>
#include <string>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

constexpr Colour kEmpty = 0xC0C0C0;
constexpr Colour kButtonFace = 0x102030;
constexpr int kWidth = 300;
constexpr int kHeight = 20;

// The window's configuration: 0x808000 toward 0x800000, limits 0 and 100.
BarSettings WindowSettings()
{
    BarSettings settings;
    settings.lowLimit = 0;
    settings.highLimit = 100;
    settings.leftColor = 0x808000;
    settings.rightColor = 0x800000;
    settings.percentColor = 0x008000;
    settings.percentVisible = true;
    return settings;
}

// Band i of the worked example spans [trunc(2.34375 i), trunc(2.34375 (i + 1)));
// 2.34375 is 75/32, so integer arithmetic gives the edges exactly.
int ExampleBandLeft(int i) { return 75 * i / 32; }
int ExampleBandAt(int x)
{
    int i = 0;
    while (ExampleBandLeft(i + 1) <= x) {
        ++i;
    }
    return i;
}
Colour ExampleBandColour(int i) { return MakeColour(0, static_cast<std::uint8_t>(128 - i), 128); }

// Where the empty part begins: the right edge of the first band that
// passes 3 * position, or the client's right edge.
int ExampleFillEnd(int position)
{
    const int fillWidth = kWidth * position / 100;
    if (fillWidth == 0) {
        return 0;
    }
    for (int i = 0; i < 128; ++i) {
        if (ExampleBandLeft(i + 1) > fillWidth) {
            return ExampleBandLeft(i + 1);
        }
    }
    return kWidth;
}

void ExpectEveryRow(const PixelBuffer& pixels, int x, Colour expected, int position)
{
    for (int y = 0; y < pixels.height; ++y) {
        ASSERT_EQ(pixels.At(x, y), expected) << "position " << position << " x " << x << " y " << y;
    }
}

TEST(BandPlanWorkedExample, EveryColumnMatchesAtEachPosition)
{
    const std::map<int, int> fillEnds{{0, 0}, {1, 4}, {50, 152}, {99, 300}, {100, 300}};
    for (const auto& [position, fillEnd] : fillEnds) {
        ASSERT_EQ(ExampleFillEnd(position), fillEnd) << "expectation helper, position " << position;
        const BarPlan plan = PlanBar(WindowSettings(), position, kEmpty, kButtonFace, kWidth, kHeight);
        EXPECT_TRUE(plan.offScreen);
        EXPECT_EQ(plan.fillWidth, 3 * position);
        const PixelBuffer pixels = RenderBarPlan(plan, kWidth, kHeight);
        for (int x = 0; x < kWidth; ++x) {
            const Colour expected = x < fillEnd ? ExampleBandColour(ExampleBandAt(x)) : kEmpty;
            ExpectEveryRow(pixels, x, expected, position);
        }
    }
}

TEST(BandPlanWorkedExample, NamedBandsHaveTheirColours)
{
    const PixelBuffer full =
        RenderBarPlan(PlanBar(WindowSettings(), 100, kEmpty, kButtonFace, kWidth, kHeight), kWidth, kHeight);
    EXPECT_EQ(full.At(0, 0), 0x808000u);    // band 0 is exactly leftColor
    EXPECT_EQ(full.At(2, 0), 0x807F00u);    // band 1 starts at x = 2
    EXPECT_EQ(full.At(150, 0), 0x804000u);  // band 64 [150, 152)
    EXPECT_EQ(full.At(299, 0), 0x800100u);  // band 127: rightColor is never drawn
    EXPECT_EQ(full.At(296, 0), 0x800200u);
}

TEST(BandPlanWorkedExample, BandsEndTheFillNotFillWidth)
{
    const BarPlan half = PlanBar(WindowSettings(), 50, kEmpty, kButtonFace, kWidth, kHeight);
    ASSERT_EQ(half.fills.size(), 66u);  // bands 0 to 64, then the empty part
    EXPECT_EQ(half.fills[63].rect.right, 150);  // ends at fillWidth, does not stop
    EXPECT_EQ(half.fills.back(), (BarFill{{152, 0, 300, 20}, kEmpty}));
    EXPECT_EQ(half.fills[0].rect.bottom, 21);  // bands reach one row below the client

    const BarPlan top = PlanBar(WindowSettings(), 100, kEmpty, kButtonFace, kWidth, kHeight);
    ASSERT_EQ(top.fills.size(), 128u);
    EXPECT_EQ(top.fills.back().colour, 0x800100u);
}

TEST(BandPlanWorkedExample, StripAndLabel)
{
    const std::map<int, std::string> labels{{0, "0%"}, {1, "1%"}, {50, "50%"}, {99, "99%"}, {100, "100%"}};
    for (const auto& [position, label] : labels) {
        const BarPlan plan = PlanBar(WindowSettings(), position, kEmpty, kButtonFace, kWidth, kHeight);
        EXPECT_TRUE(plan.labelVisible);
        EXPECT_STREQ(plan.label.data(), label.c_str());
        EXPECT_EQ(plan.labelColour, 0x008000u);
        EXPECT_EQ(plan.blankStrip, position == 0) << position;
    }
    BarSettings hidden = WindowSettings();
    hidden.percentVisible = false;
    EXPECT_FALSE(PlanBar(hidden, 50, kEmpty, kButtonFace, kWidth, kHeight).labelVisible);
    EXPECT_EQ(std::strlen(kBlankStripText), 46u);
}

TEST(BandPlanOutOfRange, OnlyTheButtonFaceFillIsDrawn)
{
    for (int position : {-1, 101, INT_MIN, INT_MAX}) {
        const BarPlan plan = PlanBar(WindowSettings(), position, kEmpty, kButtonFace, kWidth, kHeight);
        EXPECT_FALSE(plan.offScreen);
        EXPECT_FALSE(plan.blankStrip);
        EXPECT_FALSE(plan.labelVisible);
        ASSERT_EQ(plan.fills.size(), 1u);
        EXPECT_EQ(plan.fills[0], (BarFill{{0, 0, kWidth, kHeight}, kButtonFace}));
    }
    BarSettings inverted = WindowSettings();
    inverted.lowLimit = 10;
    inverted.highLimit = 5;
    for (int position : {4, 5, 7, 10, 11}) {
        EXPECT_FALSE(PlanBar(inverted, position, kEmpty, kButtonFace, kWidth, kHeight).offScreen) << position;
    }
}

TEST(BandPlanProportions, TakenOfTheHighLimitAlone)
{
    BarSettings settings = WindowSettings();
    settings.lowLimit = 20;
    settings.highLimit = 120;
    const BarPlan middle = PlanBar(settings, 70, kEmpty, kButtonFace, kWidth, kHeight);
    EXPECT_EQ(middle.fillWidth, 175);
    EXPECT_STREQ(middle.label.data(), "58%");
    EXPECT_FALSE(middle.blankStrip);

    const BarPlan atLow = PlanBar(settings, 20, kEmpty, kButtonFace, kWidth, kHeight);
    EXPECT_EQ(atLow.fillWidth, 50);
    EXPECT_TRUE(atLow.blankStrip);
    EXPECT_STREQ(atLow.label.data(), "17%");
}

TEST(BandPlanProportions, FillWidthRoundsThroughSinglePrecision)
{
    // 1/3 of 300 is 99.999... in double; single precision rounds it to 100.
    EXPECT_EQ(FillWidth(1, 3, 300), 100);
    EXPECT_EQ(FillWidth(2, 3, 300), 200);
    // 7/10 of 10 is 6.9999... in double and stays below 7 in single.
    EXPECT_EQ(FillWidth(7, 10, 10), 7);
    EXPECT_EQ(FillWidth(99, 100, 300), 297);
}

TEST(BandPlanColours, DefaultColoursGive127BandsStoppingShortOfRightColor)
{
    BarSettings settings;  // 0x800000 toward 0xFF0000
    EXPECT_EQ(BandCount(settings.leftColor, settings.rightColor), 127);
    const BarPlan plan = PlanBar(settings, 100, kEmpty, kButtonFace, 254, 4);
    ASSERT_EQ(plan.fills.size(), 127u);
    for (int i = 0; i < 127; ++i) {
        EXPECT_EQ(plan.fills[static_cast<std::size_t>(i)].colour, MakeColour(0, 0, static_cast<std::uint8_t>(128 + i)));
        EXPECT_EQ(plan.fills[static_cast<std::size_t>(i)].rect.left, 2 * i);
    }
}

TEST(BandPlanColours, FractionalStepsStayBetweenTheTwoColours)
{
    BarSettings settings;
    settings.leftColor = MakeColour(200, 10, 0);
    settings.rightColor = MakeColour(0, 60, 255);  // red falls, green and blue rise
    ASSERT_EQ(BandCount(settings.leftColor, settings.rightColor), 255);
    const BarPlan plan = PlanBar(settings, 100, kEmpty, kButtonFace, 510, 2);
    ASSERT_EQ(plan.fills.size(), 255u);
    EXPECT_EQ(plan.fills.front().colour, settings.leftColor);
    for (const BarFill& fill : plan.fills) {
        EXPECT_LE(RedOf(fill.colour), 200);
        EXPECT_GE(GreenOf(fill.colour), 10);
        EXPECT_LE(GreenOf(fill.colour), 60);
    }
    EXPECT_EQ(plan.fills.back().colour, MakeColour(0, 59, 254));
}

TEST(BandPlanColours, EqualColoursDrawOneBandOverTheFilledPart)
{
    BarSettings settings = WindowSettings();
    settings.rightColor = settings.leftColor;
    const BarPlan half = PlanBar(settings, 50, kEmpty, kButtonFace, kWidth, kHeight);
    const PixelBuffer pixels = RenderBarPlan(half, kWidth, kHeight);
    for (int x = 0; x < kWidth; ++x) {
        ExpectEveryRow(pixels, x, x < 150 ? settings.leftColor : kEmpty, 50);
    }
    const PixelBuffer empty = RenderBarPlan(PlanBar(settings, 0, kEmpty, kButtonFace, kWidth, kHeight), kWidth, kHeight);
    const PixelBuffer full = RenderBarPlan(PlanBar(settings, 100, kEmpty, kButtonFace, kWidth, kHeight), kWidth, kHeight);
    for (int x = 0; x < kWidth; ++x) {
        ExpectEveryRow(empty, x, kEmpty, 0);
        ExpectEveryRow(full, x, settings.leftColor, 100);
    }
}

TEST(BandPlanRobustness, UnevenWidthLeavesNoUnpaintedColumn)
{
    // 127 bands over 473 pixels end at 472; the last column shows the
    // surface's clear colour, never black (uninitialised in the original).
    BarSettings settings;
    const BarPlan plan = PlanBar(settings, 100, kEmpty, kButtonFace, 473, 3);
    EXPECT_EQ(plan.fills.back().rect.right, 472);
    const PixelBuffer pixels = RenderBarPlan(plan, 473, 3);
    EXPECT_EQ(pixels.At(472, 1), kEmpty);
    EXPECT_EQ(pixels.At(471, 1), 0xFE0000u);
}

TEST(BandPlanRobustness, ClientNarrowerThanTheBandCount)
{
    for (int width : {0, 1, 5, 127}) {
        const BarPlan plan = PlanBar(WindowSettings(), 100, kEmpty, kButtonFace, width, kHeight);
        ASSERT_LE(plan.fills.size(), static_cast<std::size_t>(width));
        const PixelBuffer pixels = RenderBarPlan(plan, width, kHeight);
        // Column x shows the one band whose [trunc(i w), trunc((i + 1) w)) holds it.
        for (int x = 0; x < width; ++x) {
            int band = 0;
            while ((band + 1) * width / 128 <= x) {
                ++band;
            }
            ExpectEveryRow(pixels, x, ExampleBandColour(band), width);
        }
    }
}

TEST(BandPlanRobustness, ZeroHighLimitShowsAnEmptyBarWithoutLabel)
{
    BarSettings settings = WindowSettings();
    settings.highLimit = 0;
    for (int low : {0, -10}) {
        settings.lowLimit = low;
        for (int position : {low, low / 2, 0}) {
            const BarPlan plan = PlanBar(settings, position, kEmpty, kButtonFace, kWidth, kHeight);
            EXPECT_TRUE(plan.offScreen);
            EXPECT_EQ(plan.fillWidth, 0);
            EXPECT_FALSE(plan.labelVisible);
            EXPECT_EQ(plan.blankStrip, position == low);
            ASSERT_EQ(plan.fills.size(), 1u);
            EXPECT_EQ(plan.fills[0], (BarFill{{0, 0, kWidth, kHeight}, kEmpty}));
        }
    }
}

TEST(BandPlanRobustness, ExtremeLimitsStayWithinTheClient)
{
    BarSettings settings = WindowSettings();
    settings.lowLimit = INT_MIN;
    settings.highLimit = 1;
    const BarPlan lowest = PlanBar(settings, INT_MIN, kEmpty, kButtonFace, kWidth, kHeight);
    EXPECT_EQ(lowest.fillWidth, 0);
    EXPECT_STREQ(lowest.label.data(), "-214748364800%");

    settings.lowLimit = -200;
    settings.highLimit = -100;  // a share above 1
    const BarPlan beyond = PlanBar(settings, -150, kEmpty, kButtonFace, kWidth, kHeight);
    EXPECT_EQ(beyond.fillWidth, kWidth);
    EXPECT_EQ(beyond.fills.size(), 128u);
    EXPECT_STREQ(beyond.label.data(), "150%");

    settings.lowLimit = 0;
    settings.highLimit = INT_MAX;
    const BarPlan huge = PlanBar(settings, INT_MAX, kEmpty, kButtonFace, INT_MAX, INT_MAX);
    EXPECT_EQ(huge.fillWidth, 1 << 24);
    EXPECT_EQ(huge.fills.back().rect.right, 1 << 24);
}

}  // namespace
}  // namespace tarnwick
