// The phase analysis: passes of the engine's processor over the input, the exact curves from
// the sums of the quadrature pair, and the bounded search for peaks.
#include "host/PhaseAnalysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Coefficients.h"
#include "engine/PhaseProcessor.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The block processor's input offset, added as it adds it (in single precision on that path).
constexpr float kInputOffset = 1e-30f;
// Ratios beyond 200 dB are off the scale: a fold-down that far down has cancelled.
constexpr double kOffScale = 1e-20;
// Costs closer than this are the same to the search within one case: the smaller angle wins.
constexpr double kTieCost = 1e-9;
// Between cases an improvement must be audible in the figures to be worth another mode or the
// FIR filter's latency.
constexpr double kCaseMarginDb = 0.01;
constexpr double kCaseMarginCorrelation = 0.001;

constexpr size_t kBlockFrames = 4096;
// The peak search evaluates every 10th degree, then the candidates among every 5th, then the
// rest: each level's peaks tighten the bounds that rule out the next level's angles.
constexpr int kGridStep = 10;
constexpr int kRefineSteps[] = {5, 1};

double Db10(double ratio) {
    return 10.0 * std::log10(ratio);
}

// The output as the plug-in's mode matrix and gains make it from u and q = t cos + v sin:
// left = lu u + lq q, right = ru u + rq q.
struct MixForm {
    double lu, lq, ru, rq;
};

MixForm MixFormOf(const Coefficients& c) {
    // The mode's P and Q as (u, q) pairs, then m = (P + Q) mid, s = (P - Q) side, m +- s.
    double pu = 0.5, pq = 0.5, qu = 0.5, qq = -0.5;  // MS phase and CS encode
    if (c.mode == Mode::kLrPhase) {
        pu = 1.0, pq = 0.0, qu = 0.0, qq = 1.0;
    } else if (c.mode == Mode::kScEncode) {
        qu = -0.5, qq = 0.5;
    }
    const double mu = (pu + qu) * c.midGain, mq = (pq + qq) * c.midGain;
    const double su = (pu - qu) * c.sideGain, sq = (pq - qq) * c.sideGain;
    return {mu + su, mq + sq, mu - su, mq - sq};
}

// The processor's rotation, mode matrix and gains, the same expressions in the same order as
// its output stage, so the samples are the plug-in's to the last bit.
inline void Mix(double u, double t, double v, const Coefficients& c, double* left, double* right) {
    const double q = t * c.cosPhase + v * c.sinPhase;
    double p, r;
    switch (c.mode) {
        case Mode::kLrPhase:
            p = u;
            r = q;
            break;
        case Mode::kScEncode:
            p = (q + u) / 2;
            r = (q - u) / 2;
            break;
        case Mode::kMsPhase:
        case Mode::kCsEncode:
        default:
            p = (q + u) / 2;
            r = (u - q) / 2;
            break;
    }
    const double m = (p + r) * c.midGain;
    const double s = (p - r) * c.sideGain;
    *left = m + s;
    *right = m - s;
}

// Frame count, sums of (u, t, v) and of their products.
struct QuadratureSums {
    double frames = 0.0;
    double sum[3] = {};
    double product[3][3] = {};  // symmetric; the upper triangle is kept

    void Add(const QuadratureSums& o) {
        frames += o.frames;
        for (int i = 0; i < 3; ++i) {
            sum[i] += o.sum[i];
            for (int j = i; j < 3; ++j) product[i][j] += o.product[i][j];
        }
    }
    double Product(int i, int j) const { return i <= j ? product[i][j] : product[j][i]; }
    double Form(const double (&a)[3], const double (&b)[3]) const {
        double total = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) total += a[i] * Product(i, j) * b[j];
        return total;
    }
};

// The output's moments at the coefficients' angle, from the sums alone (peak unknown).
StereoMoments MomentsAt(const QuadratureSums& s, const Coefficients& c) {
    const MixForm f = MixFormOf(c);
    const double wl[3] = {f.lu, f.lq * c.cosPhase, f.lq * c.sinPhase};
    const double wr[3] = {f.ru, f.rq * c.cosPhase, f.rq * c.sinPhase};
    StereoMoments m;
    m.frames = s.frames;
    for (int i = 0; i < 3; ++i) {
        m.sumL += wl[i] * s.sum[i];
        m.sumR += wr[i] * s.sum[i];
    }
    m.sumLL = s.Form(wl, wl);
    m.sumRR = s.Form(wr, wr);
    m.sumLR = s.Form(wl, wr);
    m.peak = kNan;
    return m;
}

// The quadrature pair of one frame.
struct Frame {
    double u, t, v;
};

// An angle whose output peak a pass computes, channel by channel, with the frames where each
// channel's peak lies.
struct Probe {
    int phase;
    Coefficients coefficients;
    double peak[2];
    Frame witness[2];
    double Peak() const { return std::max(peak[0], peak[1]); }
};

// One case while the passes run: three processors that give u, t and v exactly. Each runs the
// plug-in's arithmetic in LR phase on an input and coefficients that leave one of them alone in
// an output: (a, 0) at cos = sin = 0 gives left = u; (0, b) at cos 1 gives right = t, at sin 1
// right = v. The mode's input matrix is applied here, as the processor applies it.
struct CaseRun {
    AnalysisCase* out = nullptr;
    bool ms = false;
    bool fir = false;
    int latency = 0;
    CPhaseProcessor procU, procT, procV;
    QuadratureSums sums;
    std::vector<Probe> probes;
    std::vector<Frame> witnesses;  // the frames of the peaks found so far
    // By phase + 180: each channel's peak where a probe found it (NaN elsewhere), and the RMS
    // of both channels from the sums.
    std::vector<double> peaks[2];
    std::vector<double> rms;
    std::vector<double> scope[3];               // u, t, v at the scope's frames
    std::vector<double> inputs[3], outputs[3];  // the three processors' interleaved blocks

    void Reset() {
        procU.Reset();
        procT.Reset();
        procV.Reset();
        sums = QuadratureSums();
        for (Probe& probe : probes) probe.peak[0] = probe.peak[1] = 0.0;
        for (std::vector<double>& points : scope) points.clear();
    }
};

Coefficients Extractor(double cosPhase, double sinPhase) {
    Coefficients c;
    c.cosPhase = cosPhase;
    c.sinPhase = sinPhase;
    c.mode = Mode::kLrPhase;
    c.midGain = 0.5;
    c.sideGain = 0.5;
    return c;
}

void ProcessExtractor(CPhaseProcessor& processor, const Coefficients& c, bool fir, const double* in,
                      double* out, size_t frames) {
    PhaseBlock block = {};
    block.frames = static_cast<int>(frames);
    block.stereoIn = true;
    block.fir = fir;
    block.meterPre = false;
    block.coefficients = c;
    block.phaseDecay = 0.9999;
    block.phaseRise = 1.0 - 0.9999;
    processor.ProcessDouble(block, in, out);
}

// Processor frames [first, first + count) of one case. inL and inR hold the inputs as the
// processor reads them, offset included (the offset alone after the end: the renderer flushes
// the FIR filter with silence). Output frame j = processor frame - latency. single: the plug-in
// runs the single-precision path, whose FIR filter takes its input rounded to float.
void RunBlock(CaseRun& run, bool single, const double* inL, const double* inR, uint64_t first,
              size_t count, uint64_t frames, uint64_t stride) {
    static const Coefficients kOnlyU = Extractor(0.0, 0.0);  // left = u
    static const Coefficients kOnlyT = Extractor(1.0, 0.0);  // right = t with a silent first input
    static const Coefficients kOnlyV = Extractor(0.0, 1.0);  // right = v likewise
    const uint64_t end = frames + static_cast<uint64_t>(run.latency);
    const size_t n = first >= end ? 0 : static_cast<size_t>(std::min<uint64_t>(count, end - first));
    if (n == 0) return;
    // The processor adds the offset to what it reads: it is taken off here, which gives back
    // the intended value exactly for silence and for any sample above about 1e-14.
    const double offset = static_cast<double>(kInputOffset);
    for (std::vector<double>& buffer : run.inputs) buffer.resize(2 * n);
    for (std::vector<double>& buffer : run.outputs) buffer.resize(2 * n);
    for (size_t k = 0; k < n; ++k) {
        double a = inL[k], b = inR[k];
        if (run.ms) {  // the processor's input matrix in MS phase
            a = inL[k] + inR[k];
            b = inL[k] - inR[k];
        }
        const double firB = single && run.fir ? static_cast<double>(static_cast<float>(b)) : b;
        run.inputs[0][2 * k] = a - offset;
        run.inputs[0][2 * k + 1] = -offset;
        run.inputs[1][2 * k] = -offset;
        run.inputs[1][2 * k + 1] = b - offset;
        run.inputs[2][2 * k] = -offset;
        run.inputs[2][2 * k + 1] = firB - offset;
    }
    ProcessExtractor(run.procU, kOnlyU, run.fir, run.inputs[0].data(), run.outputs[0].data(), n);
    ProcessExtractor(run.procT, kOnlyT, run.fir, run.inputs[1].data(), run.outputs[1].data(), n);
    ProcessExtractor(run.procV, kOnlyV, run.fir, run.inputs[2].data(), run.outputs[2].data(), n);

    QuadratureSums block;
    for (size_t k = 0; k < n; ++k) {
        const uint64_t i = first + k;
        if (i < static_cast<uint64_t>(run.latency)) continue;
        const double u = run.outputs[0][2 * k], t = run.outputs[1][2 * k + 1],
                     v = run.outputs[2][2 * k + 1];
        const uint64_t j = i - run.latency;
        const double x[3] = {u, t, v};
        block.frames += 1.0;
        for (int r = 0; r < 3; ++r) {
            block.sum[r] += x[r];
            for (int c = r; c < 3; ++c) block.product[r][c] += x[r] * x[c];
        }
        for (Probe& probe : run.probes) {
            double left, right;
            Mix(u, t, v, probe.coefficients, &left, &right);
            if (std::fabs(left) > probe.peak[0]) {
                probe.peak[0] = std::fabs(left);
                probe.witness[0] = {u, t, v};
            }
            if (std::fabs(right) > probe.peak[1]) {
                probe.peak[1] = std::fabs(right);
                probe.witness[1] = {u, t, v};
            }
        }
        if (j % stride == 0)
            for (int r = 0; r < 3; ++r) run.scope[r].push_back(x[r]);
    }
    run.sums.Add(block);
}

// One pass over the source for every case. The input's moments and scope go to the result.
bool RunPass(IAnalysisSource& source, std::vector<CaseRun>& runs, uint64_t stride,
             PhaseAnalysisResult* result, std::string* error) {
    if (!source.Rewind()) {
        *error = source.Error();
        return false;
    }
    for (CaseRun& run : runs) run.Reset();
    const bool single = source.SinglePrecision();
    int flush = 0;
    for (const CaseRun& run : runs) flush = std::max(flush, run.latency);

    std::vector<double> rawL(kBlockFrames), rawR(kBlockFrames);
    std::vector<double> inL(kBlockFrames), inR(kBlockFrames);
    CStereoMeter meter;
    result->inputScope[0].clear();
    result->inputScope[1].clear();
    uint64_t frames = 0;
    bool ended = false;
    while (!ended) {
        size_t got = source.Read(rawL.data(), rawR.data(), kBlockFrames);
        if (!source.Error().empty()) {
            *error = source.Error();
            return false;
        }
        for (size_t k = 0; k < got; ++k) {
            meter.Add(rawL[k], rawR[k]);
            if ((frames + k) % stride == 0) {
                result->inputScope[0].push_back(rawL[k]);
                result->inputScope[1].push_back(rawR[k]);
            }
            if (single) {
                inL[k] = static_cast<double>(static_cast<float>(rawL[k]) + kInputOffset);
                inR[k] = static_cast<double>(static_cast<float>(rawR[k]) + kInputOffset);
            } else {
                inL[k] = rawL[k] + static_cast<double>(kInputOffset);
                inR[k] = rawR[k] + static_cast<double>(kInputOffset);
            }
        }
        uint64_t total = frames + got;  // the frame count once the input has ended
        if (got < kBlockFrames) {
            ended = true;
            // The renderer flushes the FIR filter with silence, which gets the offset too.
            const double silence = single ? static_cast<double>(0.0f + kInputOffset)
                                          : static_cast<double>(kInputOffset);
            const size_t padded = std::min(kBlockFrames, got + static_cast<size_t>(flush));
            for (size_t k = got; k < padded; ++k) inL[k] = inR[k] = silence;
            for (CaseRun& run : runs) {
                RunBlock(run, single, inL.data(), inR.data(), frames, padded, total, stride);
            }
            // A flush that did not fit in this block's tail gets a block of its own.
            if (padded - got < static_cast<size_t>(flush)) {
                for (size_t k = 0; k < static_cast<size_t>(flush); ++k) inL[k] = inR[k] = silence;
                for (CaseRun& run : runs) {
                    RunBlock(run, single, inL.data(), inR.data(), frames + padded, flush, total,
                             stride);
                }
            }
        } else {
            // Not the end: every frame of the block is an input frame of every case.
            total = ~uint64_t{0} / 2;
            for (CaseRun& run : runs) {
                RunBlock(run, single, inL.data(), inR.data(), frames, got, total, stride);
            }
        }
        frames += got;
    }
    result->frames = frames;
    result->inputMoments = meter.Moments();
    return true;
}

// Whether cost a beats cost b at phases pa and pb within one case: clearly lower, or as low
// and nearer 0 (the positive one of a pair).
bool BetterAngle(double a, int pa, double b, int pb) {
    if (std::isnan(b)) return !std::isnan(a);
    if (std::isnan(a)) return false;
    if (a != b && (std::isinf(a) || std::isinf(b))) return a < b;
    const double tie = kTieCost * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
    if (a < b - tie) return true;
    if (b < a - tie) return false;
    if (std::abs(pa) != std::abs(pb)) return std::abs(pa) < std::abs(pb);
    return pa > pb;
}

int BestPhase(const AnalysisCase& c, AnalysisObjective objective) {
    int best = 0;
    double bestCost = kNan;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const double cost = ObjectiveCost(objective, c.curve[phase - kAnalysisMinPhase]);
        if (BetterAngle(cost, phase, bestCost, best)) {
            best = phase;
            bestCost = cost;
        }
    }
    return best;
}

Coefficients CoefficientsAt(const AnalysisSettings& settings, const AnalysisCase& c, int phase) {
    return ComputeCoefficients(AnalysisParams(settings, c.mode, c.filter, phase));
}

// The whole degrees whose peak is not known and that could still be best. The output at any
// angle has the frames where earlier probes found their peaks: their samples there, computed as
// the plug-in computes them, bound that angle's peak from below. Angles whose bound (over the
// exact RMS for crest) is below the best known value are candidates, and so are those that could
// tie it and would win the tie by being nearer 0.
std::vector<int> PeakCandidates(const CaseRun& run, const AnalysisSettings& settings) {
    const bool crest = settings.objective == AnalysisObjective::kCrest;
    auto cost = [&](size_t index, double peak) {
        const double r = run.rms[index];
        return crest ? (r > 0.0 ? peak / r : kInf) : peak;
    };
    double best = kInf;
    int bestPhase = 0;
    for (size_t i = 0; i < run.peaks[0].size(); ++i) {
        if (std::isnan(run.peaks[0][i])) continue;
        const double value = cost(i, std::max(run.peaks[0][i], run.peaks[1][i]));
        const int phase = static_cast<int>(i) + kAnalysisMinPhase;
        if (BetterAngle(value, phase, best, bestPhase)) {
            best = value;
            bestPhase = phase;
        }
    }
    std::vector<int> candidates;
    for (size_t i = 0; i < run.peaks[0].size(); ++i) {
        if (!std::isnan(run.peaks[0][i])) continue;
        const int phase = static_cast<int>(i) + kAnalysisMinPhase;
        const Coefficients c = CoefficientsAt(settings, *run.out, phase);
        double bound = 0.0;
        for (const Frame& f : run.witnesses) {
            double left, right;
            Mix(f.u, f.t, f.v, c, &left, &right);
            bound = std::max(bound, std::max(std::fabs(left), std::fabs(right)));
        }
        const double lowest = cost(i, bound);
        const bool winsTie = std::abs(phase) < std::abs(bestPhase) ||
                             (std::abs(phase) == std::abs(bestPhase) && phase > bestPhase);
        if (lowest < best || (winsTie && lowest <= best)) candidates.push_back(phase);
    }
    return candidates;
}

void SetProbes(CaseRun& run, const AnalysisSettings& settings, const std::vector<int>& phases) {
    run.probes.clear();
    for (int phase : phases)
        run.probes.push_back({phase, CoefficientsAt(settings, *run.out, phase), {0.0, 0.0}, {}});
}

// Writes the probes' peaks into the case's curve (crest = peak over RMS, as FiguresOf).
void StorePeaks(CaseRun& run) {
    AnalysisCase& c = *run.out;
    for (const Probe& probe : run.probes) {
        SignalFigures& f = c.curve[probe.phase - kAnalysisMinPhase];
        const double peak = probe.Peak();
        run.peaks[0][probe.phase - kAnalysisMinPhase] = probe.peak[0];
        run.peaks[1][probe.phase - kAnalysisMinPhase] = probe.peak[1];
        run.witnesses.push_back(probe.witness[0]);
        run.witnesses.push_back(probe.witness[1]);
        f.peakDbfs = peak > 0.0 ? 20.0 * std::log10(peak) : -kInf;
        f.crestDb = std::isfinite(f.rmsDbfs) ? f.peakDbfs - f.rmsDbfs : kNan;
        ++c.peakEvaluations;
    }
}

}  // namespace

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

void CStereoMeter::Add(double left, double right) {
    m_block.frames += 1.0;
    m_block.sumL += left;
    m_block.sumR += right;
    m_block.sumLL += left * left;
    m_block.sumRR += right * right;
    m_block.sumLR += left * right;
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

StereoMoments CStereoMeter::Moments() const {
    StereoMoments m = m_total;
    m.frames += m_block.frames;
    m.sumL += m_block.sumL;
    m.sumR += m_block.sumR;
    m.sumLL += m_block.sumLL;
    m.sumRR += m_block.sumRR;
    m.sumLR += m_block.sumLR;
    return m;
}

double StereoPower(const StereoMoments& m) {
    return m.frames > 0.0 ? (m.sumLL + m.sumRR) / (2.0 * m.frames) : 0.0;
}

SignalFigures FiguresOf(const StereoMoments& m, double referencePower) {
    SignalFigures f;
    const double n = m.frames > 0.0 ? m.frames : 1.0;
    const double power = StereoPower(m);
    const double floor = kOffScale * std::max(power, referencePower);
    const double mid = (m.sumLL + m.sumRR + 2.0 * m.sumLR) / (4.0 * n);
    const double side = std::max(0.0, (m.sumLL + m.sumRR - 2.0 * m.sumLR) / (4.0 * n));

    const double varL = m.sumLL / n - (m.sumL / n) * (m.sumL / n);
    const double varR = m.sumRR / n - (m.sumR / n) * (m.sumR / n);
    const double cov = m.sumLR / n - (m.sumL / n) * (m.sumR / n);
    f.correlation = varL > floor && varR > floor && floor > 0.0
                        ? std::max(-1.0, std::min(1.0, cov / std::sqrt(varL * varR)))
                        : kNan;
    if (power <= 0.0)
        f.midSideDb = kNan;
    else if (side <= floor)
        f.midSideDb = kInf;
    else if (mid <= floor)
        f.midSideDb = -kInf;
    else
        f.midSideDb = Db10(mid / side);
    if (referencePower <= 0.0)
        f.monoLossDb = kNan;
    else if (mid <= kOffScale * referencePower)
        f.monoLossDb = kInf;
    else
        f.monoLossDb = Db10(referencePower / mid);
    f.rmsDbfs = power > 0.0 ? Db10(power) : -kInf;
    f.peakDbfs = std::isnan(m.peak) ? kNan : m.peak > 0.0 ? 2.0 * Db10(m.peak) : -kInf;
    f.crestDb = std::isnan(m.peak) || power <= 0.0 ? kNan : 2.0 * Db10(m.peak / std::sqrt(power));
    return f;
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
    return kNan;
}

double ObjectiveCost(AnalysisObjective objective, const SignalFigures& f) {
    const AnalysisMetric metric = static_cast<AnalysisMetric>(objective);
    const double value = MetricValue(metric, f);
    if (std::isnan(value)) return kInf;
    return metric == AnalysisMetric::kCorrelation ? -value : value;
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
    if (!close(rms(a.sumLL + a.sumRR + 2 * a.sumLR) / 2, rms(b.sumLL + b.sumRR + 2 * b.sumLR) / 2,
               level))
        note("mono fold-down");
    if (!std::isnan(a.peak) && !close(a.peak, b.peak, a.peak)) note("peak");
    const SignalFigures fa = FiguresOf(a, StereoPower(a)), fb = FiguresOf(b, StereoPower(b));
    const double sigma = std::min(rms(a.sumLL), rms(a.sumRR));
    if (!std::isnan(fa.correlation) && !std::isnan(fb.correlation) && sigma > 0.0) {
        // Each channel moves by at most its error's RMS, the correlation by about twice that
        // relative to the quieter channel.
        const double allowed = 4.0 * (quantum + kRelative * level) / sigma + 1e-9;
        if (std::fabs(fa.correlation - fb.correlation) > allowed) note("correlation");
    }
    return differences->empty();
}

ParamValues AnalysisParams(const AnalysisSettings& settings, Mode mode, QuadratureFilter filter,
                           int phase) {
    ParamValues p = kDefaultParams;
    p[kParamPhase] = phase;
    p[kParamWidth] = settings.width;
    p[kParamOutput] = settings.output;
    p[kParamMode] = ParamValueOf(mode);
    p[kParamFilter] = ParamValueOf(filter);
    return p;
}

bool AnalyzePhase(IAnalysisSource& source, const AnalysisSettings& settings,
                  PhaseAnalysisResult* result, std::string* error) {
    *result = PhaseAnalysisResult();
    result->settings = settings;
    result->singlePrecision = source.SinglePrecision();
    const uint64_t expected = source.FrameCount();
    const uint64_t stride = std::max<uint64_t>(
        1, (expected + settings.scopePoints - 1) / std::max<size_t>(1, settings.scopePoints));

    for (Mode mode : {Mode::kLrPhase, Mode::kMsPhase})
        for (QuadratureFilter filter : {QuadratureFilter::kAllpass, QuadratureFilter::kFir})
            if (settings.modes[mode == Mode::kMsPhase] &&
                settings.filters[filter == QuadratureFilter::kFir]) {
                AnalysisCase c;
                c.mode = mode;
                c.filter = filter;
                c.latencyFrames = filter == QuadratureFilter::kFir ? kFirLatencyFrames : 0;
                result->cases.push_back(c);
            }
    if (result->cases.empty()) {
        *error = "nothing to analyse: no mode or no filter chosen";
        return false;
    }
    std::vector<CaseRun> runs(result->cases.size());
    const bool searchPeaks = settings.objective == AnalysisObjective::kPeak ||
                             settings.objective == AnalysisObjective::kCrest;
    std::vector<int> grid;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; phase += kGridStep)
        grid.push_back(phase);
    for (size_t i = 0; i < runs.size(); ++i) {
        runs[i].out = &result->cases[i];
        runs[i].ms = result->cases[i].mode == Mode::kMsPhase;
        runs[i].fir = result->cases[i].filter == QuadratureFilter::kFir;
        runs[i].latency = result->cases[i].latencyFrames;
        runs[i].peaks[0].assign(kAnalysisAngleCount, kNan);
        runs[i].peaks[1].assign(kAnalysisAngleCount, kNan);
        if (searchPeaks) SetProbes(runs[i], settings, grid);
    }

    // Pass 1: the sums, the input's moments and the scope.
    if (!RunPass(source, runs, stride, result, error)) return false;
    if (result->frames == 0) {
        *error = "the input holds no audio frames";
        return false;
    }
    const double reference = StereoPower(result->inputMoments);
    result->input = FiguresOf(result->inputMoments, reference);
    std::vector<std::vector<double>> scopes(runs.size() * 3);
    for (size_t i = 0; i < runs.size(); ++i) {
        CaseRun& run = runs[i];
        AnalysisCase& c = *run.out;
        c.curve.resize(kAnalysisAngleCount);
        run.rms.resize(kAnalysisAngleCount);
        double lowest = kInf, highest = -kInf;
        for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
            const StereoMoments m = MomentsAt(run.sums, CoefficientsAt(settings, c, phase));
            SignalFigures& f = c.curve[phase - kAnalysisMinPhase];
            f = FiguresOf(m, reference);
            run.rms[phase - kAnalysisMinPhase] = std::sqrt(std::max(0.0, StereoPower(m)));
            if (!std::isnan(f.monoLossDb)) {
                lowest = std::min(lowest, f.monoLossDb);
                highest = std::max(highest, f.monoLossDb);
            }
        }
        c.monoLossSpread = highest == lowest || highest < lowest ? 0.0 : highest - lowest;
        StorePeaks(run);
        for (int r = 0; r < 3; ++r) scopes[3 * i + r] = run.scope[r];
    }

    // Further passes: the peak of the best angle, or the peak search's levels.
    PhaseAnalysisResult again;
    if (!searchPeaks) {
        for (CaseRun& run : runs)
            SetProbes(run, settings, {BestPhase(*run.out, settings.objective)});
        if (!RunPass(source, runs, stride, &again, error)) return false;
        for (CaseRun& run : runs) StorePeaks(run);
    }
    const std::vector<int> levels =
        searchPeaks ? std::vector<int>(std::begin(kRefineSteps), std::end(kRefineSteps))
                    : std::vector<int>();
    for (int step : levels) {
        bool any = false;
        for (CaseRun& run : runs) {
            std::vector<int> level;
            for (int phase : PeakCandidates(run, settings))
                if ((phase - kAnalysisMinPhase) % step == 0) level.push_back(phase);
            SetProbes(run, settings, level);
            any |= !level.empty();
        }
        if (!any) continue;
        if (!RunPass(source, runs, stride, &again, error)) return false;
        for (CaseRun& run : runs) StorePeaks(run);
    }
    if (again.frames != 0 && again.frames != result->frames) {
        *error = "the input changed while it was analysed";
        return false;
    }

    double suggestedCost = kNan;
    for (size_t i = 0; i < runs.size(); ++i) {
        CaseRun& run = runs[i];
        AnalysisCase& c = *run.out;
        c.bestPhase = BestPhase(c, settings.objective);
        c.best = c.curve[c.bestPhase - kAnalysisMinPhase];
        c.bestMoments = MomentsAt(run.sums, CoefficientsAt(settings, c, c.bestPhase));
        c.bestMoments.peak = std::max(run.peaks[0][c.bestPhase - kAnalysisMinPhase],
                                      run.peaks[1][c.bestPhase - kAnalysisMinPhase]);

        // Another case must be better by a margin the figures can show.
        const double cost = ObjectiveCost(settings.objective, c.best);
        const double margin = settings.objective == AnalysisObjective::kCorrelation
                                  ? kCaseMarginCorrelation
                                  : kCaseMarginDb;
        if (i == 0 || cost < suggestedCost - margin) {
            result->suggested = i;
            suggestedCost = cost;
        }
    }

    // The suggested output at the scope's frames.
    const size_t s = result->suggested;
    const AnalysisCase& chosen = result->cases[s];
    const Coefficients c = CoefficientsAt(settings, chosen, chosen.bestPhase);
    const size_t points = std::min(scopes[3 * s].size(), result->inputScope[0].size());
    result->inputScope[0].resize(points);
    result->inputScope[1].resize(points);
    for (size_t k = 0; k < points; ++k) {
        double left, right;
        Mix(scopes[3 * s][k], scopes[3 * s + 1][k], scopes[3 * s + 2][k], c, &left, &right);
        result->outputScope[0].push_back(left);
        result->outputScope[1].push_back(right);
    }
    return true;
}
