// The frames that can hold a peak, and the probes' peaks over them.
#include "analysis/PeakFrames.h"

#include <algorithm>
#include <cmath>

#include "engine/OutputStage.h"

namespace {

constexpr size_t kFloorWitnesses = 256;

}  // namespace

// The least over all angles of the peak of the strongest kept frames: the peak at every angle
// reaches it. The frames below it are dropped; a case that would still keep more than `limit`
// keeps none.
void RaiseFloor(CaseRun& run, size_t limit) {
    PeakFrames& kept = run.peakFrames;
    const size_t n = kept.frames.size();
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = i;
    const size_t witnesses = std::min(n, kFloorWitnesses);
    std::nth_element(order.begin(), order.begin() + witnesses, order.end(),
                     [&kept](size_t a, size_t b) { return kept.bounds[a] > kept.bounds[b]; });
    double floor = kAnalysisInf;
    for (const Coefficients& c : run.angles) {
        double peak = 0.0;
        for (size_t k = 0; k < witnesses; ++k) {
            const Frame& f = kept.frames[order[k]];
            double left, right;
            OutputStage::MixFrame(f.u, f.t, f.v, c, &left, &right);
            peak = std::max(peak, std::max(std::fabs(left), std::fabs(right)));
        }
        floor = std::min(floor, peak);
    }
    if (witnesses > 0) kept.floor = std::max(kept.floor, floor);
    size_t to = 0;
    for (size_t i = 0; i < n; ++i) {
        if (kept.bounds[i] < kept.floor) continue;
        kept.frames[to] = kept.frames[i];
        kept.bounds[to] = kept.bounds[i];
        ++to;
    }
    kept.frames.resize(to);
    kept.bounds.resize(to);
    kept.pruneAt = std::min(std::max(kFirstPrune, 2 * to), limit + 1);
    if (to > limit) {
        kept.overflowed = true;
        kept.frames = std::vector<Frame>();
        kept.bounds = std::vector<double>();
    }
}

FloorTest FloorTestOf(const CaseRun& run) {
    const double weights =
        std::max(run.boundLeft[0] * run.boundLeft[0] + run.boundLeft[1] * run.boundLeft[1],
                 run.boundRight[0] * run.boundRight[0] + run.boundRight[1] * run.boundRight[1]);
    const double floor = run.peakFrames.floor;
    return {weights > 0.0 ? floor * floor / weights * (1.0 - 1e-9) : kAnalysisInf, floor};
}

// Whether a frame's bound reaches the floor: w0 |u| + w1 r >= floor when w0 |u| does, or when
// (w1 r)^2 reaches (floor - w0 |u|)^2.
bool ReachesFloor(const CaseRun& run, double u, double t, double v, double floor) {
    const double au = std::fabs(u), r2 = t * t + v * v;
    const double left = floor - run.boundLeft[0] * au, right = floor - run.boundRight[0] * au;
    return left <= 0.0 || right <= 0.0 || run.boundLeft[1] * run.boundLeft[1] * r2 >= left * left ||
           run.boundRight[1] * run.boundRight[1] * r2 >= right * right;
}

void ProbeFrame(std::vector<Probe>& probes, const Frame& f) {
    for (Probe& probe : probes) {
        double left, right;
        OutputStage::MixFrame(f.u, f.t, f.v, probe.coefficients, &left, &right);
        if (std::fabs(left) > probe.peak[0]) {
            probe.peak[0] = std::fabs(left);
            probe.witness[0] = f;
        }
        if (std::fabs(right) > probe.peak[1]) {
            probe.peak[1] = std::fabs(right);
            probe.witness[1] = f;
        }
    }
}
