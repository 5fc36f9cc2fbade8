// The signal path as the obvious per-frame code: state in its simplest form, the FIR line
// shifted by one each frame and summed in one accumulator, each frame run to the end before the
// next; the precise filter's chains as the all-pass network's with more sections. The
// benchmark measures the engine against it and checks that both give the same bits.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Coefficients.h"
#include "engine/ParamValues.h"
#include "engine/PhaseKernels.h"
#include "engine/SampleConvert.h"

class CPlainPhase {
public:
    CPlainPhase(const ParamValues& p, uint32_t rateHz)
        : m_c(ComputeCoefficients(p)), m_precise(PreciseQuadratureFor(rateHz)) {
        m_filter = FilterOf(p);
        m_pre = MeterPositionOf(p) == MeterPosition::kPre;
        for (int i = 0; i < kFirTaps; ++i) m_tap[i] = kFirQuadratureTable.value[i];
    }

    // Interleaved stereo in and out; float, double or 16-bit PCM as the engine takes them.
    void Process(const float* in, float* out, int frames) {
        for (int i = 0; i < frames; ++i) {
            double y[2];
            Frame(static_cast<double>(in[2 * i] + 1e-30f),
                  static_cast<double>(in[2 * i + 1] + 1e-30f), true, y);
            out[2 * i] = static_cast<float>(y[0]);
            out[2 * i + 1] = static_cast<float>(y[1]);
        }
    }
    void Process(const double* in, double* out, int frames) {
        const double offset = static_cast<double>(1e-30f);
        for (int i = 0; i < frames; ++i)
            Frame(in[2 * i] + offset, in[2 * i + 1] + offset, false, out + 2 * i);
    }
    void Process(const int16_t* in, int16_t* out, int frames) {
        for (int i = 0; i < frames; ++i) {
            double y[2];
            Frame(static_cast<double>(PcmToFloat(in[2 * i]) + 1e-30f),
                  static_cast<double>(PcmToFloat(in[2 * i + 1]) + 1e-30f), true, y);
            out[2 * i] = FloatToPcm(static_cast<float>(y[0]));
            out[2 * i + 1] = FloatToPcm(static_cast<float>(y[1]));
        }
    }

    double Phase() const { return m_acc; }
    double Peak(int channel) const { return m_peak[channel]; }

private:
    struct Section {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        double Run(double k, double x) {
            const double y = k * (y2 - x) + x2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
    };
    template <int kSections>
    static double Chain(Section (&s)[kSections], const double (&k)[kSections], double x) {
        for (int i = 0; i < kSections; ++i) x = s[i].Run(k[i], x);
        return x;
    }

    void Meter(double x, double y) {
        m_acc = (x >= 0.0) == (y >= 0.0) ? m_acc * 0.9999 : m_acc + (1 - m_acc) * (1 - 0.9999);
    }

    void Frame(double left, double right, bool single, double* out) {
        static constexpr double kRef[3] = {0.232829, 0.843573, 0.980351};
        static constexpr double kQuad[3] = {0.612779, 0.942636, 0.995302};
        if (m_pre) Meter(left, right);
        const bool ms = m_c.mode == Mode::kMsPhase;
        const double a = ms ? left + right : left, b = ms ? left - right : right;
        double u, t, v;
        if (m_filter == QuadratureFilter::kPrecise) {
            u = Chain(m_preciseA, m_precise.reference, a);
            t = Chain(m_preciseB, m_precise.reference, b);
            v = m_lastPreciseC;
            m_lastPreciseC = Chain(m_preciseC, m_precise.quadrature, b);
        } else if (m_filter != QuadratureFilter::kFir) {
            u = Chain(m_chainA, kRef, a);
            t = Chain(m_chainB, kRef, b);
            v = m_lastC;
            m_lastC = Chain(m_chainC, kQuad, b);
        } else {
            std::copy(m_line + 1, m_line + kFirTaps, m_line);
            m_line[kFirTaps - 1] =
                (single ? static_cast<double>(static_cast<float>(b)) : b) * kFirInputScale;
            v = 0.0;
            for (int p = 0; p < kFirTaps; p += 2) v += static_cast<double>(m_tap[p]) * m_line[p];
            u = m_delayA[0];
            t = m_delayB[0];
            std::copy(m_delayA + 1, m_delayA + kFirLatencyFrames, m_delayA);
            std::copy(m_delayB + 1, m_delayB + kFirLatencyFrames, m_delayB);
            m_delayA[kFirLatencyFrames - 1] = a;
            m_delayB[kFirLatencyFrames - 1] = b;
        }
        const double q = t * m_c.cosPhase + v * m_c.sinPhase;
        double p = (q + u) / 2, r = m_c.mode == Mode::kScEncode ? (q - u) / 2 : (u - q) / 2;
        if (m_c.mode == Mode::kLrPhase) p = u, r = q;
        const double m = (p + r) * m_c.midGain, s = (p - r) * m_c.sideGain;
        out[0] = m + s;
        out[1] = m - s;
        if (!m_pre) Meter(out[0], out[1]);
        for (int ch = 0; ch < 2; ++ch) m_peak[ch] = std::max(m_peak[ch], std::fabs(out[ch]));
    }

    Coefficients m_c;
    const PreciseQuadratureTable& m_precise;
    QuadratureFilter m_filter = QuadratureFilter::kAllpass;
    bool m_pre = false;
    Section m_chainA[3], m_chainB[3], m_chainC[3];
    Section m_preciseA[kPreciseSections], m_preciseB[kPreciseSections],
        m_preciseC[kPreciseSections];
    double m_lastPreciseC = 0;
    float m_tap[kFirTaps] = {};
    double m_lastC = 0, m_line[kFirTaps] = {};
    double m_delayA[kFirLatencyFrames] = {}, m_delayB[kFirLatencyFrames] = {};
    double m_acc = 0, m_peak[2] = {0, 0};
};
