// CRenderStats and the dBFS text of a peak.
#include "host/RenderStats.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kPcmFullScale = 32768.0;

double Magnitude(int16_t s) {
    return std::fabs(static_cast<double>(s)) / kPcmFullScale;
}
double Magnitude(float s) {
    return std::fabs(static_cast<double>(s));
}
double Magnitude(double s) {
    return std::fabs(s);
}

bool IsClipped(int16_t s) {
    return s == INT16_MIN || s == INT16_MAX;
}
bool IsClipped(float s) {
    return !(std::fabs(s) <= 1.0f);
}
bool IsClipped(double s) {
    return !(std::fabs(s) <= 1.0);
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
    for (size_t frame = 0; frame < frames; ++frame) {
        for (size_t c = 0; c < channels; ++c) {
            const Sample s = samples[frame * channels + c];
            const double magnitude = Magnitude(s);
            if (magnitude > m_peak[c]) m_peak[c] = magnitude;  // false for NaN
            if (IsClipped(s)) ++m_clipped[c];
            if (magnitude != magnitude) ++m_nanSamples;
        }
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
