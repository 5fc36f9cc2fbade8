// The passes over the input: reading ahead, feeding each case's quadrature stage, and what each
// kind of pass gathers from the pairs.
#include "analysis/AnalysisPass.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/CaseLanes.h"
#include "analysis/PeakFrames.h"
#include "engine/OutputStage.h"

namespace {

// Frames read at once; each block is one hand-over to the second thread.
constexpr size_t kReadFrames = 65536;

void Quadrature(CaseRun& run, const PhaseBlock& block, const float* in) {
    run.kernels->quadratureFloat(*run.state, block, in, run.pair);
}
void Quadrature(CaseRun& run, const PhaseBlock& block, const double* in) {
    run.kernels->quadratureDouble(*run.state, block, in, run.pair);
}

// kSums for output frames [run.emitted, + count).
void GatherSums(CaseRun& run, const double* u, const double* t, const double* v, int count,
                uint64_t stride, size_t limit) {
    PeakFrames& kept = run.peakFrames;
    const FloorTest test = FloorTestOf(run);
    int found[kPhaseChunkFrames];
    const double reach = kept.overflowed ? kAnalysisInf : test.reach;
    const int n = AddChunkSums(run.sums, u, t, v, count, !run.ms, reach, found);
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
        OutputStage::MixFrame(u[k], t[k], v[k], run.clippedAt, &left, &right);
        run.clipped.Add(std::max(-1.0, std::min(1.0, left)), std::max(-1.0, std::min(1.0, right)));
    }
}

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
PhaseBlock KernelBlock(int frames, const CaseRun& run) {
    PhaseBlock block = {};
    block.frames = frames;
    block.stereoIn = true;
    block.filter = run.out->filter;
    block.precise = run.precise;
    block.coefficients = run.angles.front();
    return block;
}

// A block through one case's quadrature stage: the plug-in's samples through the kernel in the
// case's mode, a chunk per call, as the processor takes them. The FIR filter's first 63 outputs
// are the latency the renderer drops.
template <typename Sample>
void Feed(CaseRun& run, const Block<Sample>& in, const PassContext& pass) {
    for (int done = 0; done < in.frames;) {
        const int n = std::min(kPhaseChunkFrames, in.frames - done);
        Quadrature(run, KernelBlock(n, run), in.in + 2 * done);
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

// The cases in the order the lanes should take them: the precise filter's, then the FIR
// filter's, then the all-pass network's (their quadrature stages' work, largest first).
std::vector<CaseRun*> CostliestFirst(const std::vector<CaseRun*>& runs) {
    auto cost = [](const CaseRun* run) {
        switch (run->out->filter) {
            case QuadratureFilter::kPrecise:
                return 2;
            case QuadratureFilter::kFir:
                return 1;
            default:
                return 0;
        }
    };
    std::vector<CaseRun*> order = runs;
    std::stable_sort(order.begin(), order.end(),
                     [&cost](const CaseRun* a, const CaseRun* b) { return cost(a) > cost(b); });
    return order;
}

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
    const std::vector<CaseRun*> costliestFirst = CostliestFirst(runs);
    CPassInput<Sample> input(source, sums, pass.stride, result);
    do {
        const Block<Sample> block = input.Current();
        lanes.FeedAll(costliestFirst, [&](CaseRun& run) { Feed(run, block, pass); });
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

}  // namespace

bool RunPass(IAnalysisSource& source, const std::vector<CaseRun*>& runs, const PassContext& pass,
             PhaseAnalysisResult* result, std::string* error) {
    return source.SinglePrecision() ? RunPassAs<float>(source, runs, pass, result, error)
                                    : RunPassAs<double>(source, runs, pass, result, error);
}
