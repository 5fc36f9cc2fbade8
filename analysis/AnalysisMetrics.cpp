// The objectives' and metrics' names and figures, and the choice of the best angle.
#include "analysis/AnalysisMetrics.h"

#include <algorithm>
#include <cstdlib>

const char* AnalysisMetricName(AnalysisMetric metric) {
    switch (metric) {
        case AnalysisMetric::kMonoLoss:
            return "mono-loss";
        case AnalysisMetric::kCorrelation:
            return "correlation";
        case AnalysisMetric::kPeak:
            return "peak";
        case AnalysisMetric::kCrest:
            return "crest";
    }
    return "";
}

const char* AnalysisObjectiveName(AnalysisObjective objective) {
    return AnalysisMetricName(static_cast<AnalysisMetric>(objective));
}

bool ParseAnalysisMetric(const std::string& name, AnalysisMetric* metric) {
    for (AnalysisMetric m : {AnalysisMetric::kMonoLoss, AnalysisMetric::kCorrelation,
                             AnalysisMetric::kPeak, AnalysisMetric::kCrest}) {
        if (name == AnalysisMetricName(m)) {
            *metric = m;
            return true;
        }
    }
    return false;
}

double MetricValue(AnalysisMetric metric, const SignalFigures& f) {
    switch (metric) {
        case AnalysisMetric::kMonoLoss:
            return f.monoLossDb;
        case AnalysisMetric::kCorrelation:
            return f.correlation;
        case AnalysisMetric::kPeak:
            return f.peakDbfs;
        case AnalysisMetric::kCrest:
            return f.crestDb;
    }
    return kAnalysisNan;
}

double ObjectiveCost(AnalysisObjective objective, const SignalFigures& f) {
    return MetricCost(static_cast<AnalysisMetric>(objective), f);
}

bool MetricLimitInRange(AnalysisMetric metric, double limit, std::string* range) {
    switch (metric) {
        case AnalysisMetric::kCorrelation:
            *range = "-1 to 1";
            return limit >= -1.0 && limit <= 1.0;
        case AnalysisMetric::kMonoLoss:
        case AnalysisMetric::kCrest:
            *range = "0 or more (dB)";
            return limit >= 0.0;
        case AnalysisMetric::kPeak:
            *range = "any level in dBFS";
            return std::isfinite(limit);
    }
    return false;
}

double MetricCost(AnalysisMetric metric, const SignalFigures& f) {
    const double value = MetricValue(metric, f);
    if (std::isnan(value)) return kAnalysisInf;
    return metric == AnalysisMetric::kCorrelation ? -value : value;
}

std::vector<AnalysisMetric> TieBreakers(AnalysisObjective objective) {
    switch (objective) {
        case AnalysisObjective::kMonoLoss:
            return {AnalysisMetric::kCorrelation};
        case AnalysisObjective::kCorrelation:
            return {AnalysisMetric::kMonoLoss};
        case AnalysisObjective::kPeak:
            return {AnalysisMetric::kMonoLoss, AnalysisMetric::kCorrelation};
        case AnalysisObjective::kCrest:
            return {AnalysisMetric::kMonoLoss, AnalysisMetric::kCorrelation, AnalysisMetric::kPeak};
    }
    return {};
}

bool Ties(double cost, double best) {
    return cost <= best + kTieFigure;
}

int ChooseAngle(const std::vector<SignalFigures>& curve, AnalysisObjective objective,
                const std::vector<char>& allowed) {
    const AnalysisMetric metric = static_cast<AnalysisMetric>(objective);
    std::vector<int> tied;
    for (size_t i = 0; i < curve.size(); ++i)
        if (allowed[i]) tied.push_back(static_cast<int>(i));
    std::vector<AnalysisMetric> metrics = TieBreakers(objective);
    metrics.insert(metrics.begin(), metric);
    for (AnalysisMetric m : metrics) {
        double best = kAnalysisInf;
        for (int i : tied) best = std::min(best, MetricCost(m, curve[i]));
        std::vector<int> kept;
        for (int i : tied)
            if (Ties(MetricCost(m, curve[i]), best)) kept.push_back(i);
        tied.swap(kept);
    }
    int chosen = tied.front();
    for (int i : tied) {
        const int phase = i + kAnalysisMinPhase, current = chosen + kAnalysisMinPhase;
        if (std::abs(phase) < std::abs(current) ||
            (std::abs(phase) == std::abs(current) && phase > current))
            chosen = i;
    }
    return chosen + kAnalysisMinPhase;
}

std::vector<ThresholdResult> CheckThresholds(const SignalFigures& input,
                                             const std::vector<AnalysisThreshold>& thresholds) {
    std::vector<ThresholdResult> results;
    for (const AnalysisThreshold& t : thresholds) {
        ThresholdResult r;
        r.threshold = t;
        r.value = MetricValue(t.metric, input);
        r.failed = std::isnan(r.value) || (t.above ? r.value > t.limit : r.value < t.limit);
        results.push_back(r);
    }
    return results;
}
