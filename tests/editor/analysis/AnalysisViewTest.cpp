// What the analysis page draws: the scope's axes, the meters' readings and the curves' scale.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/analysis/AnalysisView.h"

inline bool operator==(const PlotPoint& a, const PlotPoint& b) {
    return a.x == b.x && a.y == b.y;
}

namespace {

// Mono lies on the vertical through the centre, mid up; an inverted pair on the horizontal,
// the left channel's side to the right; one channel alone on a diagonal; silence nowhere.
TEST(AnalysisView, ScopePutsMidUpAndSideAcross) {
    const struct {
        float left, right;
        PlotPoint at;  // in a 101-pixel square, for the loudest frame
    } cases[] = {{0.5f, 0.5f, {50, 0}},
                 {-0.5f, -0.5f, {50, 100}},
                 {0.5f, -0.5f, {100, 50}},
                 {-0.5f, 0.5f, {0, 50}},
                 {0.5f, 0.0f, {100, 0}}};
    for (const auto& c : cases) {
        const float frames[2][2] = {{c.left, c.right}, {c.left / 2, c.right / 2}};
        const std::vector<PlotPoint> points = ScopePoints(frames, 2, 101);
        ASSERT_EQ(2u, points.size());
        EXPECT_EQ(c.at.x, points[0].x) << c.left << " " << c.right;
        EXPECT_EQ(c.at.y, points[0].y) << c.left << " " << c.right;
        EXPECT_EQ((50 + c.at.x) / 2, points[1].x);  // half as loud, half way to the centre
    }
    const float silence[1][2] = {{0.0f, 0.0f}};
    EXPECT_TRUE(ScopePoints(silence, 1, 101).empty());
}

TEST(AnalysisView, MetersAndCurvesKeepToTheirScales) {
    EXPECT_EQ(kCorrelationMeterMax, CorrelationMeterValue(1.0));
    EXPECT_EQ(kCorrelationMeterMin, CorrelationMeterValue(-1.5));
    EXPECT_EQ(0, CorrelationMeterValue(std::nan("")));
    EXPECT_EQ("+0.45", CorrelationText(0.449));
    EXPECT_EQ("--", CorrelationText(std::nan("")));

    TapCurves curves;
    for (int i = 0; i < kAnalysisAngleCount; ++i) {
        curves.correlation[i] = i == 0 ? std::nan("") : std::cos(i * 0.0174533);
        curves.monoLossDb[i] = i == 10 ? INFINITY : 7.0 * i / kAnalysisAngleCount;
    }
    EXPECT_EQ(12.0, LossScaleDb(curves));
    const CurveLines lines = CurveLinesOf(curves, 361, 101);
    ASSERT_EQ(1u, lines.correlation.size());                // the undefined first angle is left out
    EXPECT_EQ((PlotPoint{1, 0}), lines.correlation[0][0]);  // +1 at the top
    ASSERT_EQ(2u, lines.monoLoss.size());                   // broken where the fold-down cancels
    EXPECT_EQ(0, lines.monoLoss[0][0].y);                   // 0 dB at the top
    EXPECT_EQ(0, AngleX(-180, 361));
    EXPECT_EQ(360, AngleX(180, 361));
}

}  // namespace
