// The precise quadrature filter measured in the processor: the reference chain and the
// one-frame-late quadrature chain, written out below, and the processor itself run on a sum of
// tones at each rate; the processor's output must be the chains' bit for bit, and each tone's
// phase and level are read from the settled output.
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "engine/OutputStage.h"
#include "engine/PreciseQuadrature.h"
#include "tests/engine/EngineTestSupport.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToneSpacingHz = 5.0;  // every rate is a multiple of it
constexpr int kTones = 40;

// One chain of sections y[n] = c * (y[n-2] - x[n]) + x[n-2] in series, in double precision.
// history[0] holds the chain's two previous inputs, history[s + 1] section s's two previous
// outputs (the next section's inputs), the newer first.
class PreciseChain {
public:
    explicit PreciseChain(const double (&coefficients)[kPreciseSections]) : m_c(coefficients) {}

    double Run(double x) {
        for (int s = 0; s < kPreciseSections; ++s) {
            const double y = m_c[s] * (m_history[s + 1][1] - x) + m_history[s][1];
            Push(s, x);
            x = y;
        }
        Push(kPreciseSections, x);
        return x;
    }

private:
    void Push(int s, double x) {
        m_history[s][1] = m_history[s][0];
        m_history[s][0] = x;
    }
    const double* m_c;
    double m_history[kPreciseSections + 1][2] = {};
};

// Frames until the slowest pole (at z^2 = c, radius sqrt(c)) has decayed by 1e-9.
int SettleFrames(const PreciseQuadratureTable& table) {
    double c = 0.0;
    for (int s = 0; s < kPreciseSections; ++s)
        c = std::fmax(c, std::fmax(table.reference[s], table.quadrature[s]));
    return static_cast<int>(std::ceil(std::log(1e-9) / std::log(std::sqrt(c))));
}

struct RateCase {
    uint32_t rateHz;
    double phaseBoundDegrees;
};

// Every tabled rate, one below them and one between two of them (these take the next higher
// rate's coefficients, whose band then reaches further down). At 192 kHz the chains reach only
// 0.0021 degrees.
constexpr RateCase kRates[] = {{7000, 0.002},   {8000, 0.002},  {11025, 0.002}, {16000, 0.002},
                               {22050, 0.002},  {32000, 0.002}, {44100, 0.002}, {48000, 0.002},
                               {64000, 0.002},  {88200, 0.002}, {96000, 0.002}, {176400, 0.002},
                               {192000, 0.0022}};

// Tone frequencies in tone spacings, log-spaced from 20 Hz to min(20 kHz, 0.4535 x rate).
std::vector<int> ToneBins(uint32_t rateHz) {
    const double topHz = std::fmin(20000.0, 0.4535 * rateHz);
    std::vector<int> bins;
    for (int i = 0; i < kTones; ++i) {
        const int bin =
            static_cast<int>(20.0 * std::pow(topHz / 20.0, i / (kTones - 1.0)) / kToneSpacingHz);
        if (bins.empty() || bin != bins.back()) bins.push_back(bin);
    }
    return bins;
}

struct WorstTone {
    double phaseErrorDegrees = 0.0, phaseAtHz = 0.0;  // right output against 90 degrees behind
    double levelErrorDb = 0.0, levelAtHz = 0.0;       // either output against the input
    int framesUnlikeProcessor = 0;                    // the processor's output against the loop's
};

// Runs both chains and the output stage on the sum of the tones, checks the processor's output
// on the same input against them, and fits each tone in the settled output. Tones 5 Hz apart
// over a window of rate / 5 frames are orthogonal there, so each tone's correlation with the
// window is its least-squares sine fit.
WorstTone MeasureTones(const PreciseQuadratureTable& table, uint32_t rateHz) {
    const std::vector<int> bins = ToneBins(rateHz);
    const int window = static_cast<int>(rateHz / kToneSpacingHz);
    std::vector<double> cosine(window), sine(window);
    for (int n = 0; n < window; ++n) {
        cosine[n] = std::cos(2.0 * kPi * n / window);
        sine[n] = std::sin(2.0 * kPi * n / window);
    }
    const int settle = SettleFrames(table);
    std::vector<double> signal(2 * static_cast<size_t>(settle + window));
    for (int n = 0; n < settle + window; ++n) {
        double x = 0.0;
        for (int bin : bins) x += cosine[static_cast<int64_t>(bin) * n % window];
        signal[2 * n] = signal[2 * n + 1] = x;
    }
    const ParamValues params = Settings().Phase(90).With(QuadratureFilter::kPrecise);
    TestEngine engine(2, kWaveFormatIeeeFloat, 64, rateHz);
    engine.params.SetParams(params);
    const std::vector<double> processed = Process(engine, signal);
    const Coefficients coefficients = ComputeCoefficients(params);

    PreciseChain reference(table.reference), quadrature(table.quadrature);
    double late = 0.0;  // the quadrature chain's output of the previous frame
    WorstTone worst;
    std::vector<std::complex<double>> in(bins.size()), left(bins.size()), right(bins.size());
    for (int n = 0; n < settle + window; ++n) {
        const double x = signal[2 * n];
        // The processor adds 1e-30 (in single precision) to every input; chain B has the same
        // input and coefficients as chain A, so its output t equals u.
        const double offset = x + static_cast<double>(1e-30f);
        const double u = reference.Run(offset);
        const double v = late;
        late = quadrature.Run(offset);
        double l, r;
        OutputStage::MixFrame(u, u, v, coefficients, &l, &r);
        if (std::memcmp(&l, &processed[2 * n], sizeof l) != 0 ||
            std::memcmp(&r, &processed[2 * n + 1], sizeof r) != 0)
            ++worst.framesUnlikeProcessor;
        if (n < settle) continue;
        for (size_t k = 0; k < bins.size(); ++k) {
            const int64_t i = static_cast<int64_t>(bins[k]) * n % window;
            const std::complex<double> phasor(cosine[i], -sine[i]);
            in[k] += x * phasor;
            left[k] += l * phasor;
            right[k] += r * phasor;
        }
    }
    for (size_t k = 0; k < bins.size(); ++k) {
        const double hz = bins[k] * kToneSpacingHz;
        const double phase = std::fabs(std::arg(right[k] / left[k]) * 180.0 / kPi + 90.0);
        if (phase > worst.phaseErrorDegrees) worst.phaseErrorDegrees = phase, worst.phaseAtHz = hz;
        for (const std::complex<double>& out : {left[k], right[k]}) {
            const double level = std::fabs(20.0 * std::log10(std::abs(out / in[k])));
            if (level > worst.levelErrorDb) worst.levelErrorDb = level, worst.levelAtHz = hz;
        }
    }
    return worst;
}

// At Phase 90 in LR phase with the same signal on both inputs, the left output is the
// reference chain's and the right output the late quadrature chain's (the reference chain's
// share, times the cosine of the product's 90 degrees, is 2e-9: 1e-7 degrees). The processor
// takes the coefficients of the stream's rate.
TEST(PreciseQuadrature, ProcessorsRightOutputLags90DegreesAtUnityLevelFrom20HzTo20kHz) {
    for (const RateCase& rate : kRates) {
        SCOPED_TRACE(rate.rateHz);
        const WorstTone worst = MeasureTones(PreciseQuadratureFor(rate.rateHz), rate.rateHz);
        EXPECT_EQ(worst.framesUnlikeProcessor, 0);
        EXPECT_LE(worst.phaseErrorDegrees, rate.phaseBoundDegrees) << "at " << worst.phaseAtHz;
        EXPECT_LE(worst.levelErrorDb, 0.005) << "at " << worst.levelAtHz;
    }
}

}  // namespace
