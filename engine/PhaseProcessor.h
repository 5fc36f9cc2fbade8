// CPhaseProcessor: the signal path over a block. It makes a quadrature pair with an all-pass
// network (no latency), a 127-tap FIR quadrature filter (63 frames of latency) or the precise
// filter's longer all-pass network (no latency, coefficients for the stream's rate), rotates the
// second signal by the phase angle, applies the mode matrix and the mid/side gains, and
// measures the result for the meters. The work is done by the kernels of one instruction set
// (PhaseKernels.h), the fastest the processor runs unless another is selected; all give
// identical results. Streaming thread only, or before streaming starts.
#pragma once
#include <cstdint>

#include "engine/PhaseKernels.h"

class CPhaseProcessor {
public:
    CPhaseProcessor();

    // Clears the all-pass chains of both networks, the FIR delay line and the compensation
    // delays.
    void Reset();

    // Uses the given path from the next block on; false, and no change, when it is not
    // supported here. The state carries over, so the output continues without a seam.
    bool SelectPath(SignalPath path);
    SignalPath Path() const { return m_path; }

    // One block of interleaved (or mono) samples into interleaved stereo; the meters in the
    // block record are carried on. No allocation, no system call.
    void ProcessFloat(PhaseBlock& block, const float* in, float* out) {
        ResumeFirFinite(block.filter == QuadratureFilter::kFir);
        m_kernels->processFloat(m_state, block, in, out);
        KeepChainsFinite(block.filter);
    }
    void ProcessDouble(PhaseBlock& block, const double* in, double* out) {
        ResumeFirFinite(block.filter == QuadratureFilter::kFir);
        m_kernels->processDouble(m_state, block, in, out);
        KeepChainsFinite(block.filter);
    }
    // The 16-bit conversions of SampleConvert.h over arrays.
    void PcmToFloat(const int16_t* in, float* out, int count) const {
        m_kernels->pcmToFloat(in, out, count);
    }
    void FloatToPcm(const float* in, int16_t* out, int count) const {
        m_kernels->floatToPcm(in, out, count);
    }

private:
    // A NaN or an infinity that reached the all-pass chains of the filter that ran would stay in
    // their recursion for good and make every later output NaN: the chains start again from
    // silence instead. Finite input keeps them finite, so its output is not changed.
    void KeepChainsFinite(QuadratureFilter filter);
    // The FIR's lines pass a NaN or an infinity on within their length while the FIR runs, but
    // keep it while the all-pass network runs instead: when the FIR comes back, those values
    // become silence. Finite values stay as they are.
    void ResumeFirFinite(bool fir) {
        if (fir && !m_firRunning) KeepFirLinesFinite();
        m_firRunning = fir;
    }
    void KeepFirLinesFinite();

    SignalPath m_path;
    const SignalKernels* m_kernels;
    PhaseState m_state;
    bool m_firRunning = false;  // the last block ran the FIR
};
