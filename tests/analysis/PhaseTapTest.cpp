// The analysis tap: the chunks every signal path hands it, its correlation meters and scope on
// signals whose answer is known, its curves against the phase analysis of the same stream, and
// its window and resets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "analysis/PhaseAnalysis.h"
#include "analysis/PhaseTap.h"
#include "engine/OutputStage.h"
#include "tests/analysis/InterleavedFloatSource.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

constexpr uint32_t kRate = 44100;

// The output each chunk's pair gives, with the stage's own arithmetic; the output and the inputs
// the chunks carry; how far their sums are from the analysis's sums of the same pair.
class RecordingTap : public IChunkTap {
public:
    std::vector<double> fromPair, out, a, b;
    double sumsError = 0.0;
    void BeginBlock(const ParamValues&, uint32_t) override {}
    void OnChunk(const TapChunk& c) override {
        for (int i = 0; i < c.frames; ++i) {
            double left, right;
            OutputStage::MixFrame(c.u[i], c.t[i], c.v[i], *c.coefficients, &left, &right);
            fromPair.insert(fromPair.end(), {left, right});
            out.insert(out.end(), {c.outDouble[2 * i], c.outDouble[2 * i + 1]});
            a.push_back(c.a[i]);
            b.push_back(c.b[i]);
        }
        QuadratureSums s;
        int found[kPhaseChunkFrames];
        AddChunkSums(s, c.u, c.t, c.v, c.frames, c.coefficients->mode != Mode::kMsPhase,
                     kAnalysisInf, found);
        const double expected[] = {s.sum[0],        s.sum[1],        s.sum[2],
                                   s.product[0][0], s.product[0][1], s.product[0][2],
                                   s.product[1][1], s.product[1][2], s.product[2][2],
                                   s.plus,          s.minus};
        const double got[] = {c.sums.sum[0],     c.sums.sum[1],     c.sums.sum[2],
                              c.sums.product[0], c.sums.product[1], c.sums.product[2],
                              c.sums.product[3], c.sums.product[4], c.sums.product[5],
                              c.sums.plus,       c.sums.minus};
        // MS phase has no use for the energies of u + t and u - t.
        const int used = c.coefficients->mode == Mode::kMsPhase ? 9 : 11;
        const double scale = s.product[0][0] + s.product[1][1] + s.product[2][2];
        for (int i = 0; i < used; ++i)
            sumsError = std::max(sumsError, std::fabs(got[i] - expected[i]) / scale);
    }
    void EndStream() override {}
};

// Left and right, interleaved, as the plug-in's float input takes them.
std::vector<float> Stereo(const std::vector<float>& left, const std::vector<float>& right) {
    std::vector<float> v;
    for (size_t i = 0; i < left.size(); ++i) v.insert(v.end(), {left[i], right[i]});
    return v;
}

// One channel of deterministic noise, smoothed by `pole` (0: white).
std::vector<float> Channel(int frames, unsigned seed, double pole = 0.0) {
    const std::vector<float> white = Noise(frames, 1, seed);
    std::vector<float> v(white.size());
    double y = 0.0;
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(y = pole * y + white[i]);
    return v;
}

// The stream through the engine in blocks, the tap connected, then stopped.
void Stream(TestEngine& e, const std::vector<float>& stereo, int blockFrames = 512) {
    for (size_t at = 0; at < stereo.size(); at += 2 * static_cast<size_t>(blockFrames)) {
        const size_t end = std::min(stereo.size(), at + 2 * static_cast<size_t>(blockFrames));
        Process(e, std::vector<float>(stereo.begin() + at, stereo.begin() + end));
    }
    e.processor.StopStream();
}

TestEngine& Prepared(TestEngine& e, IChunkTap* tap, const ParamValues& params) {
    e.params.SetParams(params);
    e.processor.UpdateCoefficients();
    e.processor.SetTap(tap);
    return e;
}

// Every path hands over every frame, in order, with the pair the output was made of, its sums,
// the output and the lines the input went into; odd block lengths split chunks unevenly.
TEST(PhaseTapTest, EveryPathHandsOverThePairItsOutputIsMadeOf) {
    const std::vector<double> in = [] {
        const std::vector<float> f = Noise(1500);
        return std::vector<double>(f.begin(), f.end());
    }();
    for (SignalPath path : SupportedSignalPaths())
        for (QuadratureFilter filter :
             {QuadratureFilter::kAllpass, QuadratureFilter::kFir, QuadratureFilter::kPrecise})
            for (Mode mode : {Mode::kLrPhase, Mode::kMsPhase, Mode::kScEncode}) {
                SCOPED_TRACE(testing::Message()
                             << SignalPathName(path) << " filter " << ParamValueOf(filter)
                             << " mode " << ParamValueOf(mode));
                TestEngine e(2, kWaveFormatIeeeFloat, 64);
                RecordingTap tap;
                Prepared(e, &tap, Settings().Phase(70).Width(140).With(mode, filter));
                ASSERT_TRUE(e.processor.SelectSignalPath(path));
                std::vector<double> out;
                for (size_t at = 0; at < in.size(); at += 2 * 333) {
                    const auto block = Process(
                        e, std::vector<double>(in.begin() + at,
                                               in.begin() + std::min(in.size(), at + 2 * 333)));
                    out.insert(out.end(), block.begin(), block.end());
                }
                EXPECT_EQ(tap.fromPair, out);
                EXPECT_EQ(tap.out, out);
                EXPECT_LT(tap.sumsError, 1e-14);
                const bool ms = mode == Mode::kMsPhase;
                for (size_t i = 0; i < tap.a.size(); i += 97) {
                    const double l = in[2 * i], r = in[2 * i + 1];
                    EXPECT_NEAR(tap.a[i], ms ? l + r : l, 1e-12);
                    EXPECT_NEAR(tap.b[i], ms ? l - r : r, 1e-12);
                }
            }
}

TapSnapshot Snapshot(CPhaseTap& tap) {
    TapSnapshot s;
    tap.Read(&s);
    return s;
}

// The meters and the scope on mono, an inverted pair and independent noise, at phase 0, where
// the output is the input through the reference filter.
TEST(PhaseTapTest, MetersAndScopeReadWhatTheSignalIs) {
    const std::vector<float> left = Channel(20000, 3, 0.5), other = Channel(20000, 4, 0.5);
    std::vector<float> inverted(left.size());
    std::transform(left.begin(), left.end(), inverted.begin(), [](float x) { return -x; });
    const struct {
        const char* name;
        std::vector<float> right;
        double correlation, tolerance;
        int scopeAxis;  // 0: mid only (vertical), 1: side only (horizontal), -1: both
    } cases[] = {{"mono", left, 1.0, 1e-9, 0},
                 {"inverted", inverted, -1.0, 1e-9, 1},
                 {"independent", other, 0.0, 0.05, -1}};
    for (const auto& c : cases)
        for (Mode mode : {Mode::kLrPhase, Mode::kMsPhase}) {
            SCOPED_TRACE(testing::Message() << c.name << " mode " << ParamValueOf(mode));
            std::unique_ptr<CPhaseTap> tap = CPhaseTap::Create();
            TestEngine e;
            Stream(Prepared(e, tap.get(), Settings().With(mode)), Stereo(left, c.right));
            const TapSnapshot s = Snapshot(*tap);
            EXPECT_NEAR(s.inputCorrelation, c.correlation, c.tolerance);
            EXPECT_NEAR(s.outputCorrelation, c.correlation, c.tolerance);
            ASSERT_EQ(s.scopeFrames, kTapScopeFrames);
            double mid = 0.0, side = 0.0;
            for (int i = 0; i < s.scopeFrames; ++i) {
                mid = std::max(mid, std::fabs(double(s.scope[i][0]) + s.scope[i][1]));
                side = std::max(side, std::fabs(double(s.scope[i][0]) - s.scope[i][1]));
            }
            if (c.scopeAxis == 0) {
                EXPECT_LT(side, 1e-6 * mid);
            } else if (c.scopeAxis == 1) {
                EXPECT_LT(mid, 1e-6 * side);
            } else {
                EXPECT_GT(std::min(mid, side), 0.3 * std::max(mid, side));
            }
        }
}

// The meters integrate over a fraction of a second whether or not the page takes snapshots: four
// seconds of mono then two of an inverted pair, unread until the end, read as the inverted pair.
TEST(PhaseTapTest, MetersFollowTheSignalWhileThePageDoesNotRead) {
    std::vector<float> left = Channel(6 * kRate, 7, 0.5), right = left;
    std::transform(right.begin() + 4 * kRate, right.end(), right.begin() + 4 * kRate,
                   [](float x) { return -x; });
    std::unique_ptr<CPhaseTap> tap = CPhaseTap::Create();
    TestEngine e;
    Stream(Prepared(e, tap.get(), kDefaultParams), Stereo(left, right));
    const TapSnapshot s = Snapshot(*tap);
    EXPECT_NEAR(s.inputCorrelation, -1.0, 0.01);
    EXPECT_NEAR(s.outputCorrelation, -1.0, 0.01);
}

// Whether the snapshot's scope is a run of the output's frames, as written, oldest first, and
// ends with the last frame when `last` is set.
bool ScopeIsRunOf(const std::vector<float>& out, const TapSnapshot& s, bool last) {
    const int n = s.scopeFrames;
    for (size_t end = 2 * static_cast<size_t>(n); end <= out.size(); end += 2) {
        if (last && end != out.size()) continue;
        if (std::equal(&s.scope[0][0], &s.scope[0][0] + 2 * n, out.begin() + (end - 2 * n)))
            return true;
    }
    return false;
}

// The scope holds the latest output frames, whether the snapshot follows a full interval since
// the last one or comes early (when the stream stops, or at a low rate, where a twentieth of a
// second is shorter than the scope).
TEST(PhaseTapTest, ScopeHoldsTheLatestOutputFrames) {
    for (uint32_t rate : {44100u, 22050u}) {
        SCOPED_TRACE(testing::Message() << rate << " Hz");
        std::unique_ptr<CPhaseTap> tap = CPhaseTap::Create();
        TestEngine e(2, kWaveFormatIeeeFloat, 32, rate);
        Prepared(e, tap.get(), Settings().Phase(50));
        const std::vector<float> in = Noise(12000);
        std::vector<float> out;
        uint64_t sequence = 0;
        for (size_t at = 0; at < in.size(); at += 2 * 441) {
            const auto block = Process(
                e, std::vector<float>(in.begin() + at, in.begin() + std::min(in.size(), at + 882)));
            out.insert(out.end(), block.begin(), block.end());
            const TapSnapshot s = Snapshot(*tap);
            if (s.sequence == sequence) continue;
            sequence = s.sequence;
            // Published within the latest block, at the end of one of its chunks.
            EXPECT_GE(s.scopeFrames, std::min<int>(kTapScopeFrames, out.size() / 2 - 441));
            EXPECT_TRUE(ScopeIsRunOf(out, s, false)) << "snapshot " << sequence;
        }
        EXPECT_GT(sequence, 2u);
        e.processor.StopStream();
        const TapSnapshot s = Snapshot(*tap);
        EXPECT_EQ(s.scopeFrames, kTapScopeFrames);
        EXPECT_TRUE(ScopeIsRunOf(out, s, true));
    }
}

// A whole file through the plug-in with a window longer than it gives the phase analysis's
// curves and best angles, for each mode and filter, at a width and output of their own.
TEST(PhaseTapTest, WholeFileCurvesMatchThePhaseAnalysis) {
    const std::vector<float> left = Channel(3 * kRate, 5, 0.9), noise = Channel(3 * kRate, 6, 0.3);
    std::vector<float> right(left.size());
    for (size_t i = 0; i < right.size(); ++i)
        right[i] = 0.7f * left[i >= 9 ? i - 9 : 0] + 0.3f * noise[i];
    const std::vector<float> stereo = Stereo(left, right);
    for (Mode mode : {Mode::kLrPhase, Mode::kMsPhase})
        for (QuadratureFilter filter :
             {QuadratureFilter::kAllpass, QuadratureFilter::kFir, QuadratureFilter::kPrecise}) {
            SCOPED_TRACE(testing::Message()
                         << "mode " << ParamValueOf(mode) << " filter " << ParamValueOf(filter));
            std::unique_ptr<CPhaseTap> tap = CPhaseTap::Create();
            tap->SetWindow(kTapMaxWindowSeconds);
            TestEngine e;
            Stream(Prepared(e, tap.get(),
                            Settings().Phase(30).Width(120).Output(-15).With(mode, filter)),
                   stereo, 480);
            TapCurves curves;
            ASSERT_TRUE(TapCurvesOf(Snapshot(*tap), &curves));

            for (AnalysisObjective objective :
                 {AnalysisObjective::kMonoLoss, AnalysisObjective::kCorrelation}) {
                AnalysisSettings settings;
                settings.objective = objective;
                settings.width = 120;
                settings.output = -15;
                settings.modes[mode != Mode::kMsPhase] = false;
                for (QuadratureFilter other : {QuadratureFilter::kAllpass, QuadratureFilter::kFir,
                                               QuadratureFilter::kPrecise})
                    settings.filters[ParamValueOf(other)] = other == filter;
                CInterleavedFloatSource source(stereo);
                PhaseAnalysisResult result;
                std::string error;
                ASSERT_TRUE(AnalyzePhase(source, settings, &result, &error)) << error;
                const AnalysisCase& c = result.cases.at(0);
                EXPECT_EQ(objective == AnalysisObjective::kMonoLoss ? curves.bestMonoPhase
                                                                    : curves.bestCorrelationPhase,
                          c.bestPhase);
                for (int i = 0; i < kAnalysisAngleCount; ++i) {
                    EXPECT_NEAR(curves.monoLossDb[i], c.curve[i].monoLossDb, 0.01) << i;
                    EXPECT_NEAR(curves.correlation[i], c.curve[i].correlation, 0.001) << i;
                }
            }
        }
}

// The window holds the latest seconds only; a reset, and a change of mode or filter, start the
// sums afresh, and a reset empties the snapshot until the stream has published again.
TEST(PhaseTapTest, WindowAndResetsBoundTheSums) {
    std::unique_ptr<CPhaseTap> tap = CPhaseTap::Create();
    tap->SetWindow(1);
    TestEngine e;
    const std::vector<float> second = Noise(kRate);
    Prepared(e, tap.get(), kDefaultParams);
    for (int i = 0; i < 3; ++i) Stream(e, second);
    double frames = Snapshot(*tap).sums.frames;
    EXPECT_LE(frames, kRate);
    EXPECT_GE(frames, kRate - 2 * kTapSegmentFrames);

    tap->RequestReset();
    EXPECT_EQ(Snapshot(*tap).sequence, 0u);
    Stream(e, Noise(8000));
    frames = Snapshot(*tap).sums.frames;
    EXPECT_LE(frames, 8000);
    EXPECT_GT(frames, 0);

    Prepared(e, tap.get(), Settings().Phase(40));  // the sums hold for any angle
    Stream(e, Noise(2000));
    EXPECT_GT(Snapshot(*tap).sums.frames, frames);
    Prepared(e, tap.get(), Settings().With(QuadratureFilter::kFir));
    Stream(e, Noise(2000));
    EXPECT_LE(Snapshot(*tap).sums.frames, 2000);
}

}  // namespace
