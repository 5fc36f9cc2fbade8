// The files of the phase analysis: a WAV input read as the plug-in receives it, pass after
// pass, and the moments of a rendered WAV file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/WaveFormat.h"
#include "analysis/PhaseAnalysis.h"
#include "host/wav/SampleConversion.h"
#include "host/wav/WavReader.h"

class CWavAnalysisSource : public IAnalysisSource {
public:
    // Opens the file; false with Error() naming it and the problem.
    bool Open(const std::string& path);

    bool Rewind() override;
    size_t Read(double* left, double* right, size_t maxFrames) override;
    // The file's samples are exact in the format the renderer runs the plug-in in; that
    // format decides the plug-in's precision.
    bool SinglePrecision() const override { return m_single; }
    // The render is written in the file's format: integer PCM clips at full scale.
    bool ClipsAtFullScale() const override {
        return m_reader.Format().wFormatTag == kWaveFormatPcm;
    }
    uint64_t FrameCount() const override { return m_reader.FrameCount(); }
    uint32_t SampleRate() const override { return m_reader.Format().nSamplesPerSec; }
    const std::string& Error() const override { return m_error; }

    const WaveFormat& Format() const { return m_reader.Format(); }
    bool IsExtensible() const { return m_reader.IsExtensible(); }

private:
    std::string m_path;
    CWavReader m_reader;
    bool m_single = false;
    std::string m_error;
    std::vector<uint8_t> m_raw;
    std::vector<double> m_values;
};

// The moments of frames as a WAV file of their format holds them (stereo, or mono measured in
// both channels), taken a run at a time, and the largest error writing a sample in that format
// can make: a step of integer PCM, 0 for float.
class CWrittenMeter {
public:
    // Every run in the same format.
    void Add(const void* frames, size_t count, const WaveFormat& format);
    StereoMoments Moments() const { return m_meter.Moments(); }
    double Quantum() const { return m_quantum; }

private:
    std::unique_ptr<CSampleConverter> m_toDouble;
    std::vector<double> m_values, m_left, m_right;
    CStereoMeter m_meter;
    double m_quantum = 0.0;
};

// The moments of a stereo (or mono, read into both channels) WAV file, and the largest error
// writing a sample in its format can make: a step of integer PCM, 0 for float.
bool MeasureWavFile(const std::string& path, StereoMoments* moments, double* quantum,
                    std::string* error);
