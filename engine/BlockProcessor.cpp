// Block processing: coefficients at the start of a block, the per-frame loop with its meters,
// bypass, and the sample formats around it.
#include "engine/BlockProcessor.h"

#include <algorithm>
#include <cmath>

#include "engine/SampleConvert.h"

namespace {
// Keeps the recursive sections out of denormals in silence; added to every input sample.
constexpr float kInputOffset = 1e-30f;
constexpr double kInputOffsetDouble = static_cast<double>(kInputOffset);

inline double WithOffset(float sample) {
    return static_cast<double>(sample + kInputOffset);
}
inline double WithOffset(double sample) {
    return sample + kInputOffsetDouble;
}
}  // namespace

CBlockProcessor::~CBlockProcessor() {
    m_meters.ClearPhaseAndPeaks();
}

void CBlockProcessor::ApplyCoefficients(const ParamValues& params) {
    m_coefficients = ComputeCoefficients(params);
    m_coefficientsValid.store(1, kRelaxed);
}

tw::Result CBlockProcessor::UpdateCoefficients() {
    ParamValues current;
    m_params.UpdateState(&current);
    m_coefficientsValid.store(0, kRelaxed);
    return tw::kOk;
}

tw::Result CBlockProcessor::StartStream(const WaveFormat* input, const WaveFormat* output) {
    m_inputFormat = input;
    m_outputFormat = output;
    m_meters.ResetForStream();
    m_processor.Reset();
    ParamValues current;
    m_params.UpdateState(&current);
    ApplyCoefficients(current);
    return tw::kOk;
}

float CBlockProcessor::GetPeak(Channel channel) {
    const int c = IndexOf(channel);
    m_meters.peakRead[c].store(1, kRelaxed);
    return static_cast<float>(m_meters.heldPeak[c].load(kRelaxed));
}

tw::Result CBlockProcessor::ProcessFloat(const float* in, int* inFrames, float* out,
                                         int* outFrames) {
    return ProcessBlock<float, true>(in, inFrames, out, outFrames);
}

tw::Result CBlockProcessor::ProcessDouble(const double* in, int* inFrames, double* out,
                                          int* outFrames) {
    return ProcessBlock<double, false>(in, inFrames, out, outFrames);
}

tw::Result CBlockProcessor::ProcessPcm16(const int16_t* in, int frames, int16_t* out,
                                         float* inScratch, float* outScratch) {
    const int channels = m_inputFormat != nullptr && m_inputFormat->nChannels == 1 ? 1 : 2;
    for (int i = 0; i < channels * frames; ++i) inScratch[i] = PcmToFloat(in[i]);
    int inFrames = frames, outFrames = frames;
    const tw::Result result = ProcessFloat(inScratch, &inFrames, outScratch, &outFrames);
    for (int i = 0; i < 2 * outFrames; ++i) out[i] = FloatToPcm(outScratch[i]);
    return result;
}

template <typename Sample, bool kSingle>
tw::Result CBlockProcessor::ProcessBlock(const Sample* in, int* inFrames, Sample* out,
                                         int* outFrames) {
    const int n = std::max(0, std::min(*inFrames, *outFrames));
    *inFrames = *outFrames = n;
    const bool stereoIn = m_inputFormat == nullptr || m_inputFormat->nChannels == 2;
    const int inStride = stereoIn ? 2 : 1;

    if (m_bypass.load(kRelaxed)) {
        for (int i = 0; i < n; ++i) {
            out[2 * i] = in[i * inStride];
            out[2 * i + 1] = in[i * inStride + inStride - 1];
        }
        StopMeters();
        return tw::kOk;
    }

    // New coefficients when a value changed, when automation moved (asked only if no value
    // changed: asking consumes the automation's flag) or when they were invalidated.
    ParamValues p;
    const bool changed = m_params.UpdateState(&p);
    if (changed || m_params.TestAndClearAutomationChanged() ||
        !m_coefficientsValid.load(kRelaxed)) {
        ApplyCoefficients(p);
    }
    const Coefficients c = m_coefficients;
    const bool fir = FilterOf(p) == QuadratureFilter::kFir;
    const bool meterPre = MeterPositionOf(p) == MeterPosition::kPre;

    // The meters run in locals and are published once per block.
    MeterState& m = m_meters;
    constexpr int kLeft = IndexOf(Channel::kLeft), kRight = IndexOf(Channel::kRight);
    double phase = m.phaseAccumulator.load(kRelaxed);
    double peakLeft = m.peakRead[kLeft].load(kRelaxed) ? 0.0 : m.heldPeak[kLeft].load(kRelaxed);
    double peakRight = m.peakRead[kRight].load(kRelaxed) ? 0.0 : m.heldPeak[kRight].load(kRelaxed);
    bool clipLeft = false, clipRight = false;
    for (int i = 0; i < n; ++i) {
        const double left = WithOffset(in[i * inStride]);
        const double right = stereoIn ? WithOffset(in[i * inStride + 1]) : left;
        if (meterPre) phase = m.FeedPhase(phase, left, right);
        double outLeft, outRight;
        m_processor.Step<kSingle>(left, right, c, fir, &outLeft, &outRight);
        if (!meterPre) phase = m.FeedPhase(phase, outLeft, outRight);
        clipLeft |= MeterState::Clips(outLeft);
        clipRight |= MeterState::Clips(outRight);
        const double magLeft = std::fabs(outLeft), magRight = std::fabs(outRight);
        if (magLeft > peakLeft) peakLeft = magLeft;
        if (magRight > peakRight) peakRight = magRight;
        out[2 * i] = static_cast<Sample>(outLeft);
        out[2 * i + 1] = static_cast<Sample>(outRight);
    }
    m.phaseAccumulator.store(phase, kRelaxed);
    if (clipLeft) m.clipLive[kLeft].store(kClipHoldSteps, kRelaxed);
    if (clipRight) m.clipLive[kRight].store(kClipHoldSteps, kRelaxed);
    m.heldPeak[kLeft].store(peakLeft, kRelaxed);
    m.heldPeak[kRight].store(peakRight, kRelaxed);
    return tw::kOk;
}
