// The phase analysis: one pass of the engine's quadrature stage over the input, the exact curves
// from the sums of the quadrature pair, and the bounded search for peaks over the frames that
// can hold them.
#include "host/PhaseAnalysis.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>

#include "engine/Coefficients.h"
#include "engine/OutputStage.h"
#include "engine/PhaseKernels.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Ratios beyond 200 dB are off the scale: a fold-down that far down has cancelled.
constexpr double kOffScale = 1e-20;
// Figures closer than this (dB, or correlation) are equal to the choice within one case: the
// differences rounding leaves, such as the 1e-8 dB between angles half a turn apart, decide
// nothing.
constexpr double kTieFigure = 1e-6;
// Between cases an improvement must be audible in the figures to be worth another mode or the
// FIR filter's latency.
constexpr double kCaseMarginDb = 0.01;
constexpr double kCaseMarginCorrelation = 0.001;

// Frames read at once; each block is one hand-over to the second thread.
constexpr size_t kReadFrames = 65536;
// The peak search evaluates every 10th degree, then the candidates among every 5th, then the
// rest: each level's peaks tighten the bounds that rule out the next level's angles.
constexpr int kGridStep = 10;
constexpr int kSearchSteps[] = {kGridStep, 5, 1};
// Angles a case whose frames are not kept evaluates per pass while it looks for the best one
// that does not clip.
constexpr size_t kProbesPerPass = 8;
// The frames kept for the peak search are pruned when they reach this many, and again each time
// they double; the floor they must reach is raised from the strongest few of them.
constexpr size_t kFirstPrune = 4096;
constexpr size_t kFloorWitnesses = 256;

double Db10(double ratio) {
    return 10.0 * std::log10(ratio);
}

double Db20(double magnitude) {
    return magnitude > 0.0 ? 20.0 * std::log10(magnitude) : -kInf;
}

// The output as the plug-in's mode matrix and gains make it from u and q = t cos + v sin:
// left = lu u + lq q, right = ru u + rq q. The weights are the output stage's own response to u
// alone and to q alone (q is t at angle 0).
struct MixForm {
    double lu, lq, ru, rq;
};

MixForm MixFormOf(Coefficients c) {
    c.cosPhase = 1.0;
    c.sinPhase = 0.0;
    MixForm f;
    OutputStage::MixFrame(1.0, 0.0, 0.0, c, &f.lu, &f.ru);
    OutputStage::MixFrame(0.0, 1.0, 0.0, c, &f.lq, &f.rq);
    return f;
}

// The plug-in's output samples from the quadrature pair, to the last bit.
inline void Mix(double u, double t, double v, const Coefficients& c, double* left, double* right) {
    OutputStage::MixFrame(u, t, v, c, left, right);
}

// The frame count and the sums of u, t, v and of their products; also the energies of u + t
// and of u - t. Near phase 0 or 180 a fold-down (or difference) that all but cancels is then a
// small sum of its own in the basis (u + t, t, v) or (u - t, t, v), rather than the difference
// of large ones; the basis's other sums (of u + t or u - t times t and v) enter it only with
// weights that vanish there, so they may be taken from the plain products.
struct QuadratureSums {
    double frames = 0.0;
    double sum[3] = {};
    double product[3][3] = {};  // symmetric; the upper triangle is kept
    double plus = 0.0;          // the sum of (u + t)^2
    double minus = 0.0;         // the sum of (u - t)^2

    void Add(const QuadratureSums& o) {
        frames += o.frames;
        plus += o.plus;
        minus += o.minus;
        for (int i = 0; i < 3; ++i) {
            sum[i] += o.sum[i];
            for (int j = i; j < 3; ++j) product[i][j] += o.product[i][j];
        }
    }
    double Product(int i, int j) const { return i <= j ? product[i][j] : product[j][i]; }
    // The sum over the frames of (a . x)(b . x), x = (u, t, v).
    double Cross(const double (&a)[3], const double (&b)[3]) const {
        double total = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) total += a[i] * Product(i, j) * b[j];
        return total;
    }
    // The sum of (w . x)^2, in the basis where w's weights are smallest: with u = y - t the
    // weights on (y, t, v) are (w0, w1 - w0, w2), with u = z + t (w0, w1 + w0, w2).
    double Energy(const double (&w)[3]) const {
        const double plain = std::fabs(w[0]) + std::fabs(w[1]) + std::fabs(w[2]);
        const double onPlus = std::fabs(w[0]) + std::fabs(w[1] - w[0]) + std::fabs(w[2]);
        const double onMinus = std::fabs(w[0]) + std::fabs(w[1] + w[0]) + std::fabs(w[2]);
        if (plain <= onPlus && plain <= onMinus) return std::max(0.0, Cross(w, w));
        const bool usePlus = onPlus <= onMinus;
        const double sign = usePlus ? 1.0 : -1.0;  // the first vector is u + sign t
        const double c[3] = {w[0], w[1] - sign * w[0], w[2]};
        const double withT = Product(0, 1) + sign * Product(1, 1);
        const double withV = Product(0, 2) + sign * Product(1, 2);
        // The Gram matrix of the basis: its first vector's sums, then t's and v's.
        const double gram[3][3] = {{usePlus ? plus : minus, withT, withV},
                                   {withT, Product(1, 1), Product(1, 2)},
                                   {withV, Product(1, 2), Product(2, 2)}};
        double total = 0.0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) total += c[i] * gram[i][j] * c[j];
        return std::max(0.0, total);
    }
};

// The output's moments at the coefficients' angle, from the sums alone (peak unknown).
StereoMoments MomentsAt(const QuadratureSums& s, const Coefficients& c) {
    const MixForm f = MixFormOf(c);
    const double wl[3] = {f.lu, f.lq * c.cosPhase, f.lq * c.sinPhase};
    const double wr[3] = {f.ru, f.rq * c.cosPhase, f.rq * c.sinPhase};
    const double wm[3] = {wl[0] + wr[0], wl[1] + wr[1], wl[2] + wr[2]};
    const double ws[3] = {wl[0] - wr[0], wl[1] - wr[1], wl[2] - wr[2]};
    StereoMoments m;
    m.frames = s.frames;
    for (int i = 0; i < 3; ++i) {
        m.sumL += wl[i] * s.sum[i];
        m.sumR += wr[i] * s.sum[i];
    }
    m.sumLL = s.Cross(wl, wl);
    m.sumRR = s.Cross(wr, wr);
    m.sumLR = s.Cross(wl, wr);
    m.sumMid = s.Energy(wm);
    m.sumSide = s.Energy(ws);
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
};

// The frames of one case that can hold the output's peak at some angle. A frame's output at any
// angle is at most its bound, |lu| |u| + |lq| r on the left (r the magnitude of (t, v)), and
// likewise on the right; the peak at every angle reaches the floor, the least over the angles
// of the peaks of a few of the frames kept. So a frame whose bound is below the floor is never
// the peak at any angle, and the frames kept give every angle's peak exactly.
struct PeakFrames {
    std::vector<Frame> frames;
    std::vector<double> bounds;
    double floor = 0.0;
    size_t pruneAt = kFirstPrune;
    bool overflowed = false;  // more frames were needed than allowed: the search reads the input
};

// What a pass does with the quadrature pair of each output frame.
enum class PassWork {
    kSums,     // the sums, the frames that can hold a peak, the scope
    kProbes,   // the peaks of the probes' angles
    kClipped,  // the moments of the output at one angle held within full scale
};

// One case while the passes run: the engine's quadrature stage and what is gathered from it.
struct CaseRun {
    AnalysisCase* out = nullptr;
    bool ms = false;
    bool fir = false;
    const SignalKernels* kernels = nullptr;
    std::unique_ptr<PhaseState> state;
    std::vector<Coefficients> angles;  // by phase + 180
    // The magnitudes of the mix form's weights on |u| and r, left and right, each with an
    // allowance for the rounding of the plug-in's arithmetic.
    double boundLeft[2] = {}, boundRight[2] = {};

    QuadratureSums sums;
    PeakFrames peakFrames;
    std::vector<double> scope[3];  // u, t, v at the scope's frames
    // By phase + 180: each channel's peak where a probe found it (NaN elsewhere), and the RMS
    // of both channels from the sums.
    std::vector<double> peaks[2];
    std::vector<double> rms;
    std::vector<Frame> witnesses;  // the frames of the peaks found so far
    std::vector<Probe> probes;
    Coefficients clippedAt;  // kClipped: the angle whose clipped output is measured
    CStereoMeter clipped;
    bool searched = false;  // the non-peak objectives: the best angle is settled

    QuadraturePair pair;     // the chunk's, from the kernel
    uint64_t processed = 0;  // FIR: processor frames this pass
    uint64_t emitted = 0;    // output frames this pass

    bool KeepsFrames() const { return !peakFrames.overflowed; }
    double Bound(double u, double r) const {
        return std::max(boundLeft[0] * std::fabs(u) + boundLeft[1] * r,
                        boundRight[0] * std::fabs(u) + boundRight[1] * r);
    }
    double PeakAt(int phase) const {
        const size_t i = static_cast<size_t>(phase - kAnalysisMinPhase);
        return std::max(peaks[0][i], peaks[1][i]);
    }
    bool Evaluated(int phase) const { return !std::isnan(peaks[0][phase - kAnalysisMinPhase]); }
};

void Quadrature(CaseRun& run, const PhaseBlock& block, const float* in) {
    run.kernels->quadratureFloat(*run.state, block, in, run.pair);
}
void Quadrature(CaseRun& run, const PhaseBlock& block, const double* in) {
    run.kernels->quadratureDouble(*run.state, block, in, run.pair);
}

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
    double floor = kInf;
    for (const Coefficients& c : run.angles) {
        double peak = 0.0;
        for (size_t k = 0; k < witnesses; ++k) {
            const Frame& f = kept.frames[order[k]];
            double left, right;
            Mix(f.u, f.t, f.v, c, &left, &right);
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

// Two frames side by side: the sums' additions run in both lanes at once.
typedef double FramePair __attribute__((vector_size(16)));
typedef int64_t PairMask __attribute__((vector_size(16)));

FramePair LoadPair(const double* p) {
    FramePair x;
    std::memcpy(&x, p, sizeof x);
    return x;
}

double LaneSum(FramePair x) {
    return x[0] + x[1];
}

// The frames of a chunk that may reach the floor. A frame's bound w0 |u| + w1 r is at most
// sqrt(w0^2 + w1^2) times the length of (u, t, v), so the frames (nearly all) whose squared
// length is below `reach` (the floor's square over the larger w0^2 + w1^2 of the two channels)
// cannot; the others are tested exactly, without a square root unless they pass.
struct FloorTest {
    double reach;  // squared length a frame must have to be tested
    double floor;
};

FloorTest FloorTestOf(const CaseRun& run) {
    const double weights =
        std::max(run.boundLeft[0] * run.boundLeft[0] + run.boundLeft[1] * run.boundLeft[1],
                 run.boundRight[0] * run.boundRight[0] + run.boundRight[1] * run.boundRight[1]);
    const double floor = run.peakFrames.floor;
    return {weights > 0.0 ? floor * floor / weights * (1.0 - 1e-9) : kInf, floor};
}

// Whether a frame's bound reaches the floor: w0 |u| + w1 r >= floor when w0 |u| does, or when
// (w1 r)^2 reaches (floor - w0 |u|)^2.
bool ReachesFloor(const CaseRun& run, double u, double t, double v, double floor) {
    const double au = std::fabs(u), r2 = t * t + v * v;
    const double left = floor - run.boundLeft[0] * au, right = floor - run.boundRight[0] * au;
    return left <= 0.0 || right <= 0.0 || run.boundLeft[1] * run.boundLeft[1] * r2 >= left * left ||
           run.boundRight[1] * run.boundRight[1] * r2 >= right * right;
}

// The chunk's sums, even and odd frames in their own lanes, each sum in a register of its own;
// and the frames that may reach the floor (their indices into `found`, their count returned).
// The energies of u + t and u - t only where they are used: MS phase's fold-down and difference
// are u and q alone.
template <bool kAnchors>
int AddChunkSums(QuadratureSums& sums, const double* u, const double* t, const double* v, int count,
                 double reach, int* found) {
    FramePair su = {}, st = {}, sv = {}, uu = {}, ut = {}, uv = {}, tt = {}, tv = {}, vv = {};
    FramePair pp = {}, mm = {};
    const int even = count - count % 2;
    int pairs[kPhaseChunkFrames / 2 + 1];
    int n = 0;
    for (int k = 0; k < even; k += 2) {
        const FramePair a = LoadPair(u + k), b = LoadPair(t + k), c = LoadPair(v + k);
        const FramePair p = a + b, m = a - b;
        const FramePair a2 = a * a, b2 = b * b, c2 = c * c;
        su += a;
        st += b;
        sv += c;
        uu += a2;
        ut += a * b;
        uv += a * c;
        tt += b2;
        tv += b * c;
        vv += c2;
        if (kAnchors) {
            pp += p * p;
            mm += m * m;
        }
        const PairMask near = (a2 + b2 + c2) >= reach;
        pairs[n] = k;
        n += static_cast<int>((near[0] | near[1]) & 1);
    }
    QuadratureSums chunk;
    chunk.frames = count;
    chunk.sum[0] = LaneSum(su);
    chunk.sum[1] = LaneSum(st);
    chunk.sum[2] = LaneSum(sv);
    chunk.product[0][0] = LaneSum(uu);
    chunk.product[0][1] = LaneSum(ut);
    chunk.product[0][2] = LaneSum(uv);
    chunk.product[1][1] = LaneSum(tt);
    chunk.product[1][2] = LaneSum(tv);
    chunk.product[2][2] = LaneSum(vv);
    chunk.plus = LaneSum(pp);
    chunk.minus = LaneSum(mm);
    if (even < count) {
        const double a = u[even], b = t[even], c = v[even], p = a + b, m = a - b;
        chunk.sum[0] += a;
        chunk.sum[1] += b;
        chunk.sum[2] += c;
        chunk.product[0][0] += a * a;
        chunk.product[0][1] += a * b;
        chunk.product[0][2] += a * c;
        chunk.product[1][1] += b * b;
        chunk.product[1][2] += b * c;
        chunk.product[2][2] += c * c;
        chunk.plus += p * p;
        chunk.minus += m * m;
        pairs[n++] = even;
    }
    sums.Add(chunk);
    // Pairs to frames, each frame tested exactly.
    int kept = 0;
    for (int i = 0; i < n; ++i)
        for (int k = pairs[i]; k < pairs[i] + 2 && k < count; ++k) found[kept++] = k;
    return kept;
}

// kSums for output frames [run.emitted, + count).
void GatherSums(CaseRun& run, const double* u, const double* t, const double* v, int count,
                uint64_t stride, size_t limit) {
    PeakFrames& kept = run.peakFrames;
    const FloorTest test = FloorTestOf(run);
    int found[kPhaseChunkFrames];
    const double reach = kept.overflowed ? kInf : test.reach;
    const int n = run.ms ? AddChunkSums<false>(run.sums, u, t, v, count, reach, found)
                         : AddChunkSums<true>(run.sums, u, t, v, count, reach, found);
    if (!kept.overflowed) {
        for (int i = 0; i < n; ++i) {
            const int k = found[i];
            if (!ReachesFloor(run, u[k], t[k], v[k], test.floor)) continue;
            kept.frames.push_back({u[k], t[k], v[k]});
            kept.bounds.push_back(run.Bound(u[k], std::sqrt(t[k] * t[k] + v[k] * v[k])));
        }
        if (kept.frames.size() >= kept.pruneAt) RaiseFloor(run, limit);
    }
    for (uint64_t k = (stride - run.emitted % stride) % stride; k < static_cast<uint64_t>(count);
         k += stride) {
        run.scope[0].push_back(u[k]);
        run.scope[1].push_back(t[k]);
        run.scope[2].push_back(v[k]);
    }
}

void ProbeFrame(std::vector<Probe>& probes, const Frame& f) {
    for (Probe& probe : probes) {
        double left, right;
        Mix(f.u, f.t, f.v, probe.coefficients, &left, &right);
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

// kProbes: only frames whose bound reaches the floor can hold a peak.
void GatherPeaks(CaseRun& run, const double* u, const double* t, const double* v, int count) {
    const FloorTest test = FloorTestOf(run);
    for (int k = 0; k < count; ++k)
        if (u[k] * u[k] + t[k] * t[k] + v[k] * v[k] >= test.reach &&
            ReachesFloor(run, u[k], t[k], v[k], test.floor))
            ProbeFrame(run.probes, {u[k], t[k], v[k]});
}

// kClipped: the output as an integer file holds it.
void GatherClipped(CaseRun& run, const double* u, const double* t, const double* v, int count) {
    for (int k = 0; k < count; ++k) {
        double left, right;
        Mix(u[k], t[k], v[k], run.clippedAt, &left, &right);
        run.clipped.Add(std::max(-1.0, std::min(1.0, left)), std::max(-1.0, std::min(1.0, right)));
    }
}

struct PassContext {
    PassWork work;
    uint64_t stride;
    size_t limit;
};

// A block of the plug-in's input: interleaved stereo in its working precision.
template <typename Sample>
struct Block {
    const Sample* in;
    int frames;
};

// Output frames' quadrature pairs to the pass's work, a chunk at a time.
void Gather(CaseRun& run, const double* u, const double* t, const double* v, int count,
            const PassContext& pass) {
    for (int done = 0; done < count;) {
        const int n = std::min(kPhaseChunkFrames, count - done);
        switch (pass.work) {
            case PassWork::kSums:
                GatherSums(run, u + done, t + done, v + done, n, pass.stride, pass.limit);
                break;
            case PassWork::kProbes:
                GatherPeaks(run, u + done, t + done, v + done, n);
                break;
            case PassWork::kClipped:
                GatherClipped(run, u + done, t + done, v + done, n);
                break;
        }
        run.emitted += n;
        done += n;
    }
}

// The kernel's description of a chunk: the case's filter, and its mode for the input matrix.
PhaseBlock KernelBlock(int frames, bool fir, const Coefficients& coefficients) {
    PhaseBlock block = {};
    block.frames = frames;
    block.stereoIn = true;
    block.fir = fir;
    block.coefficients = coefficients;
    return block;
}

// A block through one case's quadrature stage: the plug-in's samples through the kernel in the
// case's mode, a chunk per call, as the processor takes them. The FIR filter's first 63 outputs
// are the latency the renderer drops.
template <typename Sample>
void Feed(CaseRun& run, const Block<Sample>& in, const PassContext& pass) {
    for (int done = 0; done < in.frames;) {
        const int n = std::min(kPhaseChunkFrames, in.frames - done);
        Quadrature(run, KernelBlock(n, run.fir, run.angles.front()), in.in + 2 * done);
        const QuadraturePair& p = run.pair;
        if (!run.fir) {
            Gather(run, p.u, p.t, p.v, n, pass);
        } else {
            const uint64_t early =
                run.processed < kFirLatencyFrames ? kFirLatencyFrames - run.processed : 0;
            const int skip = static_cast<int>(std::min<uint64_t>(n, early));
            Gather(run, p.u + skip, p.t + skip, p.v + skip, n - skip, pass);
            run.processed += n;
        }
        done += n;
    }
}

void StartPass(CaseRun& run, PassWork work) {
    std::memset(run.state.get(), 0, sizeof(PhaseState));
    run.processed = 0;
    run.emitted = 0;
    if (work == PassWork::kSums) {
        run.sums = QuadratureSums();
        for (std::vector<double>& points : run.scope) points.clear();
    }
    if (work == PassWork::kProbes)
        for (Probe& probe : run.probes) probe.peak[0] = probe.peak[1] = 0.0;
    if (work == PassWork::kClipped) run.clipped = CStereoMeter();
}

// A thread that runs one job at a time for a pass.
class CCaseWorker {
public:
    CCaseWorker() : m_thread([this] { Serve(); }) {}
    ~CCaseWorker() {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    CCaseWorker(const CCaseWorker&) = delete;
    CCaseWorker& operator=(const CCaseWorker&) = delete;

    // Runs job on the worker; Wait() returns once it has finished.
    void Start(std::function<void()> job) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_job = std::move(job);
            m_busy = true;
        }
        m_changed.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [this] { return !m_busy; });
    }

private:
    void Serve() {
        std::unique_lock<std::mutex> hold(m_lock);
        for (;;) {
            m_changed.wait(hold, [this] { return m_busy || m_quit; });
            if (!m_busy) return;
            hold.unlock();
            m_job();
            hold.lock();
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::function<void()> m_job;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread;  // last: it starts serving once the rest is ready
};

// The cases of a pass on as many threads as there are processors (the calling thread one of
// them): they share nothing but the input block, so they run side by side, each in the order
// of its frames, with the same results as one after the other.
class CCaseLanes {
public:
    explicit CCaseLanes(size_t cases) {
        const size_t processors = std::max(1u, std::thread::hardware_concurrency());
        const size_t lanes = std::max<size_t>(1, std::min(cases, processors));
        for (size_t i = 1; i < lanes; ++i) m_workers.emplace_back(new CCaseWorker());
    }

    // Every case through `feed`. Case i runs on lane i, then back again (0 1 1 0 with two
    // lanes), so each lane gets an all-pass and a FIR case of the usual four.
    template <typename Feeder>
    void FeedAll(const std::vector<CaseRun*>& runs, Feeder feed) {
        const size_t lanes = m_workers.size() + 1;
        auto lane = [&runs, &feed, lanes](size_t which) {
            for (size_t i = 0; i < runs.size(); ++i) {
                const size_t turn = i % (2 * lanes);
                if ((turn < lanes ? turn : 2 * lanes - 1 - turn) == which) feed(*runs[i]);
            }
        };
        for (size_t i = 0; i < m_workers.size(); ++i)
            m_workers[i]->Start([&lane, i] { lane(i + 1); });
        lane(0);
        for (const std::unique_ptr<CCaseWorker>& worker : m_workers) worker->Wait();
    }

private:
    std::vector<std::unique_ptr<CCaseWorker>> m_workers;
};

// The source read a block ahead on a thread of its own, so that reading, converting and
// measuring the input overlap the cases' work on the block before. With `measure` it also takes
// the input's moments and its scope.
template <typename Sample>
class CPassInput {
public:
    CPassInput(IAnalysisSource& source, bool measure, uint64_t stride, PhaseAnalysisResult* result)
        : m_source(source), m_measure(measure), m_stride(stride), m_result(result) {
        ReadInto(m_blocks[0]);
        ReadAhead();
    }
    ~CPassInput() { m_reader.Wait(); }
    CPassInput(const CPassInput&) = delete;
    CPassInput& operator=(const CPassInput&) = delete;

    // The block to feed now; its frame count is 0 at the end of the input.
    Block<Sample> Current() const {
        const Buffer& b = m_blocks[m_current];
        return {b.in.data(), static_cast<int>(b.frames)};
    }
    // The block after the current one; false at the end, or when reading failed (Error()).
    bool Next() {
        if (!m_reading) return false;
        m_reader.Wait();
        m_reading = false;
        m_current ^= 1;
        if (!m_error.empty()) return false;
        ReadAhead();
        return true;
    }
    const std::string& Error() const { return m_error; }
    uint64_t Frames() const { return m_frames; }
    const CStereoMeter& Meter() const { return m_meter; }

private:
    struct Buffer {
        std::vector<double> left = std::vector<double>(kReadFrames);
        std::vector<double> right = std::vector<double>(kReadFrames);
        std::vector<Sample> in = std::vector<Sample>(2 * kReadFrames);
        size_t frames = 0;
    };

    // The block after the current one, on the reader, when the current one was whole.
    void ReadAhead() {
        if (!m_error.empty() || m_blocks[m_current].frames < kReadFrames) return;
        Buffer* next = &m_blocks[m_current ^ 1];
        m_reading = true;
        m_reader.Start([this, next] { ReadInto(*next); });
    }

    void ReadInto(Buffer& b) {
        b.frames = m_source.Read(b.left.data(), b.right.data(), kReadFrames);
        if (!m_source.Error().empty()) {
            m_error = m_source.Error();
            b.frames = 0;
            return;
        }
        for (size_t k = 0; k < b.frames; ++k) {
            b.in[2 * k] = static_cast<Sample>(b.left[k]);
            b.in[2 * k + 1] = static_cast<Sample>(b.right[k]);
        }
        if (m_measure) {
            m_meter.AddFrames(b.left.data(), b.right.data(), b.frames);
            for (uint64_t k = (m_stride - m_frames % m_stride) % m_stride; k < b.frames;
                 k += m_stride) {
                m_result->inputScope[0].push_back(b.left[k]);
                m_result->inputScope[1].push_back(b.right[k]);
            }
        }
        m_frames += b.frames;
    }

    IAnalysisSource& m_source;
    const bool m_measure;
    const uint64_t m_stride;
    PhaseAnalysisResult* m_result;
    Buffer m_blocks[2];
    int m_current = 0;
    bool m_reading = false;  // the reader is filling the other buffer
    uint64_t m_frames = 0;
    CStereoMeter m_meter;
    std::string m_error;
    CCaseWorker m_reader;  // last, so it is stopped first, before the buffers it fills go
};

// One pass over the source for the given cases, in the plug-in's working precision. kSums also
// measures the input and takes its scope into the result.
template <typename Sample>
bool RunPassAs(IAnalysisSource& source, const std::vector<CaseRun*>& runs, const PassContext& pass,
               PhaseAnalysisResult* result, std::string* error) {
    if (!source.Rewind()) {
        *error = source.Error();
        return false;
    }
    ++result->passes;
    for (CaseRun* run : runs) StartPass(*run, pass.work);
    const bool sums = pass.work == PassWork::kSums;
    if (sums) {
        result->inputScope[0].clear();
        result->inputScope[1].clear();
    }
    CCaseLanes lanes(runs.size());
    CPassInput<Sample> input(source, sums, pass.stride, result);
    do {
        const Block<Sample> block = input.Current();
        lanes.FeedAll(runs, [&](CaseRun& run) { Feed(run, block, pass); });
    } while (input.Next());
    if (!input.Error().empty()) {
        *error = input.Error();
        return false;
    }
    // The renderer flushes the FIR filter's latency with silence.
    const std::vector<Sample> silence(2 * kFirLatencyFrames, Sample(0));
    const Block<Sample> flush = {silence.data(), kFirLatencyFrames};
    lanes.FeedAll(runs, [&](CaseRun& run) {
        if (run.fir) Feed(run, flush, pass);
    });
    if (sums) {
        result->frames = input.Frames();
        result->inputMoments = input.Meter().Moments();
    } else if (input.Frames() != result->frames) {
        *error = "the input changed while it was analysed";
        return false;
    }
    return true;
}

bool RunPass(IAnalysisSource& source, const std::vector<CaseRun*>& runs, const PassContext& pass,
             PhaseAnalysisResult* result, std::string* error) {
    return source.SinglePrecision() ? RunPassAs<float>(source, runs, pass, result, error)
                                    : RunPassAs<double>(source, runs, pass, result, error);
}

// The figure a metric compares, smaller meaning better (correlation negated); +inf for NaN.
double MetricCost(AnalysisMetric metric, const SignalFigures& f) {
    const double value = MetricValue(metric, f);
    if (std::isnan(value)) return kInf;
    return metric == AnalysisMetric::kCorrelation ? -value : value;
}

// What breaks a tie in the objective's figure: the figures a listener would lose, mono loss
// first, then correlation; for the crest factor also the peak.
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

// Whether a cost is as good as `best` to rounding (both infinite counts too).
bool Ties(double cost, double best) {
    return cost <= best + kTieFigure;
}

// The angle to suggest among the allowed ones (index phase + 180; at least one): the best
// figure for the objective; among figures equal to rounding, wherever their angles lie, the
// best other figures; then the angle nearest 0, the positive one of +a and -a.
int ChooseAngle(const std::vector<SignalFigures>& curve, AnalysisObjective objective,
                const std::vector<char>& allowed) {
    const AnalysisMetric metric = static_cast<AnalysisMetric>(objective);
    std::vector<int> tied;
    for (size_t i = 0; i < curve.size(); ++i)
        if (allowed[i]) tied.push_back(static_cast<int>(i));
    std::vector<AnalysisMetric> metrics = TieBreakers(objective);
    metrics.insert(metrics.begin(), metric);
    for (AnalysisMetric m : metrics) {
        double best = kInf;
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

bool PeakObjective(AnalysisObjective objective) {
    return objective == AnalysisObjective::kPeak || objective == AnalysisObjective::kCrest;
}

// An integer file holds nothing beyond full scale.
bool Clips(const CaseRun& run, int phase, bool clipsAtFullScale) {
    return clipsAtFullScale && run.Evaluated(phase) && run.PeakAt(phase) > 1.0;
}

// The angles of a case that may be suggested: evaluated ones (for the peak objectives) that do
// not clip; all evaluated ones when every one clips.
std::vector<char> Allowed(const CaseRun& run, const AnalysisSettings& settings,
                          bool clipsAtFullScale, bool* allClip) {
    const bool peaks = PeakObjective(settings.objective);
    std::vector<char> allowed(kAnalysisAngleCount, 0), any(kAnalysisAngleCount, 0);
    bool someAllowed = false;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const size_t i = static_cast<size_t>(phase - kAnalysisMinPhase);
        any[i] = !peaks || run.Evaluated(phase);
        allowed[i] = any[i] && !Clips(run, phase, clipsAtFullScale);
        someAllowed |= allowed[i] != 0;
    }
    *allClip = !someAllowed;
    return someAllowed ? allowed : any;
}

// Whether angle `phase`, were it to tie `best` in the objective's figure, would still lose the
// tie on the figures it has from the sums alone, or on being further from 0.
bool LosesTie(const AnalysisCase& c, AnalysisObjective objective, int phase, int best) {
    const SignalFigures& f = c.curve[phase - kAnalysisMinPhase];
    const SignalFigures& b = c.curve[best - kAnalysisMinPhase];
    for (AnalysisMetric m : TieBreakers(objective)) {
        if (m == AnalysisMetric::kPeak) return false;  // not known before it is evaluated
        const double cost = MetricCost(m, f), bestCost = MetricCost(m, b);
        if (!Ties(cost, bestCost)) return true;
        if (!Ties(bestCost, cost)) return false;
    }
    return std::abs(phase) > std::abs(best) || (std::abs(phase) == std::abs(best) && phase < best);
}

// The whole degrees (multiples of `step`) whose peak is not known and that could still be
// suggested. The output at any angle has the frames where earlier probes found their peaks:
// their samples there, computed as the plug-in computes them, bound that angle's peak from
// below. An angle is out when that bound (over the exact RMS for crest) is worse than the best
// known figure beyond rounding, or could at most tie it and would lose the tie, or it surely
// clips while the best does not.
std::vector<int> PeakCandidates(const CaseRun& run, const AnalysisSettings& settings,
                                bool clipsAtFullScale, int step) {
    bool allClip = false;
    const std::vector<char> allowed = Allowed(run, settings, clipsAtFullScale, &allClip);
    bool anyKnown = false;
    double lowestKnown = kInf;
    const AnalysisCase& c = *run.out;
    for (size_t i = 0; i < allowed.size(); ++i)
        if (allowed[i]) {
            anyKnown = true;
            lowestKnown = std::min(lowestKnown, ObjectiveCost(settings.objective, c.curve[i]));
        }
    const bool crest = settings.objective == AnalysisObjective::kCrest;
    const int best = anyKnown ? ChooseAngle(c.curve, settings.objective, allowed) : 0;
    const double bestCost =
        anyKnown ? ObjectiveCost(settings.objective, c.curve[best - kAnalysisMinPhase]) : kInf;
    const bool bestClips = anyKnown && Clips(run, best, clipsAtFullScale);
    std::vector<int> candidates;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; phase += step) {
        if (run.Evaluated(phase)) continue;
        const size_t i = static_cast<size_t>(phase - kAnalysisMinPhase);
        double bound = 0.0;
        for (const Frame& f : run.witnesses) {
            double left, right;
            Mix(f.u, f.t, f.v, run.angles[i], &left, &right);
            bound = std::max(bound, std::max(std::fabs(left), std::fabs(right)));
        }
        const bool surelyClips = clipsAtFullScale && bound > 1.0;
        const double lowest = crest ? Db20(bound) - c.curve[i].rmsDbfs : Db20(bound);
        const bool better = lowest < lowestKnown - kTieFigure;
        const bool mayTie = Ties(lowest, bestCost) && !LosesTie(c, settings.objective, phase, best);
        if (!anyKnown || (bestClips && !surelyClips) ||
            (surelyClips == bestClips && (better || mayTie)))
            candidates.push_back(phase);
    }
    return candidates;
}

void SetProbes(CaseRun& run, const std::vector<int>& phases) {
    run.probes.clear();
    for (int phase : phases)
        run.probes.push_back({phase, run.angles[phase - kAnalysisMinPhase], {0.0, 0.0}, {{}, {}}});
}

// Writes the probes' peaks into the case's curve (crest = peak over RMS, as FiguresOf).
void StorePeaks(CaseRun& run) {
    AnalysisCase& c = *run.out;
    for (const Probe& probe : run.probes) {
        const size_t i = static_cast<size_t>(probe.phase - kAnalysisMinPhase);
        SignalFigures& f = c.curve[i];
        run.peaks[0][i] = probe.peak[0];
        run.peaks[1][i] = probe.peak[1];
        run.witnesses.push_back(probe.witness[0]);
        run.witnesses.push_back(probe.witness[1]);
        f.peakDbfs = Db20(std::max(probe.peak[0], probe.peak[1]));
        f.crestDb = std::isfinite(f.rmsDbfs) ? f.peakDbfs - f.rmsDbfs : kNan;
        ++c.peakEvaluations;
    }
    run.probes.clear();
}

// Every case's probes: over its kept frames, or in one pass for the cases that keep none.
bool EvaluateProbes(IAnalysisSource& source, std::vector<CaseRun>& runs, const PassContext& pass,
                    PhaseAnalysisResult* result, std::string* error) {
    std::vector<CaseRun*> reading;
    for (CaseRun& run : runs) {
        if (run.probes.empty()) continue;
        if (run.KeepsFrames()) {
            for (const Frame& f : run.peakFrames.frames) ProbeFrame(run.probes, f);
        } else {
            reading.push_back(&run);
        }
    }
    if (!reading.empty() && !RunPass(source, reading, pass, result, error)) return false;
    for (CaseRun& run : runs) StorePeaks(run);
    return true;
}

// The peak and crest objectives: every 10th degree, then the candidates among every 5th, then
// the candidates among the rest.
bool SearchPeaks(IAnalysisSource& source, std::vector<CaseRun>& runs,
                 const AnalysisSettings& settings, const PassContext& pass,
                 PhaseAnalysisResult* result, std::string* error) {
    for (int step : kSearchSteps) {
        // The last level again until no angle is left that could be better: its own peaks
        // may have moved the best.
        for (bool any = true; any;) {
            any = false;
            for (CaseRun& run : runs) {
                SetProbes(run, PeakCandidates(run, settings, result->clipsAtFullScale, step));
                any |= !run.probes.empty();
            }
            if (any && !EvaluateProbes(source, runs, pass, result, error)) return false;
            if (step != 1) break;
        }
    }
    return true;
}

// The other objectives, whose figure every angle has: the peak of the angle to suggest, and
// with an integer output, of the next ones until one does not clip. A case that keeps no frames
// evaluates a few angles per pass, in the order they would be suggested.
bool SettleBest(IAnalysisSource& source, std::vector<CaseRun>& runs,
                const AnalysisSettings& settings, const PassContext& pass,
                PhaseAnalysisResult* result, std::string* error) {
    for (;;) {
        bool any = false;
        for (CaseRun& run : runs) {
            if (run.searched) continue;
            std::vector<int> phases;
            bool allClip = false;
            std::vector<char> allowed = Allowed(run, settings, result->clipsAtFullScale, &allClip);
            const size_t wanted = run.KeepsFrames() ? 1 : kProbesPerPass;
            while (phases.size() < wanted) {
                bool open = false;
                for (char a : allowed) open |= a != 0;
                if (!open) break;
                const int phase = ChooseAngle(run.out->curve, settings.objective, allowed);
                if (!run.Evaluated(phase))
                    phases.push_back(phase);
                else if (phases.empty())
                    break;  // the best allowed angle is known: settled
                allowed[phase - kAnalysisMinPhase] = 0;
            }
            if (phases.empty()) {
                run.searched = true;
                continue;
            }
            SetProbes(run, phases);
            any = true;
        }
        if (!any) return true;
        if (!EvaluateProbes(source, runs, pass, result, error)) return false;
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
                        : kNan;
    if (power <= 0.0)
        f.midSideDb = kNan;
    else if (side <= floor)
        f.midSideDb = kInf;
    else if (mid <= floor)
        f.midSideDb = -kInf;
    else
        f.midSideDb = Db10(mid / side);
    // The fold-down's mean power is at most the stereo power ((L+R)^2 / 4 <= (L^2 + R^2) / 2);
    // rounding may not make a loss below 0.
    if (power <= 0.0)
        f.monoLossDb = kNan;
    else if (mid <= floor)
        f.monoLossDb = kInf;
    else
        f.monoLossDb = std::max(0.0, Db10(power / mid));
    f.rmsDbfs = power > 0.0 ? Db10(power) : -kInf;
    f.peakDbfs = std::isnan(m.peak) ? kNan : Db20(m.peak);
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

namespace {

// The cases the settings ask for: LR then MS phase, each with the all-pass network then the
// FIR filter.
bool ChooseCases(const AnalysisSettings& settings, PhaseAnalysisResult* result,
                 std::string* error) {
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
    return true;
}

// A case's run before the first pass: its processor, the coefficients of every angle and the
// bounds of its output for the peak search.
void PrepareRun(CaseRun& run, AnalysisCase& c, const AnalysisSettings& settings,
                const SignalKernels* kernels) {
    run.out = &c;
    run.ms = c.mode == Mode::kMsPhase;
    run.fir = c.filter == QuadratureFilter::kFir;
    run.kernels = kernels;
    run.state.reset(new PhaseState());
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase)
        run.angles.push_back(
            ComputeCoefficients(AnalysisParams(settings, c.mode, c.filter, phase)));
    const Coefficients& any = run.angles.front();
    const MixForm f = MixFormOf(any);
    const double allowance = 1e-12 * (std::fabs(any.midGain) + std::fabs(any.sideGain));
    run.boundLeft[0] = std::fabs(f.lu) + allowance;
    run.boundLeft[1] = std::fabs(f.lq) + allowance;
    run.boundRight[0] = std::fabs(f.ru) + allowance;
    run.boundRight[1] = std::fabs(f.rq) + allowance;
    run.peaks[0].assign(kAnalysisAngleCount, kNan);
    run.peaks[1].assign(kAnalysisAngleCount, kNan);
}

// After the sums pass: a case's figures at every angle, exact from the sums, and how far its
// fold-down level moves over the angles.
void ComputeCurve(CaseRun& run, const AnalysisSettings& settings) {
    if (run.KeepsFrames()) RaiseFloor(run, settings.peakFrameLimit);
    AnalysisCase& c = *run.out;
    c.curve.resize(kAnalysisAngleCount);
    run.rms.resize(kAnalysisAngleCount);
    double lowest = kInf, highest = -kInf;
    for (size_t i = 0; i < run.angles.size(); ++i) {
        const StereoMoments m = MomentsAt(run.sums, run.angles[i]);
        c.curve[i] = FiguresOf(m);
        run.rms[i] = std::sqrt(StereoPower(m));
        const double foldDown = Db10(m.sumMid / (4.0 * m.frames));
        if (std::isfinite(foldDown)) {
            lowest = std::min(lowest, foldDown);
            highest = std::max(highest, foldDown);
        }
    }
    c.foldDownSpread = highest > lowest ? highest - lowest : 0.0;
}

// A case's best angle once the peaks are known, and the angles passed over because they clip,
// though better for the objective. True when the best angle itself clips.
bool ChooseBestAngle(CaseRun& run, const AnalysisSettings& settings, bool clipsAtFullScale) {
    AnalysisCase& c = *run.out;
    bool allClip = false;
    const std::vector<char> allowed = Allowed(run, settings, clipsAtFullScale, &allClip);
    c.bestPhase = ChooseAngle(c.curve, settings.objective, allowed);
    const size_t best = static_cast<size_t>(c.bestPhase - kAnalysisMinPhase);
    c.best = c.curve[best];
    c.bestMoments = MomentsAt(run.sums, run.angles[best]);
    c.bestMoments.peak = run.PeakAt(c.bestPhase);
    c.bestUnclippedPeakDbfs = c.best.peakDbfs;
    c.bestClips = Clips(run, c.bestPhase, clipsAtFullScale);
    const double bestCost = ObjectiveCost(settings.objective, c.best);
    double leftOutCost = kInf;
    for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
        const double cost = ObjectiveCost(settings.objective, c.curve[phase - kAnalysisMinPhase]);
        if (!Clips(run, phase, clipsAtFullScale) || Ties(bestCost, cost)) continue;
        ++c.clippingLeftOut;
        if (cost < leftOutCost) {
            leftOutCost = cost;
            c.bestClippingPhase = phase;
        }
    }
    if (c.bestClips) run.clippedAt = run.angles[best];
    return c.bestClips;
}

// A suggestion that clips is compared with the file it makes: its figures after clipping.
bool MeasureClippedBest(IAnalysisSource& source, std::vector<CaseRun*>& clipping,
                        const PassContext& context, PhaseAnalysisResult* result,
                        std::string* error) {
    if (clipping.empty()) return true;
    if (!RunPass(source, clipping, context, result, error)) return false;
    for (CaseRun* run : clipping) {
        AnalysisCase& c = *run->out;
        c.bestMoments = run->clipped.Moments();
        c.best = FiguresOf(c.bestMoments);
    }
    return true;
}

// The case to suggest: another case must be better by a margin the figures can show, and may
// not clip where the first does not.
void SuggestCase(const AnalysisSettings& settings, PhaseAnalysisResult* result) {
    double suggestedCost = kNan;
    for (size_t i = 0; i < result->cases.size(); ++i) {
        const AnalysisCase& c = result->cases[i];
        const double cost = ObjectiveCost(settings.objective, c.best);
        const double margin = settings.objective == AnalysisObjective::kCorrelation
                                  ? kCaseMarginCorrelation
                                  : kCaseMarginDb;
        const bool suggestedClips = result->cases[result->suggested].bestClips;
        if (i == 0 || (suggestedClips && !c.bestClips) ||
            (suggestedClips == c.bestClips && cost < suggestedCost - margin)) {
            result->suggested = i;
            suggestedCost = cost;
        }
    }
}

// The suggested output at the scope's frames, as the file holds it.
void ScopeTheSuggestion(const std::vector<CaseRun>& runs, PhaseAnalysisResult* result) {
    const CaseRun& chosen = runs[result->suggested];
    const Coefficients& c = chosen.angles[chosen.out->bestPhase - kAnalysisMinPhase];
    const size_t points = std::min(chosen.scope[0].size(), result->inputScope[0].size());
    result->inputScope[0].resize(points);
    result->inputScope[1].resize(points);
    for (size_t k = 0; k < points; ++k) {
        double left, right;
        Mix(chosen.scope[0][k], chosen.scope[1][k], chosen.scope[2][k], c, &left, &right);
        if (result->clipsAtFullScale) {
            left = std::max(-1.0, std::min(1.0, left));
            right = std::max(-1.0, std::min(1.0, right));
        }
        result->outputScope[0].push_back(left);
        result->outputScope[1].push_back(right);
    }
}

}  // namespace

bool AnalyzePhase(IAnalysisSource& source, const AnalysisSettings& settings,
                  PhaseAnalysisResult* result, std::string* error) {
    *result = PhaseAnalysisResult();
    result->settings = settings;
    result->singlePrecision = source.SinglePrecision();
    result->clipsAtFullScale = source.ClipsAtFullScale();
    const uint64_t expected = source.FrameCount();
    const uint64_t stride = std::max<uint64_t>(
        1, (expected + settings.scopePoints - 1) / std::max<size_t>(1, settings.scopePoints));
    if (!ChooseCases(settings, result, error)) return false;
    const SignalKernels* kernels = SignalKernelsFor(BestSignalPath());
    std::vector<CaseRun> runs(result->cases.size());
    std::vector<CaseRun*> all;
    for (size_t i = 0; i < runs.size(); ++i) {
        PrepareRun(runs[i], result->cases[i], settings, kernels);
        all.push_back(&runs[i]);
    }

    // The one pass: the sums, the frames that can hold a peak, the input's moments and scope.
    if (!RunPass(source, all, {PassWork::kSums, stride, settings.peakFrameLimit}, result, error))
        return false;
    if (result->frames == 0) {
        *error = "the input holds no audio frames";
        return false;
    }
    result->input = FiguresOf(result->inputMoments);
    for (CaseRun& run : runs) ComputeCurve(run, settings);

    // The peaks: searched over the frames kept, or with further passes for a case that keeps
    // none.
    const PassContext probing = {PassWork::kProbes, stride, settings.peakFrameLimit};
    if (PeakObjective(settings.objective)
            ? !SearchPeaks(source, runs, settings, probing, result, error)
            : !SettleBest(source, runs, settings, probing, result, error))
        return false;

    std::vector<CaseRun*> clipping;
    for (CaseRun& run : runs)
        if (ChooseBestAngle(run, settings, result->clipsAtFullScale)) clipping.push_back(&run);
    if (!MeasureClippedBest(source, clipping, {PassWork::kClipped, stride, settings.peakFrameLimit},
                            result, error))
        return false;
    SuggestCase(settings, result);
    ScopeTheSuggestion(runs, result);
    return true;
}
