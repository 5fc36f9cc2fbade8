// Block processing: coefficients at the start of a block, the signal path with its meters,
// bypass, and the 16-bit format around the float path.
#include "engine/BlockProcessor.h"

#include <algorithm>

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
    // The precise filter's coefficients are designed per rate.
    m_precise = &PreciseQuadratureFor(input != nullptr ? input->nSamplesPerSec : kDefaultRateHz);
    ParamValues current;
    m_params.UpdateState(&current);
    ApplyCoefficients(current);
    return tw::kOk;
}

void CBlockProcessor::StopStream() {
    StopMeters();
    if (IChunkTap* tap = m_tap.load(std::memory_order_acquire)) tap->EndStream();
}

float CBlockProcessor::GetPeak(Channel channel) {
    const int c = IndexOf(channel);
    m_meters.peakRead[c].store(1, kRelaxed);
    return static_cast<float>(m_meters.heldPeak[c].load(kRelaxed));
}

tw::Result CBlockProcessor::ProcessFloat(const float* in, int* inFrames, float* out,
                                         int* outFrames) {
    return ProcessBlock(in, inFrames, out, outFrames);
}

tw::Result CBlockProcessor::ProcessDouble(const double* in, int* inFrames, double* out,
                                          int* outFrames) {
    return ProcessBlock(in, inFrames, out, outFrames);
}

tw::Result CBlockProcessor::ProcessPcm16(const int16_t* in, int frames, int16_t* out,
                                         float* inScratch, float* outScratch) {
    const int channels = m_inputFormat != nullptr && m_inputFormat->nChannels == 1 ? 1 : 2;
    m_processor.PcmToFloat(in, inScratch, channels * frames);
    int inFrames = frames, outFrames = frames;
    const tw::Result result = ProcessFloat(inScratch, &inFrames, outScratch, &outFrames);
    m_processor.FloatToPcm(outScratch, out, 2 * outFrames);
    return result;
}

template <typename Sample>
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

    // The meters run in the block record and are published once per block.
    MeterState& m = m_meters;
    constexpr int kLeft = IndexOf(Channel::kLeft), kRight = IndexOf(Channel::kRight);
    PhaseBlock block;
    block.frames = n;
    block.stereoIn = stereoIn;
    block.filter = FilterOf(p);
    block.precise = m_precise;
    block.meterPre = MeterPositionOf(p) == MeterPosition::kPre;
    block.coefficients = m_coefficients;
    block.tap = m_tap.load(std::memory_order_acquire);
    if (block.tap != nullptr)
        block.tap->BeginBlock(
            p, m_inputFormat != nullptr ? m_inputFormat->nSamplesPerSec : kDefaultRateHz);
    block.phase = m.phaseAccumulator.load(kRelaxed);
    block.phaseDecay = m.phaseDecay;
    block.phaseRise = m.phaseRise;
    block.peak[kLeft] = m.peakRead[kLeft].load(kRelaxed) ? 0.0 : m.heldPeak[kLeft].load(kRelaxed);
    block.peak[kRight] =
        m.peakRead[kRight].load(kRelaxed) ? 0.0 : m.heldPeak[kRight].load(kRelaxed);
    block.clip[kLeft] = block.clip[kRight] = false;
    if constexpr (sizeof(Sample) == sizeof(float))
        m_processor.ProcessFloat(block, in, out);
    else
        m_processor.ProcessDouble(block, in, out);
    m.phaseAccumulator.store(block.phase, kRelaxed);
    if (block.clip[kLeft]) m.clipLive[kLeft].store(kClipHoldSteps, kRelaxed);
    if (block.clip[kRight]) m.clipLive[kRight].store(kClipHoldSteps, kRelaxed);
    m.heldPeak[kLeft].store(block.peak[kLeft], kRelaxed);
    m.heldPeak[kRight].store(block.peak[kRight], kRelaxed);
    return tw::kOk;
}
