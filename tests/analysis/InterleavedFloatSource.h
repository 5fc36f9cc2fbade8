// Interleaved 32-bit float stereo frames at 44.1 kHz as the phase analysis reads them from a
// float file: in single precision, never clipped at full scale.
#pragma once
#include <string>
#include <vector>

#include "analysis/PhaseAnalysis.h"

class CInterleavedFloatSource : public IAnalysisSource {
public:
    explicit CInterleavedFloatSource(const std::vector<float>& stereo) : m_stereo(stereo) {}
    bool Rewind() override {
        m_at = 0;
        return true;
    }
    size_t Read(double* left, double* right, size_t maxFrames) override {
        size_t n = 0;
        for (; n < maxFrames && m_at + 1 < m_stereo.size(); ++n, m_at += 2) {
            left[n] = m_stereo[m_at];
            right[n] = m_stereo[m_at + 1];
        }
        return n;
    }
    bool SinglePrecision() const override { return true; }
    bool ClipsAtFullScale() const override { return false; }
    uint32_t SampleRate() const override { return 44100; }
    uint64_t FrameCount() const override { return m_stereo.size() / 2; }
    const std::string& Error() const override { return m_error; }

private:
    const std::vector<float>& m_stereo;
    size_t m_at = 0;
    std::string m_error;
};
