// The bar meter's arithmetic: ballistics over a sequence of updates, rounding of the scale, and
// the lit band and peak-hold line of each meter style for every level in and around its range.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "editor/MeterModel.h"

namespace {

using namespace meter;

constexpr int32_t kSilence = kNoLevel;
constexpr int32_t kLowest = std::numeric_limits<int32_t>::min();
constexpr int32_t kHighest = std::numeric_limits<int32_t>::max();

MeterLayout Layout(int width, int height, int32_t min, int32_t max, bool vertical) {
    MeterLayout layout;
    layout.width = width;
    layout.height = height;
    layout.min = min;
    layout.max = max;
    layout.vertical = vertical;
    return layout;
}
const MeterLayout kLevelMeter = Layout(12, 120, -300, 0, true);  // the editor's output meters
const MeterLayout kPhaseMeter = Layout(154, 12, 0, 180, false);  // its phase-opposition meter

TEST(MeterBallistics, BarFallsByTheDecayStepAndAPeakIsHeldThenFalls) {
    ChannelBallistics channel;
    ApplyBallistics(channel, -100, 20);
    EXPECT_EQ(channel.level, -100);
    EXPECT_EQ(channel.peakHold, -100);
    for (int update = 1; update <= kPeakHoldUpdates; ++update) {
        ApplyBallistics(channel, kSilence, 20);
        ASSERT_EQ(channel.level, -100 - 20 * update) << "update " << update;
        ASSERT_EQ(channel.peakHold, -100) << "update " << update;
    }
    for (int update = 1; update <= 2; ++update) {
        ApplyBallistics(channel, kSilence, 20);
        EXPECT_EQ(channel.peakHold, -100 - kPeakFallPerUpdate * update);
    }
    EXPECT_EQ(channel.maxLevel, -100);
}

TEST(MeterBallistics, AValueAboveTheBarReplacesItAndRestartsTheHoldOnlyAboveThePeak) {
    ChannelBallistics channel;
    ApplyBallistics(channel, -100, 20);
    for (int i = 0; i < 10; ++i) ApplyBallistics(channel, kSilence, 20);  // bar at -300
    ApplyBallistics(channel, -200, 20);  // above the bar, below the peak: the hold runs on
    EXPECT_EQ(channel.level, -200);
    EXPECT_EQ(channel.peakHold, -100);
    EXPECT_EQ(channel.holdCount, kPeakHoldUpdates - 11);
    ApplyBallistics(channel, -50, 20);  // above the peak: a new one, held in full again
    EXPECT_EQ(channel.level, -50);
    EXPECT_EQ(channel.peakHold, -50);
    EXPECT_EQ(channel.holdCount, kPeakHoldUpdates);
    EXPECT_EQ(channel.maxLevel, -50);
    // Once the peak falls below a steady bar, the bar pushes it up and it is held there.
    for (int i = 0; i <= kPeakHoldUpdates; ++i) ApplyBallistics(channel, -50, 0);
    EXPECT_EQ(channel.peakHold, -50);
    EXPECT_EQ(channel.holdCount, kPeakHoldUpdates);
}

TEST(MeterBallistics, SilenceSettlesAtTheFloorAndExtremesSaturateInsteadOfWrapping) {
    ChannelBallistics channel;
    for (int i = 0; i < 100; ++i) ApplyBallistics(channel, kSilence, 20);
    EXPECT_EQ(channel.level, kSilence);
    EXPECT_EQ(channel.maxLevel, kSilence);
    EXPECT_EQ(channel.peakHold, kSilence);  // the bar holds the peak up at the floor

    ChannelBallistics deep;
    deep.level = kLowest + 5;
    deep.peakHold = kLowest + 10;
    ApplyBallistics(deep, kLowest, kHighest);
    EXPECT_EQ(deep.level, kLowest);
    EXPECT_EQ(deep.peakHold, kLowest);
    ApplyBallistics(deep, kLowest, 20);
    EXPECT_EQ(deep.peakHold, kLowest);
    EXPECT_EQ(deep.level, kLowest);
}

TEST(MeterScale, RoundsHalfUpAndSurvivesExtremeValues) {
    const struct {
        int32_t level, min, max;
        int length, scaled;
    } cases[] = {{-150, -300, 0, 116, 58}, {179, 0, 180, 150, 149},  // 149.17
                 {1, 0, 2, 1, 1},          {-1, 0, 2, 1, 0},         // +-0.5 both round up
                 {-2, 0, 4, 3, -1},        {50, 7, 7, 116, 0}};      // -1.5; an empty range
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleLevel(c.level, c.min, c.max, c.length), c.scaled) << c.level;
    }
    EXPECT_GT(ScaleLevel(kHighest, -300, 0, 116), 116);
    EXPECT_LT(ScaleLevel(kLowest, 0, 100, 116), 0);
    EXPECT_GT(ScaleLevel(kHighest, kLowest, kHighest, 150), 149);
}

// For every level in and around the range: the band lies inside the client area and grows
// one way with the level. Vertical bars keep two rows clear at each end, and a peak-hold line
// is two rows on the bar's top row; a horizontal bar never goes dark and at the top of the
// range stays two columns short of full (a phase meter at 180 degrees must not read as
// silence); a marker is three columns moving with the level, clipped at the left edge and
// gone at the right one once it no longer fits.
TEST(MeterLitBand, EachStyleGrowsWithTheLevelInsideTheClientArea) {
    MeterLayout inverted = Layout(12, 120, 0, 100, true), marker = kPhaseMeter;
    inverted.inverted = true;
    marker.marker = true;
    for (const MeterLayout& m : {kLevelMeter, inverted, kPhaseMeter, marker}) {
        SCOPED_TRACE(testing::Message()
                     << m.min << ".." << m.max << (m.inverted ? " inverted" : ""));
        int previous = -1, clipped = 0, flush = 0;
        for (int32_t level = m.min - 100; level <= m.max + 100; ++level) {
            const PixelBand b = LitBand(m, level);
            const bool inRange = level >= m.min && level <= m.max;
            if (b.Empty()) {
                EXPECT_TRUE(m.vertical || (m.marker && !inRange)) << level;
                continue;
            }
            ASSERT_TRUE(b.x >= 0 && b.y >= 0 && b.x + b.width <= m.width &&
                        b.y + b.height <= m.height)
                << level;
            // What moves with the level: the top row, or the right end of a bar or marker.
            const int moving = !m.vertical ? b.x + b.width : m.inverted ? b.y : m.height - b.y;
            EXPECT_GE(moving, previous) << level;
            previous = moving;
            if (m.vertical) {
                EXPECT_TRUE(b.x == 0 && b.width == m.width && b.y >= 2 &&
                            b.y + b.height == m.height - 2)
                    << level;
                const PixelBand line = PeakHoldLine(m, level);
                EXPECT_TRUE(line.y == b.y && line.height == 2 && line.width == m.width) << level;
            } else if (m.marker) {
                EXPECT_TRUE(b.y == 0 && b.height == m.height &&
                            (b.width == 3 || (b.x == 0 && !inRange)))
                    << level;
                clipped += b.width < 3 && b.x == 0;
                flush += b.x + b.width == m.width;
            } else {
                EXPECT_TRUE(b.x == 0 && b.y == 0 && b.height == m.height) << level;
                EXPECT_TRUE(level > m.min || b.width == 2) << level;
                EXPECT_TRUE(level < m.max || b.width == m.width - 2) << level;
            }
        }
        // The ends of the range: empty or full as the style has it.
        const PixelBand low = LitBand(m, m.min), high = LitBand(m, m.max);
        if (m.marker) {
            EXPECT_TRUE(low.x == 2 && high.x + 3 == m.width - 2 && clipped > 0 && flush > 0);
            EXPECT_TRUE(LitBand(m, m.min - 100).Empty() && LitBand(m, m.max + 100).Empty());
        } else if (m.vertical) {
            EXPECT_TRUE((m.inverted ? high : low).Empty());
            EXPECT_EQ((m.inverted ? low : high).y, 2);
            EXPECT_TRUE(PeakHoldLine(m, m.inverted ? m.max : m.min).Empty());
        }
    }
    EXPECT_EQ(LitBand(kLevelMeter, -297).height, 1) << "the lowest lit row, 2.5 rows up";
    EXPECT_EQ(LitBand(kLevelMeter, -150).height, ScaleLevel(-150, -300, 0, 116));
    EXPECT_TRUE(PeakHoldLine(kLevelMeter, kSilence - 3000).Empty());
}

// The centred style (a 154-row meter) lights up from its centre row for positive levels and
// down from it for negative ones, clipped at the client's bottom far below the range.
TEST(MeterLitBand, CentredBarGrowsUpOrDownFromTheCentre) {
    MeterLayout m = Layout(10, 154, -100, 100, true);
    m.centred = true;
    EXPECT_TRUE(LitBand(m, 0).Empty());
    const int centre = LitBand(m, -1).y;
    int previous = 0;
    for (int32_t level = 1; level <= m.max; ++level) {
        const PixelBand up = LitBand(m, level), down = LitBand(m, -level);
        EXPECT_TRUE(up.y + up.height == centre && down.y == centre) << level;
        EXPECT_NEAR(up.height, down.height, 1) << level;
        EXPECT_GE(up.height, previous) << level;
        previous = up.height;
    }
    EXPECT_EQ(LitBand(m, m.max).y, 2);
    EXPECT_EQ(LitBand(m, m.min).y + LitBand(m, m.min).height, m.height - 2);
    EXPECT_EQ(LitBand(m, -1000).y + LitBand(m, -1000).height, m.height);
}

}  // namespace
