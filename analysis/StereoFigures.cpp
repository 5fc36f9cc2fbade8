// The stereo meter's sums and the figures that follow from them.
#include "analysis/StereoFigures.h"

#include <algorithm>
#include <cstdint>

#include "analysis/FramePairs.h"

namespace {

// Ratios beyond 200 dB are off the scale: a fold-down that far down has cancelled.
constexpr double kOffScale = 1e-20;

}  // namespace

void CStereoMeter::Add(double left, double right) {
    m_block.frames += 1.0;
    m_block.sumL += left;
    m_block.sumR += right;
    m_block.sumLL += left * left;
    m_block.sumRR += right * right;
    m_block.sumLR += left * right;
    m_block.sumMid += (left + right) * (left + right);
    m_block.sumSide += (left - right) * (left - right);
    const double magnitude = std::max(std::fabs(left), std::fabs(right));
    if (magnitude > m_total.peak) m_total.peak = magnitude;
    if (++m_blockFrames == kBlockFrames) {
        const double peak = m_total.peak;
        m_total = Moments();
        m_total.peak = peak;
        m_block = StereoMoments();
        m_blockFrames = 0;
    }
}

void CStereoMeter::AddFrames(const double* left, const double* right, size_t frames) {
    while (frames > 0) {
        const size_t n = std::min(frames, static_cast<size_t>(kBlockFrames - m_blockFrames));
        FramePair sl = {}, sr = {}, ll = {}, rr = {}, lr = {}, mid = {}, side = {}, peak = {};
        const size_t even = n - n % 2;
        for (size_t k = 0; k < even; k += 2) {
            const FramePair l = LoadPair(left + k), r = LoadPair(right + k);
            const FramePair m = l + r, d = l - r;
            sl += l;
            sr += r;
            ll += l * l;
            rr += r * r;
            lr += l * r;
            mid += m * m;
            side += d * d;
            const FramePair al = l < 0.0 ? -l : l, ar = r < 0.0 ? -r : r;
            const FramePair larger = al > ar ? al : ar;
            peak = larger > peak ? larger : peak;
        }
        m_block.frames += static_cast<double>(even);
        m_block.sumL += LaneSum(sl);
        m_block.sumR += LaneSum(sr);
        m_block.sumLL += LaneSum(ll);
        m_block.sumRR += LaneSum(rr);
        m_block.sumLR += LaneSum(lr);
        m_block.sumMid += LaneSum(mid);
        m_block.sumSide += LaneSum(side);
        m_total.peak = std::max({m_total.peak, peak[0], peak[1]});
        m_blockFrames += static_cast<int>(even);
        // The odd frame, and the block's end, as one frame at a time.
        if (even < n) Add(left[even], right[even]);
        if (m_blockFrames == kBlockFrames) {
            const double held = m_total.peak;
            m_total = Moments();
            m_total.peak = held;
            m_block = StereoMoments();
            m_blockFrames = 0;
        }
        left += n;
        right += n;
        frames -= n;
    }
}

StereoMoments CStereoMeter::Moments() const {
    StereoMoments m = m_total;
    m.frames += m_block.frames;
    m.sumL += m_block.sumL;
    m.sumR += m_block.sumR;
    m.sumLL += m_block.sumLL;
    m.sumRR += m_block.sumRR;
    m.sumLR += m_block.sumLR;
    m.sumMid += m_block.sumMid;
    m.sumSide += m_block.sumSide;
    return m;
}

double StereoPower(const StereoMoments& m) {
    return m.frames > 0.0 ? (m.sumLL + m.sumRR) / (2.0 * m.frames) : 0.0;
}

SignalFigures FiguresOf(const StereoMoments& m) {
    SignalFigures f;
    const double n = m.frames > 0.0 ? m.frames : 1.0;
    const double power = StereoPower(m);
    const double floor = kOffScale * power;
    const double mid = std::max(0.0, m.sumMid / (4.0 * n));
    const double side = std::max(0.0, m.sumSide / (4.0 * n));

    const double varL = m.sumLL / n - (m.sumL / n) * (m.sumL / n);
    const double varR = m.sumRR / n - (m.sumR / n) * (m.sumR / n);
    const double cov = m.sumLR / n - (m.sumL / n) * (m.sumR / n);
    f.correlation = varL > floor && varR > floor && floor > 0.0
                        ? std::max(-1.0, std::min(1.0, cov / std::sqrt(varL * varR)))
                        : kAnalysisNan;
    if (power <= 0.0)
        f.midSideDb = kAnalysisNan;
    else if (side <= floor)
        f.midSideDb = kAnalysisInf;
    else if (mid <= floor)
        f.midSideDb = -kAnalysisInf;
    else
        f.midSideDb = Db10(mid / side);
    // The fold-down's mean power is at most the stereo power ((L+R)^2 / 4 <= (L^2 + R^2) / 2);
    // rounding may not make a loss below 0.
    if (power <= 0.0)
        f.monoLossDb = kAnalysisNan;
    else if (mid <= floor)
        f.monoLossDb = kAnalysisInf;
    else
        f.monoLossDb = std::max(0.0, Db10(power / mid));
    f.rmsDbfs = power > 0.0 ? Db10(power) : -kAnalysisInf;
    f.peakDbfs = std::isnan(m.peak) ? kAnalysisNan : Db20(m.peak);
    f.crestDb =
        std::isnan(m.peak) || power <= 0.0 ? kAnalysisNan : 2.0 * Db10(m.peak / std::sqrt(power));
    return f;
}

bool MomentsAgree(const StereoMoments& a, const StereoMoments& b, double quantum,
                  std::string* differences) {
    differences->clear();
    auto note = [differences](const std::string& text) {
        *differences += (differences->empty() ? "" : ", ") + text;
    };
    if (a.frames != b.frames) {
        note(std::to_string(static_cast<uint64_t>(b.frames)) + " frames instead of " +
             std::to_string(static_cast<uint64_t>(a.frames)));
        return false;
    }
    // Per-sample errors of at most `quantum` move an RMS by at most `quantum` (the triangle
    // inequality); single precision adds its relative rounding of each sample, which a
    // fold-down that cancels does not share, so it is taken of the signal's level.
    constexpr double kRelative = 1e-6;
    const double n = a.frames > 0.0 ? a.frames : 1.0;
    auto rms = [n](double sum) { return std::sqrt(std::max(0.0, sum) / n); };
    const double level = std::max(rms(a.sumLL + a.sumRR), rms(b.sumLL + b.sumRR));
    auto close = [&](double x, double y, double scale) {
        return std::fabs(x - y) <= quantum + kRelative * scale + 1e-300;
    };
    if (!close(rms(a.sumLL + a.sumRR), rms(b.sumLL + b.sumRR), level)) note("RMS");
    if (!close(rms(a.sumMid) / 2, rms(b.sumMid) / 2, level)) note("mono fold-down");
    if (!std::isnan(a.peak) && !close(a.peak, b.peak, a.peak)) note("peak");
    const SignalFigures fa = FiguresOf(a), fb = FiguresOf(b);
    const double sigma = std::min(rms(a.sumLL), rms(a.sumRR));
    if (!std::isnan(fa.correlation) && !std::isnan(fb.correlation) && sigma > 0.0) {
        // Each channel moves by at most its error's RMS, the correlation by about twice that
        // relative to the quieter channel.
        const double allowed = 4.0 * (quantum + kRelative * level) / sigma + 1e-9;
        if (std::fabs(fa.correlation - fb.correlation) > allowed) note("correlation");
    }
    return differences->empty();
}
