// CPhaseProcessor: the per-frame signal path. It makes a quadrature pair with either an
// all-pass network (no latency) or a 127-tap FIR quadrature filter (63 frames of latency),
// rotates the second signal by the phase angle, applies the mode matrix and the mid/side gains.
#pragma once
#include <cstdint>

#include "engine/Coefficients.h"

constexpr int kFirTaps = 127;
constexpr int kFirLatencyFrames = 63;
constexpr double kFirInputScale = 0.6371267756210187;  // unity magnitude at a quarter of fs

// Hamming-windowed 1/k taps for odd k = 1..63, as stored (single precision). The last three sit
// one step above the formula's rounding; these values, not the formula, define the filter.
inline constexpr float kFirTapMagnitudes[32] = {
    0.9994282f,    0.33162072f,   0.1971551f,    0.13889408f,   0.10604952f,   0.08477398f,
    0.06974469f,   0.05848026f,   0.049669147f,  0.042553794f,  0.036666665f,  0.031704f,
    0.027460154f,  0.023791097f,  0.020593038f,  0.017789295f,  0.015321944f,  0.013146338f,
    0.011227389f,  0.009537003f,  0.008052271f,  0.006754156f,  0.0056265485f, 0.0046555544f,
    0.0038289705f, 0.0031358856f, 0.0025663788f, 0.0021112899f, 0.001762044f,  0.0015105197f,
    0.0013489483f, 0.0012698413f};

// The FIR table indexed by delay-line position (0 oldest, 63 centre, 126 newest): +c(k) at
// 63 - k, -c(k) at 63 + k, zero at every odd position.
struct FirQuadratureTable {
    float value[128];
    constexpr FirQuadratureTable() : value() {
        for (int i = 0; i < 32; ++i) {
            const int k = 2 * i + 1;
            value[kFirLatencyFrames - k] = kFirTapMagnitudes[i];
            value[kFirLatencyFrames + k] = -kFirTapMagnitudes[i];
        }
    }
};
inline constexpr FirQuadratureTable kFirQuadratureTable{};

class CPhaseProcessor {
public:
    CPhaseProcessor() { Reset(); }

    // Clears the all-pass chains, the FIR delay line and the compensation buffers.
    void Reset();

    // One frame: left and right in (with the input offset added), left and right out.
    // kSingleFirInput rounds the FIR input to single precision (the float sample path).
    template <bool kSingleFirInput>
    inline void Step(double left, double right, const Coefficients& c, bool fir, double* outLeft,
                     double* outRight);

private:
    // Three all-pass sections y = k * (y[n-2] - x) + x[n-2] in series.
    struct AllpassChain {
        double x1, x2;   // the chain's two previous inputs
        double y[3][2];  // each section's two previous outputs
    };

    static inline double RunChain(AllpassChain& chain, const double (&k)[3], double x);
    inline double FirQuadrature(double scaledInput);

    AllpassChain m_chainA;  // reference path of the first signal
    AllpassChain m_chainB;  // reference path of the second signal
    AllpassChain m_chainC;  // quadrature path of the second signal, used one frame late

    // The FIR delay line, stored twice over so the 127 newest values are always contiguous.
    double m_firLine[2 * kFirTaps];
    int m_firHead;
    // Compensation delays that give the reference signals the FIR's latency.
    double m_delayA[kFirTaps];
    double m_delayB[kFirTaps];
    int m_delayIndex;
};

inline double CPhaseProcessor::RunChain(AllpassChain& chain, const double (&k)[3], double x) {
    double inPrev2 = chain.x2;  // x[n-2] of the first section
    chain.x2 = chain.x1;
    chain.x1 = x;
    for (int s = 0; s < 3; ++s) {
        double* ys = chain.y[s];
        const double y = k[s] * (ys[1] - x) + inPrev2;
        // This section's output two frames ago is the next section's x[n-2].
        inPrev2 = ys[1];
        ys[1] = ys[0];
        ys[0] = y;
        x = y;
    }
    return x;
}

inline double CPhaseProcessor::FirQuadrature(double scaledInput) {
    m_firLine[m_firHead] = scaledInput;
    m_firLine[m_firHead + kFirTaps] = scaledInput;
    m_firHead = m_firHead + 1 == kFirTaps ? 0 : m_firHead + 1;
    const double* line = m_firLine + m_firHead;  // line[0] oldest, line[126] newest
    double sum = 0.0;
    for (int p = 0; p < kFirTaps; p += 2)
        sum += static_cast<double>(kFirQuadratureTable.value[p]) * line[p];
    return sum;
}

template <bool kSingleFirInput>
inline void CPhaseProcessor::Step(double left, double right, const Coefficients& c, bool fir,
                                  double* outLeft, double* outRight) {
    static constexpr double kReferenceCoeffs[3] = {0.232829, 0.843573, 0.980351};
    static constexpr double kQuadratureCoeffs[3] = {0.612779, 0.942636, 0.995302};

    double a = left, b = right;
    if (c.mode == Mode::kMsPhase) {  // rotate the side against the mid
        a = left + right;
        b = left - right;
    }

    double u, t, v;
    if (!fir) {
        u = RunChain(m_chainA, kReferenceCoeffs, a);
        t = RunChain(m_chainB, kReferenceCoeffs, b);
        v = m_chainC.y[2][0];  // chain C's output of the previous frame
        RunChain(m_chainC, kQuadratureCoeffs, b);
    } else {
        const double firInput = kSingleFirInput ? static_cast<double>(static_cast<float>(b)) : b;
        v = FirQuadrature(firInput * kFirInputScale);
        u = m_delayA[m_delayIndex];
        t = m_delayB[m_delayIndex];
        m_delayA[m_delayIndex] = a;
        m_delayB[m_delayIndex] = b;
        if (++m_delayIndex == kFirLatencyFrames) m_delayIndex = 0;
    }

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
    *outLeft = m + s;
    *outRight = m - s;
}
