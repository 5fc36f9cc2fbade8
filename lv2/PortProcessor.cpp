// The engine over port buffers: controls once per run, the audio in pieces through the block
// processor, the control outputs after it.
#include "lv2/PortProcessor.h"

#include <algorithm>
#include <cmath>

#include "engine/FormatRules.h"
#include "engine/PhaseKernels.h"

namespace {

// The editor's meter tick, which a clip indication lasts kClipHoldSteps of.
constexpr double kMeterTickSeconds = 0.075;

// The format the DirectShow plug-in would be connected with for the host's float buffers.
WaveFormat FloatFormat(int channels, double sampleRate) {
    return MakeWaveFormat(kWaveFormatIeeeFloat, static_cast<uint16_t>(channels),
                          static_cast<uint32_t>(std::lround(sampleRate)), 32);
}

float PeakDb(float peak) {
    if (!(peak > 0.0f)) return kPeakFloorDb;
    const float db = 20.0f * std::log10(peak);
    return std::min(std::max(db, kPeakFloorDb), kPeakCeilingDb);
}

}  // namespace

CPortProcessor::CPortProcessor(InputLayout layout, double sampleRate)
    : m_layout(layout),
      m_inputFormat(FloatFormat(layout == InputLayout::kMono ? 1 : 2, sampleRate)),
      m_outputFormat(FloatFormat(2, sampleRate)),
      m_block(m_params),
      m_clipHoldFrames(std::llround(sampleRate * kMeterTickSeconds * kClipHoldSteps)) {
    // A new plug-in starts with the factory defaults, as the DirectShow plug-in does.
    m_params.SetParams(kDefaultParams);
    m_block.SetInputFormat(&m_inputFormat);
    m_block.SetOutputFormat(&m_outputFormat);
}

void CPortProcessor::ConnectPort(int index, float* data) {
    if (index >= 0 && index < PortCountOf(m_layout)) m_ports[index] = data;
}

void CPortProcessor::Activate() {
    m_block.StartStream(&m_inputFormat, &m_outputFormat);
    m_clipLeftFrames[0] = m_clipLeftFrames[1] = 0;
    m_runPeak[0] = m_runPeak[1] = 0.0f;
}

void CPortProcessor::Deactivate() {
    m_block.StopStream();
}

float* CPortProcessor::Port(PortRole role, int channelOrParam) const {
    const int index = PortIndexOf(m_layout, role, channelOrParam);
    return index >= 0 ? m_ports[index] : nullptr;
}

void CPortProcessor::ReadControls() {
    for (int param = 0; param < kParamCount; ++param)
        if (const float* value = Port(PortRole::kParam, param))
            m_params.SetParam(param, ParamFromPortValue(param, *value), false);
    const float* enabled = Port(PortRole::kEnabled);
    m_block.SetBypass(enabled != nullptr && !(*enabled > 0.0f) ? 1 : 0);
}

void CPortProcessor::Run(uint32_t frames) {
    ReadControls();
    for (uint32_t first = 0; first < frames; first += kPieceFrames)
        ProcessPiece(static_cast<int>(first),
                     static_cast<int>(std::min<uint32_t>(kPieceFrames, frames - first)));
    WriteOutputs(frames);
}

// Interleaves the piece into the scratch buffers, as the DirectShow plug-in receives it,
// processes it and spreads the stereo result over the outputs.
void CPortProcessor::ProcessPiece(int first, int frames) {
    const int channels = m_inputFormat.nChannels;
    for (int c = 0; c < channels; ++c) {
        const float* in = Port(PortRole::kAudioIn, c);
        for (int i = 0; i < frames; ++i) m_inScratch[i * channels + c] = in ? in[first + i] : 0.0f;
    }
    int inFrames = frames, outFrames = frames;
    m_block.ProcessFloat(m_inScratch, &inFrames, m_outScratch, &outFrames);
    for (int c = 0; c < 2; ++c) {
        if (float* out = Port(PortRole::kAudioOut, c))
            for (int i = 0; i < frames; ++i) out[first + i] = m_outScratch[2 * i + c];
        // Reading a held peak has the next block start its own, so the run's is their largest.
        m_runPeak[c] = std::max(m_runPeak[c], m_block.GetPeak(static_cast<Channel>(c)));
    }
}

void CPortProcessor::WriteOutputs(uint32_t frames) {
    const bool bypassed = m_block.GetBypass() != 0;
    const bool fir = m_params.GetParam(kParamFilter) == ParamValueOf(QuadratureFilter::kFir);
    if (float* latency = Port(PortRole::kLatency))
        *latency = fir && !bypassed ? static_cast<float>(kFirLatencyFrames) : 0.0f;
    if (float* meter = Port(PortRole::kPhaseMeter))
        *meter = static_cast<float>(m_block.GetPhaseMeter());
    for (int c = 0; c < 2; ++c) {
        const Channel channel = static_cast<Channel>(c);
        if (float* port = Port(PortRole::kPeak, c)) *port = PeakDb(m_runPeak[c]);
        m_runPeak[c] = 0.0f;
        if (m_block.GetClip(channel, ClipCounter::kLive) != 0) {
            m_block.SetClip(channel, ClipCounter::kLive, 0);
            m_clipLeftFrames[c] = m_clipHoldFrames;
        } else {
            m_clipLeftFrames[c] = std::max<int64_t>(0, m_clipLeftFrames[c] - frames);
        }
        if (float* port = Port(PortRole::kClip, c)) *port = m_clipLeftFrames[c] > 0 ? 1.0f : 0.0f;
    }
}
