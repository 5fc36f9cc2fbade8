// What the renderer's summary reports about a signal: frames, per-channel peaks and clipped
// samples, accumulated block by block, and the peak's text in dBFS.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/WaveFormat.h"

class CRenderStats {
public:
    explicit CRenderStats(int channels = 2) { Reset(channels); }

    // Clears the counts; allocates, so call it at stream start.
    void Reset(int channels);

    // Add interleaved frames of the stats' channel count. Float and double samples count as
    // clipped beyond +-1.0 or when not a number (NaN, which leaves the peak alone); 16-bit
    // samples can only saturate, so those at full scale (-32768, 32767) count as clipped.
    // 16-bit peaks are |s| / 32768. No allocation.
    void AddInt16(const int16_t* samples, size_t frames);
    void AddFloat(const float* samples, size_t frames);
    void AddDouble(const double* samples, size_t frames);
    // Dispatches on the format's tag and bit depth; false (nothing counted) for a format the
    // renderer does not handle or a channel count other than the stats'. Whole frames only.
    bool AddBuffer(const WaveFormat& format, const void* data, size_t bytes);

    int Channels() const { return static_cast<int>(m_peak.size()); }
    uint64_t Frames() const { return m_frames; }
    double Peak(int channel) const { return m_peak[channel]; }
    uint64_t ClippedSamples(int channel) const { return m_clipped[channel]; }
    uint64_t NanSamples() const { return m_nanSamples; }

private:
    template <typename Sample>
    void AddSamples(const Sample* samples, size_t frames);

    uint64_t m_frames = 0;
    uint64_t m_nanSamples = 0;
    std::vector<double> m_peak;
    std::vector<uint64_t> m_clipped;
};

// A linear peak in dBFS with one decimal: "-6.0", "0.0", "+inf"; "-inf" for silence.
std::string FormatDbfs(double peak);
