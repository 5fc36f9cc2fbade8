// The phase analysis: its answers on signals whose answer is known, its exact curves and peak
// search against the plug-in's own block processing at many settings, the MS-phase guarantee,
// and the well-formed JSON and SVG of its report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/BlockProcessor.h"
#include "engine/FormatRules.h"
#include "engine/ParamModel.h"
#include "host/analyze/AnalysisInput.h"
#include "host/analyze/AnalysisReport.h"
#include "analysis/PhaseAnalysis.h"
#include "host/cli/RenderOptions.h"
#include "host/wav/WavWriter.h"
#include "tests/host/WellFormed.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kRate = 44100;
constexpr QuadratureFilter kFilters[] = {QuadratureFilter::kAllpass, QuadratureFilter::kFir,
                                         QuadratureFilter::kPrecise};
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Signal {
    std::vector<double> left, right;
    bool single = false;   // values exact in float: the plug-in's single-precision path
    bool integer = false;  // written back in an integer format, which clips at full scale
};

class MemorySource : public IAnalysisSource {
public:
    explicit MemorySource(const Signal& s) : s_(s) {}
    bool Rewind() override {
        at_ = 0;
        ++passes;
        return true;
    }
    size_t Read(double* left, double* right, size_t maxFrames) override {
        const size_t n = std::min(maxFrames, s_.left.size() - at_);
        std::copy_n(s_.left.begin() + at_, n, left);
        std::copy_n(s_.right.begin() + at_, n, right);
        at_ += n;
        return n;
    }
    bool SinglePrecision() const override { return s_.single; }
    bool ClipsAtFullScale() const override { return s_.integer; }
    uint64_t FrameCount() const override { return s_.left.size(); }
    uint32_t SampleRate() const override { return 44100; }
    const std::string& Error() const override { return error_; }

    int passes = 0;  // times the analysis read the input

private:
    const Signal& s_;
    size_t at_ = 0;
    std::string error_;
};

// Tones in the band where both quadrature filters hold 90 degrees; the right channel leads the
// left by 90 degrees (cosines against sines), or, with `leads` false, is unrelated noise.
Signal Tones(size_t frames, bool quadrature, bool single, unsigned seed = 1) {
    const double freqs[] = {1500, 3100, 5200, 9700};
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-0.3, 0.3);
    Signal s;
    s.single = single;
    for (size_t i = 0; i < frames; ++i) {
        double l = 0.0, r = 0.0;
        for (int k = 0; k < 4; ++k) {
            const double x = 2 * kPi * freqs[k] * i / kRate + k;
            l += 0.15 * std::sin(x);
            r += quadrature ? 0.15 * std::cos(x) : 0.0;
        }
        if (!quadrature) r = noise(random);
        s.left.push_back(single ? static_cast<float>(l) : l);
        s.right.push_back(single ? static_cast<float>(r) : r);
    }
    return s;
}

// White noise in the left channel and `rightGain` times it in the right.
Signal Scaled(size_t frames, double rightGain) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    Signal s;
    for (size_t i = 0; i < frames; ++i) {
        s.left.push_back(noise(random));
        s.right.push_back(rightGain * s.left.back());
    }
    return s;
}

// Pink noise: white noise through three poles, most of its energy low, where the all-pass
// network's quadrature is least exact.
std::vector<double> Pink(size_t frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> white(-1.0, 1.0);
    std::vector<double> pink;
    double b0 = 0, b1 = 0, b2 = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double w = white(random);
        b0 = 0.99765 * b0 + w * 0.0990460;
        b1 = 0.96300 * b1 + w * 0.2965164;
        b2 = 0.57000 * b2 + w * 1.0526913;
        pink.push_back(0.05 * (b0 + b1 + b2 + w * 0.1848));
    }
    return pink;
}

// A sawtooth at 110 Hz and a sine an octave below in each channel, the right channel's a tenth
// and a fifth of a cycle later, in float, peaking at -2 dBFS.
Signal SawPlusSub(size_t frames) {
    auto saw = [](double cycles) { return 2.0 * (cycles - std::floor(cycles + 0.5)); };
    Signal s;
    s.single = true;
    double peak = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        s.left.push_back(saw(110 * t) + std::sin(2 * kPi * 55 * t));
        s.right.push_back(saw(110 * t + 0.1) + std::sin(2 * kPi * (55 * t + 0.2)));
        peak = std::max({peak, std::fabs(s.left.back()), std::fabs(s.right.back())});
    }
    for (std::vector<double>* channel : {&s.left, &s.right})
        for (double& x : *channel) x = static_cast<float>(x * std::pow(10.0, -0.1) / peak);
    return s;
}

PhaseAnalysisResult Analyze(const Signal& s, AnalysisSettings settings = AnalysisSettings(),
                            int* passes = nullptr) {
    MemorySource source(s);
    PhaseAnalysisResult result;
    std::string error;
    EXPECT_TRUE(AnalyzePhase(source, settings, &result, &error)) << error;
    if (passes) *passes = source.passes;
    return result;
}

const AnalysisCase& CaseOf(const PhaseAnalysisResult& r, Mode mode, QuadratureFilter filter) {
    for (const AnalysisCase& c : r.cases)
        if (c.mode == mode && c.filter == filter) return c;
    ADD_FAILURE() << "no such case";
    return r.cases.front();
}

// The plug-in's output as the renderer gets it: the block processor in blocks of 512 frames,
// the FIR filter's latency flushed with silence and dropped at the start; with `clip`, held
// within full scale as an integer file holds it.
StereoMoments EngineRender(const Signal& s, const ParamValues& params, bool clip = false) {
    CParamModel model;
    model.SetParams(params);
    CBlockProcessor processor(model);
    const WaveFormat format = MakeWaveFormat(kWaveFormatIeeeFloat, 2, kRate, s.single ? 32 : 64);
    processor.StartStream(&format, &format);
    const size_t latency = FilterOf(params) == QuadratureFilter::kFir ? kFirLatencyFrames : 0;
    const size_t frames = s.left.size(), total = frames + latency;
    CStereoMeter meter;
    std::vector<float> inF(1024), outF(1024);
    std::vector<double> inD(1024), outD(1024);
    for (size_t start = 0; start < total; start += 512) {
        int n = static_cast<int>(std::min<size_t>(512, total - start)), m = n;
        for (int k = 0; k < n; ++k) {
            const size_t i = start + k;
            inD[2 * k] = i < frames ? s.left[i] : 0.0;
            inD[2 * k + 1] = i < frames ? s.right[i] : 0.0;
            inF[2 * k] = static_cast<float>(inD[2 * k]);
            inF[2 * k + 1] = static_cast<float>(inD[2 * k + 1]);
        }
        if (s.single)
            processor.ProcessFloat(inF.data(), &n, outF.data(), &m);
        else
            processor.ProcessDouble(inD.data(), &n, outD.data(), &m);
        auto held = [clip](double x) { return clip ? std::max(-1.0, std::min(1.0, x)) : x; };
        for (int k = 0; k < n; ++k)
            if (start + k >= latency)
                meter.Add(held(s.single ? outF[2 * k] : outD[2 * k]),
                          held(s.single ? outF[2 * k + 1] : outD[2 * k + 1]));
    }
    return meter.Moments();
}

// A case that may keep only a few frames searches with further passes over the input instead:
// it must come to the same suggestion and figures.
void ExpectSameWhenReadingAgain(const Signal& signal, AnalysisSettings settings,
                                const PhaseAnalysisResult& kept) {
    settings.peakFrameLimit = 16;
    int passes = 0;
    const PhaseAnalysisResult read = Analyze(signal, settings, &passes);
    EXPECT_GT(passes, 1);
    ASSERT_EQ(read.cases.size(), kept.cases.size());
    for (size_t i = 0; i < kept.cases.size(); ++i) {
        EXPECT_EQ(read.cases[i].bestPhase, kept.cases[i].bestPhase) << i;
        EXPECT_EQ(read.cases[i].bestMoments.peak, kept.cases[i].bestMoments.peak) << i;
        EXPECT_EQ(read.cases[i].bestClips, kept.cases[i].bestClips) << i;
    }
}

// Known answers ----------------------------------------------------------------------------

// A pair in quadrature, a polarity-inverted pair and mono: the input's figures, the LR phase
// that repairs each (with every filter), and MS phase, which cannot change the fold-down.
TEST(PhaseAnalysis, SignalsWithAKnownAnswer) {
    const struct {
        const char* name;
        Signal signal;
        double correlation, monoLoss;  // of the input
        int bestLr;                    // +-1 degree (the filters' phase ripple)
        double msLoss;                 // at every MS angle, to 0.1 dB
        bool msFlat;                   // no side or no mid: the same figures at every MS angle
    } cases[] = {
        {"quadrature", Tones(8192, true, true), 0.0, 3.0103, 90, 3.0103, false},
        {"polarity-inverted", Scaled(6000, -1.0), -1.0, kInf, 180, kInf, true},
        {"mono", Scaled(6000, 1.0), 1.0, 0.0, 0, 0.0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PhaseAnalysisResult r = Analyze(c.signal);
        EXPECT_NEAR(r.input.correlation, c.correlation, 0.02);
        if (std::isinf(c.monoLoss))
            EXPECT_EQ(r.input.monoLossDb, kInf);
        else
            EXPECT_NEAR(r.input.monoLossDb, c.monoLoss, 0.1);
        ASSERT_EQ(r.cases.size(), 2 * std::size(kFilters));
        for (QuadratureFilter filter : kFilters) {
            const AnalysisCase& lr = CaseOf(r, Mode::kLrPhase, filter);
            EXPECT_NEAR(lr.bestPhase, c.bestLr, c.bestLr == 180 ? 0 : 1);
            EXPECT_LT(lr.best.monoLossDb, 0.05);
            EXPECT_GT(lr.best.correlation, 0.99);
            const AnalysisCase& ms = CaseOf(r, Mode::kMsPhase, filter);
            if (c.msFlat) {
                EXPECT_EQ(ms.bestPhase, 0) << "a flat curve suggests no change";
            }
            EXPECT_LT(ms.foldDownSpread, 1e-9);
            for (const SignalFigures& f : ms.curve) {
                if (std::isinf(c.msLoss))
                    EXPECT_EQ(f.monoLossDb, kInf);
                else
                    EXPECT_NEAR(f.monoLossDb, c.msLoss, 0.1);
            }
        }
        EXPECT_EQ(r.cases[r.suggested].mode, Mode::kLrPhase);
        EXPECT_EQ(r.cases[r.suggested].filter, QuadratureFilter::kAllpass)
            << "the FIR filter's latency is not worth a hundredth of a dB";
    }
}

// The exact curves against the plug-in ---------------------------------------------------------

// Every case's curve at assorted angles equals the moments of the block processor's output, in
// both precision paths, at several widths and gains; at the best angle the peak too, to the
// last bit where the output is double.
TEST(PhaseAnalysis, CurvesEqualThePlugInsOutput) {
    const struct {
        bool single;
        int32_t width, output;
        AnalysisObjective objective;
    } settingsCases[] = {
        {false, 100, 0, AnalysisObjective::kMonoLoss},
        {true, 37, -60, AnalysisObjective::kCorrelation},
        {false, 200, 15, AnalysisObjective::kPeak},
        {true, 0, 0, AnalysisObjective::kCrest},
    };
    for (const auto& sc : settingsCases) {
        SCOPED_TRACE("single " + std::to_string(sc.single) + ", width " + std::to_string(sc.width));
        Signal signal = Tones(3001, false, sc.single, 3);  // no whole number of blocks
        AnalysisSettings settings;
        settings.width = sc.width;
        settings.output = sc.output;
        settings.objective = sc.objective;
        int passes = 0;
        const PhaseAnalysisResult r = Analyze(signal, settings, &passes);
        EXPECT_EQ(passes, 1) << "one pass over the input for every objective";
        // Double outputs agree to rounding; float outputs to float's.
        const double tolerance = sc.single ? 1e-5 : 1e-9;
        for (const AnalysisCase& c : r.cases) {
            for (int phase : {-180, -97, 0, 45, 133, 180, c.bestPhase}) {
                SCOPED_TRACE("mode " + std::to_string(int(c.mode)) + " filter " +
                             std::to_string(int(c.filter)) + " phase " + std::to_string(phase));
                const StereoMoments engine =
                    EngineRender(signal, AnalysisParams(settings, c.mode, c.filter, phase));
                const SignalFigures expected = FiguresOf(engine);
                const SignalFigures& curve = c.curve[phase - kAnalysisMinPhase];
                EXPECT_NEAR(curve.rmsDbfs, expected.rmsDbfs, tolerance);
                EXPECT_NEAR(curve.monoLossDb, expected.monoLossDb, tolerance);
                EXPECT_NEAR(curve.correlation, expected.correlation, tolerance);
                if (phase == c.bestPhase) {
                    if (sc.single)
                        EXPECT_NEAR(c.bestMoments.peak, engine.peak, 1e-7 * engine.peak);
                    else
                        EXPECT_EQ(c.bestMoments.peak, engine.peak);
                }
            }
        }
    }
}

// The bounded search finds the lowest peak and the lowest crest among all 361 angles (found
// here by rendering every one) while evaluating fewer of them.
TEST(PhaseAnalysis, PeakSearchFindsTheBestOfAllAngles) {
    Signal tones = Tones(2500, false, false, 11);
    std::swap(tones.left, tones.right);  // the tones, whose peak the angle changes, rotated
    // One sinusoid keeps nearly the same peak at every angle: a search among near-ties.
    Signal sine = Scaled(2500, 0.0);
    for (size_t i = 0; i < sine.right.size(); ++i) sine.right[i] = 0.7 * std::sin(0.31 * i);
    for (const auto& [signal, objective] : {std::make_pair(tones, AnalysisObjective::kPeak),
                                            std::make_pair(tones, AnalysisObjective::kCrest),
                                            std::make_pair(sine, AnalysisObjective::kPeak)}) {
        AnalysisSettings settings;
        settings.objective = objective;
        settings.filters[1] = settings.filters[2] = false;  // the all-pass network, both modes
        const PhaseAnalysisResult r = Analyze(signal, settings);
        ASSERT_EQ(r.cases.size(), 2u);
        ExpectSameWhenReadingAgain(signal, settings, r);
        for (const AnalysisCase& c : r.cases) {
            double lowest = kInf;
            for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
                const StereoMoments m =
                    EngineRender(signal, AnalysisParams(settings, c.mode, c.filter, phase));
                lowest = std::min(lowest, ObjectiveCost(objective, FiguresOf(m)));
            }
            // To rounding: a tie may go to an angle with better other figures.
            EXPECT_NEAR(ObjectiveCost(objective, c.best), lowest, 2e-6)
                << AnalysisObjectiveName(objective) << ", mode " << int(c.mode);
            EXPECT_LT(c.peakEvaluations, kAnalysisAngleCount / 2);
        }
    }
}

// Figures equal to rounding are ties wherever their angles lie: in MS phase an angle and the
// one 180 degrees away swap the channels, and with the FIR filter in LR phase +-180 only flips
// the right channel's polarity, which leaves the peak alone. A tie never costs mono loss, then
// correlation: no angle that ties the best one has clearly better ones.
TEST(PhaseAnalysis, TiesNeverCostTheOtherFigures) {
    const Signal signal = SawPlusSub(44100);
    for (AnalysisObjective objective :
         {AnalysisObjective::kPeak, AnalysisObjective::kCrest, AnalysisObjective::kCorrelation}) {
        SCOPED_TRACE(AnalysisObjectiveName(objective));
        AnalysisSettings settings;
        settings.objective = objective;
        const PhaseAnalysisResult r = Analyze(signal, settings);
        for (const AnalysisCase& c : r.cases) {
            const double best = ObjectiveCost(objective, c.best);
            for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
                const SignalFigures& f = c.curve[phase - kAnalysisMinPhase];
                if (!(std::fabs(ObjectiveCost(objective, f) - best) < 1e-7)) continue;
                const bool lessLoss = f.monoLossDb < c.best.monoLossDb - 1e-3;
                const bool sameLoss = std::fabs(f.monoLossDb - c.best.monoLossDb) <= 1e-3;
                const bool moreCorrelation = f.correlation > c.best.correlation + 1e-3;
                EXPECT_FALSE(lessLoss || (sameLoss && moreCorrelation))
                    << "mode " << int(c.mode) << " filter " << int(c.filter) << ": " << c.bestPhase
                    << " chosen over " << phase;
            }
        }
    }
}

// A mono listener's loss is measured against a stereo listener of the same output, so a change
// of level alone scores nothing: no angle shows a negative loss, Output gain leaves the curve
// alone, a mono file keeps phase 0 and a polarity-inverted pair gets 180.
TEST(PhaseAnalysis, MonoLossIsAgainstTheOutputsOwnLevel) {
    const std::vector<double> pink = Pink(20000, 9);
    const struct {
        const char* name;
        double rightGain;
        int bestLr;  // either sign
    } cases[] = {{"mono", 1.0, 0}, {"inverted", -1.0, 180}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Signal s;
        s.left = pink;
        for (double x : pink) s.right.push_back(c.rightGain * x);
        std::vector<double> first;
        for (int32_t output : {0, -60, 25}) {
            AnalysisSettings settings;
            settings.output = output;
            const PhaseAnalysisResult r = Analyze(s, settings);
            std::vector<double> losses;
            for (const AnalysisCase& k : r.cases) {
                if (k.mode == Mode::kLrPhase) {
                    EXPECT_EQ(std::abs(k.bestPhase), c.bestLr);
                }
                for (const SignalFigures& f : k.curve) {
                    EXPECT_GE(f.monoLossDb, 0.0);
                    losses.push_back(f.monoLossDb);
                }
            }
            if (first.empty()) first = losses;
            for (size_t i = 0; i < losses.size(); ++i) {
                if (std::isfinite(first[i])) {
                    ASSERT_NEAR(losses[i], first[i], 1e-9) << i;
                }
            }
        }
    }
}

// A fold-down 166 dB down is a figure, not a cancellation: the input's, and the output's at
// phase 0 in LR phase, where the output is the input through the reference filter.
TEST(PhaseAnalysis, DeepFoldDownNullsKeepTheirFigure) {
    constexpr double kShortfall = 1e-8;  // the right channel is -(1 - 1e-8) times the left
    const PhaseAnalysisResult r = Analyze(Scaled(6000, -(1.0 - kShortfall)));
    const double power = (1.0 + (1.0 - kShortfall) * (1.0 - kShortfall)) / 2.0;
    const double expected = 10.0 * std::log10(power / (kShortfall * kShortfall / 4.0));
    EXPECT_NEAR(r.input.monoLossDb, expected, 0.01);
    for (QuadratureFilter filter : kFilters)
        EXPECT_NEAR(CaseOf(r, Mode::kLrPhase, filter).curve[-kAnalysisMinPhase].monoLossDb,
                    expected, 0.01);
}

// An integer file holds nothing beyond full scale. Angles whose output would go beyond it are
// not suggested while another angle stays within it (checked against every angle rendered);
// when every angle clips, the suggestion's figures are those of the clipped file.
TEST(PhaseAnalysis, IntegerOutputClipsAtFullScale) {
    Signal tones = Tones(2500, true, false, 4);
    tones.integer = true;
    const struct {
        const char* name;
        double scale;
        int32_t output;
        bool suggestionClips;
    } cases[] = {{"some angles clip", 1.682, 0, false}, {"every angle clips", 1.0, 60, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Signal s = tones;
        for (std::vector<double>* channel : {&s.left, &s.right})
            for (double& x : *channel) x *= c.scale;
        AnalysisSettings settings;
        settings.output = c.output;
        settings.filters[1] = settings.filters[2] = false;
        const PhaseAnalysisResult r = Analyze(s, settings);
        ExpectSameWhenReadingAgain(s, settings, r);
        for (const AnalysisCase& k : r.cases) {
            SCOPED_TRACE("mode " + std::to_string(int(k.mode)));
            double lowest = kInf;
            int clipping = 0;
            for (int phase = kAnalysisMinPhase; phase <= kAnalysisMaxPhase; ++phase) {
                const ParamValues params = AnalysisParams(settings, k.mode, k.filter, phase);
                const StereoMoments m = EngineRender(s, params);
                if (m.peak > 1.0) {
                    ++clipping;
                    continue;
                }
                lowest = std::min(lowest, ObjectiveCost(settings.objective, FiguresOf(m)));
            }
            EXPECT_EQ(k.bestClips, c.suggestionClips);
            if (!c.suggestionClips) {
                ASSERT_GT(clipping, 0) << "the signal must clip at some angles";
                EXPECT_NEAR(ObjectiveCost(settings.objective, k.best), lowest, 2e-6);
            }
            const StereoMoments file =
                EngineRender(s, AnalysisParams(settings, k.mode, k.filter, k.bestPhase), true);
            std::string differences;
            EXPECT_TRUE(MomentsAgree(k.bestMoments, file, 0.0, &differences)) << differences;
        }
    }
}

// What MS phase guarantees, in the plug-in's own arithmetic: the sum of the outputs (the mono
// fold-down) is the same at every Phase and Width, with every filter.
TEST(PhaseAnalysis, MsPhaseFoldDownIgnoresPhaseAndWidth) {
    const Signal signal = Tones(1500, false, false, 5);
    for (QuadratureFilter filter : kFilters) {
        std::vector<double> reference;
        for (int phase : {0, -180, -45, 90, 180}) {
            for (int width : {100, 0, 200}) {
                AnalysisSettings settings;
                settings.width = width;
                CParamModel model;
                model.SetParams(AnalysisParams(settings, Mode::kMsPhase, filter, phase));
                CBlockProcessor processor(model);
                const WaveFormat format = MakeWaveFormat(kWaveFormatIeeeFloat, 2, kRate, 64);
                processor.StartStream(&format, &format);
                std::vector<double> in, out(2 * signal.left.size());
                for (size_t i = 0; i < signal.left.size(); ++i)
                    in.insert(in.end(), {signal.left[i], signal.right[i]});
                int n = static_cast<int>(signal.left.size()), m = n;
                processor.ProcessDouble(in.data(), &n, out.data(), &m);
                std::vector<double> sum;
                for (int i = 0; i < n; ++i) sum.push_back(out[2 * i] + out[2 * i + 1]);
                if (reference.empty()) reference = sum;
                for (int i = 0; i < n; ++i)
                    ASSERT_NEAR(sum[i], reference[i], 1e-14)
                        << "phase " << phase << " width " << width;
            }
        }
    }
}

// The report ----------------------------------------------------------------------------------

// The start tags of an SVG document's elements of one name that contain `having`.
std::vector<std::string> Elements(const std::string& svg, const std::string& name,
                                  const std::string& having = "") {
    std::vector<std::string> found;
    for (size_t at = svg.find("<" + name + " "); at != std::string::npos;
         at = svg.find("<" + name + " ", at + 1)) {
        const std::string tag = svg.substr(at, svg.find('>', at) - at);
        if (tag.find(having) != std::string::npos) found.push_back(tag);
    }
    return found;
}

std::string Attribute(const std::string& tag, const std::string& name) {
    const size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return "";
    const size_t start = at + name.size() + 3;
    return tag.substr(start, tag.find('"', start) - start);
}

double Number(const std::string& tag, const std::string& name) {
    return std::stod("0" + Attribute(tag, name));
}

// Every objective's JSON and SVG are well-formed, also for a file name that JSON and XML must
// escape (quotes, markup, a control character and bytes that are not UTF-8).
TEST(AnalysisReport, JsonAndSvgAreWellFormed) {
    const Signal signal = Tones(2000, true, false);
    AnalysisReportInfo info;
    info.inputName = "C:\\mix \"final\" <v2> & co\t\xE9t\xE9.wav";
    info.formatText = "64-bit float, stereo, 44100 Hz";
    info.sampleRate = kRate;
    RenderCheck render;
    render.done = true;
    render.agrees = true;
    const std::vector<ThresholdResult> checks =
        CheckThresholds(SignalFigures(), {{AnalysisMetric::kPeak, true, -1.0}});
    for (AnalysisObjective objective :
         {AnalysisObjective::kMonoLoss, AnalysisObjective::kCorrelation, AnalysisObjective::kPeak,
          AnalysisObjective::kCrest}) {
        SCOPED_TRACE(AnalysisObjectiveName(objective));
        AnalysisSettings settings;
        settings.objective = objective;
        const PhaseAnalysisResult r = Analyze(signal, settings);
        render.measured = r.cases[r.suggested].bestMoments;
        render.figures = FiguresOf(render.measured);
        std::string where;
        const std::string json = AnalysisJson(r, info, render, checks);
        EXPECT_TRUE(wellformed::IsJson(json, &where)) << where << "\n" << json.substr(0, 400);
        EXPECT_NE(json.find("\"suggested\": {\"mode\": \"lr\""), std::string::npos);
        const std::string svg = AnalysisSvg(r, info);
        EXPECT_TRUE(wellformed::IsXml(svg, &where)) << where;
        EXPECT_EQ(svg.find("href"), std::string::npos) << "self-contained";
        EXPECT_EQ(svg.find("<script"), std::string::npos);
        const std::string text = AnalysisText(r, info, render, checks);
        EXPECT_NE(text.find("does not depend on Phase or Width"), std::string::npos) << text;
        EXPECT_NE(text.find("the render agrees"), std::string::npos);
    }
}

// The plot and the table show what they hold: the suggested angle's line inside each panel's
// frame (here at 180, the edge), curves that coincide (the flat MS ones) still all visible, a
// legend for every kind of mark, the correlation axis's zero unsigned; the table's figures in
// their columns whatever their sign.
TEST(AnalysisReport, PlotAndTableShowWhatTheyHold) {
    AnalysisReportInfo info;
    info.inputName = "inverted.wav";
    info.formatText = "64-bit float, stereo, 44100 Hz";
    info.sampleRate = kRate;
    AnalysisSettings settings;
    settings.objective = AnalysisObjective::kPeak;
    PhaseAnalysisResult r = Analyze(Scaled(3000, -1.0), settings);
    ASSERT_EQ(std::abs(r.cases[r.suggested].bestPhase), 180);
    const std::string svg = AnalysisSvg(r, info);
    const std::vector<std::string> frames = Elements(svg, "rect", "fill=\"#fafafa\"");
    ASSERT_EQ(frames.size(), 3u);
    const double left = Number(frames[0], "x"), right = left + Number(frames[0], "width");
    // The legend's rows start above its first case's label.
    double legendTop = Number(Elements(svg, "svg")[0], "height");
    for (size_t at = svg.find("(best "); at != std::string::npos; at = svg.find("(best ", at + 1)) {
        const size_t tag = svg.rfind("<text ", at);
        legendTop = std::min(legendTop, Number(svg.substr(tag, svg.find('>', tag) - tag), "y") - 12);
    }
    for (const std::string& line : Elements(svg, "line", "stroke-dasharray")) {
        if (Number(line, "y1") > legendTop) continue;  // the legend's sample
        EXPECT_GT(Number(line, "x1"), left + 1.0);
        EXPECT_LT(Number(line, "x1"), right - 1.0);
    }
    // A later polyline over an earlier one with the same points must leave some of it showing.
    const std::vector<std::string> curves = Elements(svg, "polyline");
    size_t coincident = 0;
    for (size_t i = 0; i < curves.size(); ++i)
        for (size_t j = i + 1; j < curves.size(); ++j)
            if (Attribute(curves[i], "points") == Attribute(curves[j], "points")) {
                ++coincident;
                EXPECT_TRUE(Number(curves[j], "stroke-width") < Number(curves[i], "stroke-width") ||
                            !Attribute(curves[j], "stroke-dasharray").empty());
            }
    EXPECT_GT(coincident, 0u);
    EXPECT_NE(svg.find(">0.0</text>"), std::string::npos);
    EXPECT_EQ(svg.find(">+0.0</text>"), std::string::npos);
    // The legend (below the panels) shows each mark: dots, rings and the dashed line.
    for (const auto& [name, mark] :
         {std::make_pair("circle", "r=\"1.8\""), std::make_pair("circle", "r=\"4.5\""),
          std::make_pair("line", "stroke-dasharray")}) {
        bool inLegend = false;
        for (const std::string& e : Elements(svg, name, mark))
            inLegend |= Number(e, name == std::string("line") ? "y1" : "cy") > legendTop;
        EXPECT_TRUE(inLegend) << mark;
    }

    // Peaks of both signs and widths: each column ends where its heading does.
    const double peaks[] = {-12.3, 2.5, -0.4, 10.0, -3.0, 0.0};
    ASSERT_EQ(r.cases.size(), std::size(peaks));
    for (size_t i = 0; i < r.cases.size(); ++i) r.cases[i].best.peakDbfs = peaks[i];
    const std::string text = AnalysisText(r, info, RenderCheck(), {});
    const size_t heading = text.rfind('\n', text.find("  mode "));
    ASSERT_NE(heading, std::string::npos);
    std::vector<size_t> ends;
    for (size_t line = heading; line != std::string::npos && ends.size() <= r.cases.size();
         line = text.find('\n', line + 1)) {
        const size_t end = text.find('\n', line + 1);
        const std::string row = text.substr(line + 1, end - line - 1);
        ends.push_back(ends.empty() ? row.find("peak") + 4 : row.find("dBFS") + 4);
    }
    for (size_t end : ends) EXPECT_EQ(end, ends[1]) << text;
}

TEST(AnalysisReport, ThresholdsFailBeyondTheirLimitOrWhenUndefined) {
    SignalFigures input;
    input.monoLossDb = 3.5;
    input.correlation = -0.2;
    input.peakDbfs = -1.0;
    input.crestDb = std::nan("");
    const struct {
        AnalysisThreshold threshold;
        bool failed;
    } cases[] = {
        {{AnalysisMetric::kMonoLoss, true, 3.0}, true},
        {{AnalysisMetric::kMonoLoss, true, 3.5}, false},
        {{AnalysisMetric::kCorrelation, false, 0.0}, true},
        {{AnalysisMetric::kCorrelation, false, -0.5}, false},
        {{AnalysisMetric::kPeak, true, -0.1}, false},
        {{AnalysisMetric::kCrest, true, 20.0}, true},  // undefined cannot pass
    };
    for (const auto& c : cases) {
        const std::vector<ThresholdResult> results = CheckThresholds(input, {c.threshold});
        EXPECT_EQ(results.at(0).failed, c.failed) << AnalysisMetricName(c.threshold.metric);
    }
}

// A render agrees when each sample is off by at most the format's step, not by more.
TEST(AnalysisReport, RendersAgreeWithinTheirFormatsStep) {
    const Signal s = Tones(4000, false, false);
    constexpr double kStep = 1.0 / 32768;
    CStereoMeter exact, rounded, shifted;  // shifted: 0.1 % louder on the left
    for (size_t i = 0; i < s.left.size(); ++i) {
        exact.Add(s.left[i], s.right[i]);
        rounded.Add(std::trunc(s.left[i] / kStep) * kStep, std::trunc(s.right[i] / kStep) * kStep);
        shifted.Add(1.001 * s.left[i], s.right[i]);
    }
    std::string differences;
    EXPECT_TRUE(MomentsAgree(exact.Moments(), rounded.Moments(), kStep, &differences))
        << differences;
    EXPECT_FALSE(MomentsAgree(exact.Moments(), rounded.Moments(), 0.0, &differences));
    EXPECT_FALSE(MomentsAgree(exact.Moments(), shifted.Moments(), kStep, &differences));
    EXPECT_NE(differences.find("RMS"), std::string::npos) << differences;
    StereoMoments longer = exact.Moments();
    longer.frames += 1;
    EXPECT_FALSE(MomentsAgree(exact.Moments(), longer, kStep, &differences));
}

// The command line and the file input -----------------------------------------------------------

TEST(AnalysisOptions, AnalyzeTakesOneInputAndItsOwnOptions) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(
        ParseRenderOptions({"--analyze", "--objective", "crest", "--plot", "p.svg",
                            "--report=r.json", "--fail-above", "mono-loss=3", "--fail-below",
                            "correlation=-0.25", "--width", "150", "--mode", "ms", "in.wav"},
                           &o, &error))
        << error;
    EXPECT_TRUE(o.analyze);
    EXPECT_EQ(o.inputPath, "in.wav");
    EXPECT_EQ(o.objective, AnalysisObjective::kCrest);
    EXPECT_EQ(o.plotPath, "p.svg");
    EXPECT_EQ(o.reportPath, "r.json");
    ASSERT_EQ(o.thresholds.size(), 2u);
    EXPECT_EQ(o.thresholds[1].metric, AnalysisMetric::kCorrelation);
    EXPECT_FALSE(o.thresholds[1].above);
    EXPECT_DOUBLE_EQ(o.thresholds[1].limit, -0.25);

    const struct {
        std::vector<std::string> args;
        const char* error;
    } refused[] = {
        {{"--analyze", "in.wav", "out.wav"}, "writes no audio"},
        {{"--analyze"}, "needs INPUT.wav"},
        {{"--analyze", "--phase", "10", "in.wav"}, "--phase"},
        {{"--analyze", "--mode", "cs", "in.wav"}, "LR phase and MS phase: --mode lr or ms"},
        {{"--analyze", "--preset", "X", "in.wav"}, "--preset"},
        {{"--analyze", "--objective", "loudness", "in.wav"}, "not one of"},
        {{"--analyze", "--fail-above", "peak", "in.wav"}, "METRIC=VALUE"},
        {{"--analyze", "--fail-above", "peak=loud", "in.wav"}, "not a number"},
        {{"--analyze", "--fail-below", "correlation=2", "in.wav"}, "-1 to 1"},
        {{"--analyze", "--fail-above", "mono-loss=-1", "in.wav"}, "0 or more"},
        {{"--analyze", "--fail-above", "crest=-0.5", "in.wav"}, "0 or more"},
        {{"--plot", "p.svg", "in.wav", "out.wav"}, "--plot needs --analyze"},
    };
    for (const auto& c : refused) {
        RenderOptions options;
        EXPECT_FALSE(ParseRenderOptions(c.args, &options, &error)) << c.error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// A 16-bit mono file is read as the plug-in's single-precision path sees it, in both channels,
// again after Rewind; a rendered file's step is its format's.
TEST(AnalysisInput, WavFilesAreReadAsThePlugInReceivesThem) {
    const std::string path = ::testing::TempDir() + "analysis-input.wav";
    struct Remover {
        std::string path;
        ~Remover() { std::remove(path.c_str()); }
    } remover{path};  // declared first: removed after the source has closed it
    const int16_t samples[] = {0, 16384, -32768, 32767, -1};
    CWavWriter writer;
    ASSERT_TRUE(writer.Open(path, MakeWaveFormat(kWaveFormatPcm, 1, kRate, 16))) << writer.Error();
    ASSERT_TRUE(writer.Write(samples, 5));
    ASSERT_TRUE(writer.Finish()) << writer.Error();

    CWavAnalysisSource source;
    ASSERT_TRUE(source.Open(path)) << source.Error();
    EXPECT_TRUE(source.SinglePrecision());
    EXPECT_EQ(source.FrameCount(), 5u);
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(source.Rewind());
        double left[8], right[8];
        ASSERT_EQ(source.Read(left, right, 8), 5u);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(left[i], samples[i] / 32768.0);
            EXPECT_EQ(right[i], left[i]);
        }
    }
    StereoMoments moments;
    double quantum = 0;
    std::string error;
    ASSERT_TRUE(MeasureWavFile(path, &moments, &quantum, &error)) << error;
    EXPECT_EQ(quantum, 1.0 / 32768);
    EXPECT_EQ(moments.frames, 5.0);
    EXPECT_EQ(moments.peak, 1.0);
    CWavAnalysisSource missing;
    EXPECT_FALSE(missing.Open(path + ".gone"));
    EXPECT_NE(missing.Error().find("analysis-input.wav.gone"), std::string::npos)
        << missing.Error();
}

}  // namespace
