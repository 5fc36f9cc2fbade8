// What the analysis looks for and how it compares angles: the objectives, the figures the checks
// test, their names, and the choice of the best angle among figures equal to rounding.
#pragma once
#include <string>
#include <vector>

#include "analysis/StereoFigures.h"
#include "engine/ParamValues.h"

// The analysis tries every angle the Phase parameter can take.
constexpr int kAnalysisMinPhase = kParamDescriptors[kParamPhase].min;
constexpr int kAnalysisMaxPhase = kParamDescriptors[kParamPhase].max;
constexpr int kAnalysisAngleCount = kAnalysisMaxPhase - kAnalysisMinPhase + 1;

// What --objective asks for: the least mono-sum loss, the highest correlation, the lowest
// sample peak or the lowest crest factor (peak over RMS).
enum class AnalysisObjective { kMonoLoss, kCorrelation, kPeak, kCrest };

// The figures --fail-above and --fail-below test.
enum class AnalysisMetric { kMonoLoss, kCorrelation, kPeak, kCrest };

struct AnalysisThreshold {
    AnalysisMetric metric = AnalysisMetric::kMonoLoss;
    bool above = true;  // fails when the figure is above the limit (else below it)
    double limit = 0.0;
};

// A threshold applied to the input's figures.
struct ThresholdResult {
    AnalysisThreshold threshold;
    double value = 0.0;   // the input's figure
    bool failed = false;  // beyond the limit, or undefined (a silent channel or input)
};

std::vector<ThresholdResult> CheckThresholds(const SignalFigures& input,
                                             const std::vector<AnalysisThreshold>& thresholds);

// "mono-loss", "correlation", "peak", "crest" (for the objective and the metrics alike).
const char* AnalysisMetricName(AnalysisMetric metric);
const char* AnalysisObjectiveName(AnalysisObjective objective);
bool ParseAnalysisMetric(const std::string& name, AnalysisMetric* metric);

// The objective's figure with smaller meaning better (correlation negated); +inf for NaN.
double ObjectiveCost(AnalysisObjective objective, const SignalFigures& figures);
double MetricValue(AnalysisMetric metric, const SignalFigures& figures);
// Whether a limit lies within the figures the metric can take (a correlation within -1..1, a
// loss or crest factor not below 0 dB); the range in words for a message otherwise.
bool MetricLimitInRange(AnalysisMetric metric, double limit, std::string* range);

// The figure a metric compares, smaller meaning better (correlation negated); +inf for NaN.
double MetricCost(AnalysisMetric metric, const SignalFigures& figures);

// Figures closer than this (dB, or correlation) are equal to the choice within one case: the
// differences rounding leaves, such as the 1e-8 dB between angles half a turn apart, decide
// nothing.
constexpr double kTieFigure = 1e-6;

// Whether a cost is as good as `best` to rounding (both infinite counts too).
bool Ties(double cost, double best);

// What breaks a tie in the objective's figure: the figures a listener would lose, mono loss
// first, then correlation; for the crest factor also the peak.
std::vector<AnalysisMetric> TieBreakers(AnalysisObjective objective);

// The angle to suggest among the allowed ones (index phase + 180; at least one): the best
// figure for the objective; among figures equal to rounding, wherever their angles lie, the
// best other figures; then the angle nearest 0, the positive one of +a and -a.
int ChooseAngle(const std::vector<SignalFigures>& curve, AnalysisObjective objective,
                const std::vector<char>& allowed);
