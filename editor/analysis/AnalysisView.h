// What the analysis page draws, in pixels of its displays: the phase scope's points, the curves'
// lines and marks, and the correlation meters' readings, from a tap snapshot and its curves.
#pragma once
#include <string>
#include <vector>

#include "analysis/TapSnapshot.h"

struct PlotPoint {
    int x, y;
};

// The correlation meters' range: hundredths of correlation, -1..+1.
constexpr int kCorrelationMeterMin = -100;
constexpr int kCorrelationMeterMax = 100;

// A correlation as the meter shows it (hundredths, rounded); 0, the centre, while undefined.
int CorrelationMeterValue(double correlation);
// "+0.45", "-1.00"; "--" while undefined.
std::string CorrelationText(double correlation);

// The scope's points in a size x size square: mid (L+R) up, side (L-R) across, so mono lies on
// the vertical through the centre and an inverted pair on the horizontal. The frames are scaled
// together so that the largest of their mids and sides reaches the edge (none while silent).
std::vector<PlotPoint> ScopePoints(const float (*frames)[2], int count, int size);

// The curves in a width x height area: x from -180 (left edge) to 180 (right edge), correlation
// from -1 (bottom) to +1 (top), mono loss from 0 dB (top) down to LossScaleDb(curves) at the
// bottom. Angles where a figure is undefined or off the scale are left out of its line, which
// therefore comes in runs.
struct CurveLines {
    std::vector<std::vector<PlotPoint>> correlation;
    std::vector<std::vector<PlotPoint>> monoLoss;
};
// The loss the bottom edge stands for: 6 dB, or the largest finite loss rounded up to 6 dB steps,
// at most 60 dB.
double LossScaleDb(const TapCurves& curves);
CurveLines CurveLinesOf(const TapCurves& curves, int width, int height);
// The x of an angle in a plot of the width.
int AngleX(int phase, int width);

// One figure line under the curves: "Now 30°: loss 1.2 dB, corr. +0.45" (mono loss and
// correlation); the loss reads "cancels" where the fold-down cancels, an undefined figure "--".
std::string FiguresText(const char* what, int phase, const TapCurves& curves);
