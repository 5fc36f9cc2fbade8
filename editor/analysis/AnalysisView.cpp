// The analysis page's drawing geometry and readouts.
#include "editor/analysis/AnalysisView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int CorrelationMeterValue(double correlation) {
    if (!std::isfinite(correlation)) return 0;
    const double clamped = std::max(-1.0, std::min(1.0, correlation));
    return static_cast<int>(std::lround(clamped * kCorrelationMeterMax));
}

std::string CorrelationText(double correlation) {
    if (!std::isfinite(correlation)) return "--";
    char text[16];
    std::snprintf(text, sizeof text, "%+.2f", std::max(-1.0, std::min(1.0, correlation)));
    return text;
}

std::vector<PlotPoint> ScopePoints(const float (*frames)[2], int count, int size) {
    std::vector<PlotPoint> points;
    double largest = 0.0;
    for (int i = 0; i < count; ++i) {
        const double mid = double(frames[i][0]) + frames[i][1];
        const double side = double(frames[i][0]) - frames[i][1];
        if (std::isfinite(mid) && std::isfinite(side))
            largest = std::max(largest, std::max(std::fabs(mid), std::fabs(side)));
    }
    if (!(largest > 1e-9)) return points;  // silence: an empty scope rather than noise blown up
    points.reserve(static_cast<size_t>(count));
    const double half = (size - 1) / 2.0;
    for (int i = 0; i < count; ++i) {
        const double mid = (double(frames[i][0]) + frames[i][1]) / largest;
        const double side = (double(frames[i][0]) - frames[i][1]) / largest;
        if (!std::isfinite(mid) || !std::isfinite(side)) continue;
        points.push_back({static_cast<int>(std::lround(half + side * half)),
                          static_cast<int>(std::lround(half - mid * half))});
    }
    return points;
}

int AngleX(int phase, int width) {
    return static_cast<int>(std::lround(double(phase - kAnalysisMinPhase) * (width - 1) /
                                        (kAnalysisMaxPhase - kAnalysisMinPhase)));
}

double LossScaleDb(const TapCurves& curves) {
    double largest = 0.0;
    for (double loss : curves.monoLossDb)
        if (std::isfinite(loss)) largest = std::max(largest, loss);
    return std::min(60.0, std::max(6.0, std::ceil(largest / 6.0) * 6.0));
}

CurveLines CurveLinesOf(const TapCurves& curves, int width, int height) {
    CurveLines lines;
    const double scale = LossScaleDb(curves);
    const double bottom = height - 1;
    // Adds a point to the line's current run, or starts a new run after a gap.
    const auto add = [](std::vector<std::vector<PlotPoint>>& runs, bool& open, PlotPoint p) {
        if (!open) runs.emplace_back();
        runs.back().push_back(p);
        open = true;
    };
    bool correlationOpen = false, lossOpen = false;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const int i = TapAngleIndex(phase);
        const int x = AngleX(phase, width);
        const double correlation = curves.correlation[i];
        if (std::isfinite(correlation))
            add(lines.correlation, correlationOpen,
                {x, static_cast<int>(std::lround(
                        (1.0 - std::max(-1.0, std::min(1.0, correlation))) * bottom / 2))});
        else
            correlationOpen = false;
        const double loss = curves.monoLossDb[i];
        if (std::isfinite(loss) && loss <= scale)
            add(lines.monoLoss, lossOpen,
                {x, static_cast<int>(std::lround(std::max(0.0, loss) * bottom / scale))});
        else
            lossOpen = false;
    }
    return lines;
}

std::string FiguresText(const char* what, int phase, const TapCurves& curves) {
    const int i = TapAngleIndex(std::max(kAnalysisMinPhase, std::min(kAnalysisMaxPhase, phase)));
    const double loss = curves.monoLossDb[i];
    char lossText[32];
    if (std::isnan(loss))
        std::snprintf(lossText, sizeof lossText, "--");
    else if (std::isinf(loss))
        std::snprintf(lossText, sizeof lossText, "cancels");
    else
        std::snprintf(lossText, sizeof lossText, "%.1f dB", loss);
    char text[128];
    std::snprintf(text, sizeof text, "%s %d\xb0: loss %s, corr. %s", what, phase,
                  lossText, CorrelationText(curves.correlation[i]).c_str());
    return text;
}
