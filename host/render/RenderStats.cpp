// CRenderStats and the dBFS text of a peak.
#include "host/render/RenderStats.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kPcmFullScale = 32768.0;

// One channel's figures over a block, kept in locals so the loop runs from registers (stores
// into the members could alias the samples and would be redone on every sample).
struct ChannelFigures {
    double peak;
    uint64_t clipped;
    uint64_t nans;
};

// Float and double: the peak in the sample's own type (|s| and the maximum are exact in it),
// clipped beyond +-1.0 or when not a number, NaN leaving the peak alone.
template <typename Sample>
ChannelFigures Measure(const Sample* samples, size_t frames, size_t stride) {
    Sample peak = 0;
    uint64_t clipped = 0, nans = 0;
    for (size_t i = 0; i < frames; ++i) {
        const Sample magnitude = std::fabs(samples[i * stride]);
        peak = magnitude > peak ? magnitude : peak;
        clipped += !(magnitude <= Sample(1));
        nans += magnitude != magnitude;
    }
    return {static_cast<double>(peak), clipped, nans};
}

// 16-bit: the largest |s| as an integer, scaled once; full-scale samples count as clipped.
ChannelFigures Measure(const int16_t* samples, size_t frames, size_t stride) {
    int peak = 0;
    uint64_t clipped = 0;
    for (size_t i = 0; i < frames; ++i) {
        const int s = samples[i * stride];
        const int magnitude = s < 0 ? -s : s;
        peak = magnitude > peak ? magnitude : peak;
        clipped += s == INT16_MIN || s == INT16_MAX;
    }
    return {peak / kPcmFullScale, clipped, 0};
}

}  // namespace

void CRenderStats::Reset(int channels) {
    m_frames = 0;
    m_nanSamples = 0;
    m_peak.assign(static_cast<size_t>(channels), 0.0);
    m_clipped.assign(static_cast<size_t>(channels), 0);
}

template <typename Sample>
void CRenderStats::AddSamples(const Sample* samples, size_t frames) {
    const size_t channels = m_peak.size();
    for (size_t c = 0; c < channels; ++c) {
        const ChannelFigures figures = Measure(samples + c, frames, channels);
        if (figures.peak > m_peak[c]) m_peak[c] = figures.peak;
        m_clipped[c] += figures.clipped;
        m_nanSamples += figures.nans;
    }
    m_frames += frames;
}

void CRenderStats::AddInt16(const int16_t* samples, size_t frames) {
    AddSamples(samples, frames);
}
void CRenderStats::AddFloat(const float* samples, size_t frames) {
    AddSamples(samples, frames);
}
void CRenderStats::AddDouble(const double* samples, size_t frames) {
    AddSamples(samples, frames);
}

bool CRenderStats::AddBuffer(const WaveFormat& format, const void* data, size_t bytes) {
    if (format.nChannels != m_peak.size() || format.nChannels == 0) return false;
    const size_t frameBytes = format.nChannels * (format.wBitsPerSample / 8u);
    const size_t frames = frameBytes ? bytes / frameBytes : 0;
    if (format.wFormatTag == kWaveFormatPcm && format.wBitsPerSample == 16)
        AddInt16(static_cast<const int16_t*>(data), frames);
    else if (format.wFormatTag == kWaveFormatIeeeFloat && format.wBitsPerSample == 32)
        AddFloat(static_cast<const float*>(data), frames);
    else if (format.wFormatTag == kWaveFormatIeeeFloat && format.wBitsPerSample == 64)
        AddDouble(static_cast<const double*>(data), frames);
    else
        return false;
    return true;
}

std::string FormatDbfs(double peak) {
    if (peak != peak) return "nan";
    if (peak <= 0.0) return "-inf";
    if (std::isinf(peak)) return "+inf";
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f", 20.0 * std::log10(peak));
    if (std::string(text) == "-0.0") return "0.0";
    return text;
}
