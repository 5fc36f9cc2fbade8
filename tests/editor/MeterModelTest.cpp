// The bar meter's arithmetic: ballistics over a sequence of updates, rounding of the scale, and
// the lit band and peak-hold line for each meter style at the ends of its range.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>

#include "editor/MeterModel.h"

namespace meter {

bool operator==(const PixelBand& a, const PixelBand& b) {
    if (a.Empty() && b.Empty()) return true;
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::ostream& operator<<(std::ostream& out, const PixelBand& band) {
    if (band.Empty()) return out << "(empty)";
    return out << "(" << band.x << ", " << band.y << ", " << band.width << " x " << band.height
               << ")";
}

}  // namespace meter

namespace {

using meter::ApplyBallistics;
using meter::ChannelBallistics;
using meter::LitBand;
using meter::MeterLayout;
using meter::PeakHoldLine;
using meter::PixelBand;
using meter::ScaleLevel;

constexpr int32_t kSilence = meter::kNoLevel;
const PixelBand kNothing;

MeterLayout LevelMeter() {  // the editor's output meters
    MeterLayout layout;
    layout.width = 12;
    layout.height = 120;
    layout.min = -300;
    layout.max = 0;
    layout.vertical = true;
    return layout;
}

MeterLayout PhaseMeter() {  // the editor's phase-opposition meter
    MeterLayout layout;
    layout.width = 154;
    layout.height = 12;
    layout.min = 0;
    layout.max = 180;
    return layout;
}

TEST(MeterBallistics, BarFallsByTheDecayStepAndAPeakIsHeldForThirtyUpdates) {
    ChannelBallistics channel;
    ApplyBallistics(channel, -100, 20);
    EXPECT_EQ(channel.level, -100);
    EXPECT_EQ(channel.peakHold, -100);
    EXPECT_EQ(channel.maxLevel, -100);

    for (int update = 1; update <= 30; ++update) {
        ApplyBallistics(channel, kSilence, 20);
        ASSERT_EQ(channel.level, -100 - 20 * update) << "update " << update;
        ASSERT_EQ(channel.peakHold, -100) << "update " << update;
    }
    ApplyBallistics(channel, kSilence, 20);
    EXPECT_EQ(channel.peakHold, -130);
    ApplyBallistics(channel, kSilence, 20);
    EXPECT_EQ(channel.peakHold, -160);
    EXPECT_EQ(channel.level, -100 - 20 * 32);
    EXPECT_EQ(channel.maxLevel, -100);
}

TEST(MeterBallistics, AValueAboveTheBarReplacesItAndRestartsTheHoldOnlyAboveThePeak) {
    ChannelBallistics channel;
    ApplyBallistics(channel, -100, 20);
    for (int i = 0; i < 10; ++i) ApplyBallistics(channel, kSilence, 20);  // bar at -300

    // Above the bar, below the peak: the bar jumps, the hold keeps running down.
    ApplyBallistics(channel, -200, 20);
    EXPECT_EQ(channel.level, -200);
    EXPECT_EQ(channel.peakHold, -100);
    EXPECT_EQ(channel.holdCount, 19);

    // Above the peak: a new peak, held for the full 30 updates again.
    ApplyBallistics(channel, -50, 20);
    EXPECT_EQ(channel.level, -50);
    EXPECT_EQ(channel.peakHold, -50);
    EXPECT_EQ(channel.holdCount, 30);
    EXPECT_EQ(channel.maxLevel, -50);

    // Once the peak falls below the bar, the bar pushes it up and it is held there.
    for (int i = 0; i < 31; ++i) ApplyBallistics(channel, -50, 0);
    EXPECT_EQ(channel.peakHold, -50);
    EXPECT_EQ(channel.holdCount, 30);
}

TEST(MeterBallistics, SilenceSettlesAtTheFloorAndExtremesSaturateInsteadOfWrapping) {
    ChannelBallistics channel;
    for (int i = 0; i < 100; ++i) ApplyBallistics(channel, kSilence, 20);
    EXPECT_EQ(channel.level, kSilence);
    EXPECT_EQ(channel.maxLevel, kSilence);
    EXPECT_EQ(channel.peakHold, kSilence);  // the bar holds the peak up at the floor

    constexpr int32_t kLowest = std::numeric_limits<int32_t>::min();
    ChannelBallistics deep;
    deep.level = kLowest + 5;
    deep.peakHold = kLowest + 10;
    ApplyBallistics(deep, kLowest, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(deep.level, kLowest);
    EXPECT_EQ(deep.peakHold, kLowest);
    ApplyBallistics(deep, kLowest, 20);
    EXPECT_EQ(deep.peakHold, kLowest);
    EXPECT_EQ(deep.level, kLowest);
}

TEST(MeterScale, RoundsHalfUpAndSurvivesExtremeValues) {
    EXPECT_EQ(ScaleLevel(-150, -300, 0, 116), 58);
    EXPECT_EQ(ScaleLevel(90, 0, 180, 150), 75);
    EXPECT_EQ(ScaleLevel(179, 0, 180, 150), 149);  // 149.17
    EXPECT_EQ(ScaleLevel(1, 0, 2, 1), 1);          // 0.5 rounds up
    EXPECT_EQ(ScaleLevel(-1, 0, 2, 1), 0);         // -0.5 rounds up as well
    EXPECT_EQ(ScaleLevel(-2, 0, 4, 3), -1);        // -1.5
    EXPECT_EQ(ScaleLevel(50, 7, 7, 116), 0);       // empty range

    EXPECT_GT(ScaleLevel(std::numeric_limits<int32_t>::max(), -300, 0, 116), 116);
    EXPECT_LT(ScaleLevel(std::numeric_limits<int32_t>::min(), 0, 100, 116), 0);
    EXPECT_GT(ScaleLevel(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(),
                         std::numeric_limits<int32_t>::max(), 150),
              149);
}

TEST(MeterLitBand, VerticalLevelMeterLightsFromTheLevelDownKeepingTwoRowsAtEachEnd) {
    const MeterLayout layout = LevelMeter();
    EXPECT_EQ(LitBand(layout, -150), (PixelBand{0, 60, 12, 58}));
    EXPECT_EQ(LitBand(layout, 0), (PixelBand{0, 2, 12, 116}));
    EXPECT_EQ(LitBand(layout, 250), (PixelBand{0, 2, 12, 116}));
    EXPECT_EQ(LitBand(layout, -297), (PixelBand{0, 117, 12, 1}));  // the lowest lit row
    EXPECT_EQ(LitBand(layout, -299), kNothing);
    EXPECT_EQ(LitBand(layout, -300), kNothing);
    EXPECT_EQ(LitBand(layout, kSilence), kNothing);
}

TEST(MeterLitBand, InvertedMeterMeasuresFromTheTop) {
    MeterLayout layout = LevelMeter();
    layout.inverted = true;
    layout.min = 0;
    layout.max = 100;
    EXPECT_EQ(LitBand(layout, 25), (PixelBand{0, 31, 12, 87}));  // s = 29
    EXPECT_EQ(LitBand(layout, 100), kNothing);
    EXPECT_EQ(LitBand(layout, -50), (PixelBand{0, 2, 12, 116}));
    EXPECT_EQ(PeakHoldLine(layout, 25), (PixelBand{0, 31, 12, 2}));
}

TEST(MeterLitBand, CentredMeterGrowsUpOrDownFromRowSeventySeven) {
    MeterLayout layout;
    layout.width = 10;
    layout.height = 154;
    layout.min = -100;
    layout.max = 100;
    layout.vertical = true;
    layout.centred = true;
    EXPECT_EQ(LitBand(layout, 50), (PixelBand{0, 39, 10, 38}));  // rows 39..76
    EXPECT_EQ(LitBand(layout, 100), (PixelBand{0, 2, 10, 75}));  // rows 2..76
    EXPECT_EQ(LitBand(layout, 0), kNothing);
    EXPECT_EQ(LitBand(layout, -50), (PixelBand{0, 77, 10, 37}));   // rows 77..113
    EXPECT_EQ(LitBand(layout, -100), (PixelBand{0, 77, 10, 75}));  // rows 77..151
    // Far below the range the band would run off the bottom: it stops at the client edge.
    EXPECT_EQ(LitBand(layout, -1000), (PixelBand{0, 77, 10, 77}));
}

TEST(MeterLitBand, HorizontalBarStartsAtTheLeftEdgeAndStaysFullAtTheTop) {
    const MeterLayout layout = PhaseMeter();
    EXPECT_EQ(LitBand(layout, 90), (PixelBand{0, 0, 77, 12}));
    EXPECT_EQ(LitBand(layout, 0), (PixelBand{0, 0, 2, 12}));
    EXPECT_EQ(LitBand(layout, -40), (PixelBand{0, 0, 2, 12}));
    EXPECT_EQ(LitBand(layout, 179), (PixelBand{0, 0, 151, 12}));
    EXPECT_EQ(LitBand(layout, 180), (PixelBand{0, 0, 152, 12}));
    EXPECT_EQ(LitBand(layout, 720), (PixelBand{0, 0, 152, 12}));
}

TEST(MeterLitBand, HorizontalMarkerIsThreeColumnsWideAndClippedAtTheEdges) {
    MeterLayout layout = PhaseMeter();
    layout.marker = true;
    EXPECT_EQ(LitBand(layout, 0), (PixelBand{2, 0, 3, 12}));
    EXPECT_EQ(LitBand(layout, 90), (PixelBand{76, 0, 3, 12}));  // s = 74 of 147
    EXPECT_EQ(LitBand(layout, 180), (PixelBand{149, 0, 3, 12}));
    EXPECT_EQ(LitBand(layout, 183), (PixelBand{151, 0, 3, 12}));  // s = 149, the last that fits
    EXPECT_EQ(LitBand(layout, 185), kNothing);                    // s = 151
    EXPECT_EQ(LitBand(layout, -5), (PixelBand{0, 0, 1, 12}));     // s = -4
    EXPECT_EQ(LitBand(layout, -10), kNothing);
}

TEST(MeterPeakHoldLine, TwoRowsAtThePeakWithinTheScale) {
    const MeterLayout layout = LevelMeter();
    EXPECT_EQ(PeakHoldLine(layout, -150), (PixelBand{0, 60, 12, 2}));
    EXPECT_EQ(PeakHoldLine(layout, 0), (PixelBand{0, 2, 12, 2}));
    EXPECT_EQ(PeakHoldLine(layout, 60), (PixelBand{0, 2, 12, 2}));
    EXPECT_EQ(PeakHoldLine(layout, -297), (PixelBand{0, 117, 12, 2}));
    EXPECT_EQ(PeakHoldLine(layout, -300), kNothing);
    EXPECT_EQ(PeakHoldLine(layout, kSilence - 3000), kNothing);
}

}  // namespace
