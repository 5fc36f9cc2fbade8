// Reading WAV files for the phase analysis through the renderer's reader and conversions.
#include "host/analyze/AnalysisInput.h"

#include <algorithm>
#include <cmath>

#include "host/wav/SampleConversion.h"

namespace {

constexpr size_t kReadFrames = 4096;

// The largest error writing a sample in the format can make: a step of integer PCM, none for
// float.
double QuantumOf(const WaveFormat& format) {
    return format.wFormatTag == kWaveFormatPcm ? std::ldexp(1.0, 1 - format.wBitsPerSample) : 0.0;
}

// Reads up to maxFrames frames of `reader` as doubles (exact for every sample type).
size_t ReadValues(CWavReader& reader, std::vector<uint8_t>& raw, std::vector<double>& values,
                  size_t maxFrames) {
    const WaveFormat& format = reader.Format();
    raw.resize(maxFrames * format.nBlockAlign);
    values.resize(maxFrames * format.nChannels);
    const size_t got = reader.Read(raw.data(), maxFrames);
    WaveFormat doubles = format;
    doubles.wFormatTag = kWaveFormatIeeeFloat;
    doubles.wBitsPerSample = 64;
    CSampleConverter(format, doubles, false)
        .Convert(raw.data(), values.data(), got * format.nChannels);
    return got;
}

}  // namespace

bool CWavAnalysisSource::Open(const std::string& path) {
    m_path = path;
    m_error.clear();
    if (!m_reader.Open(path)) {
        m_error = m_reader.Error();
        return false;
    }
    const WaveFormat& format = m_reader.Format();
    const WaveFormat working = WorkingFormatFor(format, format, false);
    m_single = working.wBitsPerSample != 64;
    return true;
}

bool CWavAnalysisSource::Rewind() {
    m_reader.Close();
    if (!m_reader.Open(m_path)) {
        m_error = m_reader.Error();
        return false;
    }
    return true;
}

size_t CWavAnalysisSource::Read(double* left, double* right, size_t maxFrames) {
    const size_t got = ReadValues(m_reader, m_raw, m_values, maxFrames);
    if (!m_reader.Error().empty()) m_error = m_reader.Error();
    const size_t channels = m_reader.Format().nChannels;
    for (size_t i = 0; i < got; ++i) {
        left[i] = m_values[i * channels];
        right[i] = m_values[i * channels + channels - 1];
    }
    return got;
}

void CWrittenMeter::Add(const void* frames, size_t count, const WaveFormat& format) {
    if (!m_toDouble) {
        WaveFormat doubles = format;
        doubles.wFormatTag = kWaveFormatIeeeFloat;
        doubles.wBitsPerSample = 64;
        m_toDouble = std::make_unique<CSampleConverter>(format, doubles, false);
        m_quantum = QuantumOf(format);
        m_values.resize(kReadFrames * format.nChannels);
        m_left.resize(kReadFrames);
        m_right.resize(kReadFrames);
    }
    const size_t channels = format.nChannels;
    const auto* bytes = static_cast<const uint8_t*>(frames);
    for (size_t done = 0; done < count;) {
        const size_t n = std::min(kReadFrames, count - done);
        m_toDouble->Convert(bytes + done * format.nBlockAlign, m_values.data(), n * channels);
        for (size_t i = 0; i < n; ++i) {
            m_left[i] = m_values[i * channels];
            m_right[i] = m_values[i * channels + channels - 1];
        }
        m_meter.AddFrames(m_left.data(), m_right.data(), n);
        done += n;
    }
}

bool MeasureWavFile(const std::string& path, StereoMoments* moments, double* quantum,
                    std::string* error) {
    CWavReader reader;
    if (!reader.Open(path)) {
        *error = reader.Error();
        return false;
    }
    const WaveFormat& format = reader.Format();
    std::vector<uint8_t> raw(kReadFrames * format.nBlockAlign);
    CWrittenMeter meter;
    for (;;) {
        const size_t got = reader.Read(raw.data(), kReadFrames);
        meter.Add(raw.data(), got, format);
        if (!reader.Error().empty()) {
            *error = reader.Error();
            return false;
        }
        if (got < kReadFrames) break;
    }
    *moments = meter.Moments();
    *quantum = QuantumOf(format);
    return true;
}
