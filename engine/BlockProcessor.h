// CBlockProcessor: block processing. It takes the parameters from a parameter model at the
// start of each block, keeps the coefficients derived from them, runs the phase processor over
// the block and publishes the meters; bypass copies the audio through instead.
//
// The streaming thread processes; the editor reads the meters and any thread may ask for new
// coefficients. The coefficients are written only by the streaming thread (and at stream start),
// so a block always reads a consistent set; the words the threads share are relaxed atomics.
#pragma once
#include <atomic>
#include <cstdint>

#include "base/Result.h"
#include "engine/ChunkTap.h"
#include "engine/Coefficients.h"
#include "engine/Meters.h"
#include "engine/ParamModel.h"
#include "engine/ParamValues.h"
#include "engine/PhaseProcessor.h"
#include "engine/WaveFormat.h"

class CBlockProcessor {
public:
    // The model must outlive the processor.
    explicit CBlockProcessor(CParamModel& params) : m_params(params) {}
    ~CBlockProcessor();
    CBlockProcessor(const CBlockProcessor&) = delete;
    CBlockProcessor& operator=(const CBlockProcessor&) = delete;

    // Any thread: pulls the automation values into the model and has the streaming thread
    // recompute the coefficients at its next block, so a block never sees half of an update.
    tw::Result UpdateCoefficients();
    // Stream start: remembers the formats, resets meters and filter state, computes coefficients
    // and picks the precise filter's coefficients for the input's rate.
    tw::Result StartStream(const WaveFormat* input, const WaveFormat* output);
    // The phase meter and held peaks drop to zero.
    void StopMeters() { m_meters.ClearPhaseAndPeaks(); }
    // Stream stop (no block runs): the meters drop and the tap, if any, hands on what it has.
    void StopStream();

    // --- The analysis tap: any thread sets or clears it; each block reads it once and hands it
    // every chunk. Clearing it does not wait for a block that has it: the tap must outlive the
    // stream. ---
    void SetTap(IChunkTap* tap) { m_tap.store(tap, std::memory_order_release); }

    // Processes min(*inFrames, *outFrames) frames into interleaved stereo; both counts are set
    // to that number. The input channel count comes from the input format.
    tw::Result ProcessFloat(const float* in, int* inFrames, float* out, int* outFrames);
    tw::Result ProcessDouble(const double* in, int* inFrames, double* out, int* outFrames);
    // 16-bit PCM through the float path: converts n input frames into inScratch (input
    // channels x n floats), processes into outScratch (2 x n floats) and converts back.
    tw::Result ProcessPcm16(const int16_t* in, int frames, int16_t* out, float* inScratch,
                            float* outScratch);

    // --- Formats: set by the filter's media-type handling and at stream start, never during
    // a block ---
    void SetInputFormat(const WaveFormat* format) { m_inputFormat = format; }
    void SetOutputFormat(const WaveFormat* format) { m_outputFormat = format; }
    const WaveFormat* InputFormat() const { return m_inputFormat; }
    const WaveFormat* OutputFormat() const { return m_outputFormat; }

    // --- Bypass: the input copied to the output, unmetered ---
    int32_t GetBypass() const { return m_bypass.load(kRelaxed); }
    void SetBypass(int32_t bypass) { m_bypass.store(bypass, kRelaxed); }

    // --- Meters: the editor thread reads, the streaming thread writes; no lock ---
    int32_t GetPhaseMeter() const { return m_meters.PhaseDegrees(); }
    void SetPhaseMeter(float value) { m_meters.phaseAccumulator.store(value, kRelaxed); }
    int32_t GetClip(Channel channel, ClipCounter counter) const {
        return m_meters.Clip(channel, counter).load(kRelaxed);
    }
    void SetClip(Channel channel, ClipCounter counter, int32_t value) {
        m_meters.Clip(channel, counter).store(value, kRelaxed);
    }
    // The held peak of an output channel; marks it read, so the next block starts it afresh.
    float GetPeak(Channel channel);
    // The phase meter's accumulator as the streaming thread left it (GetPhaseMeter shows it in
    // whole degrees).
    double GetPhaseAccumulator() const { return m_meters.phaseAccumulator.load(kRelaxed); }

    // --- Signal path: the instruction set the processing runs on, the fastest supported one
    // unless another is selected; every path gives identical results. Not during a block. ---
    bool SelectSignalPath(SignalPath path) { return m_processor.SelectPath(path); }
    SignalPath GetSignalPath() const { return m_processor.Path(); }

private:
    static constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

    // Streaming thread, or stream start: the coefficients of a parameter record.
    void ApplyCoefficients(const ParamValues& params);
    template <typename Sample>
    tw::Result ProcessBlock(const Sample* in, int* inFrames, Sample* out, int* outFrames);

    CParamModel& m_params;
    const WaveFormat* m_inputFormat = nullptr;
    const WaveFormat* m_outputFormat = nullptr;
    std::atomic<int32_t> m_bypass{0};
    std::atomic<IChunkTap*> m_tap{nullptr};
    // Cleared by UpdateCoefficients on any thread, set when the streaming thread has written
    // the coefficients.
    std::atomic<int32_t> m_coefficientsValid{0};
    Coefficients m_coefficients;
    // The rate whose precise coefficients run before a stream has started with a format.
    static constexpr uint32_t kDefaultRateHz = 44100;
    const PreciseQuadratureTable* m_precise = &PreciseQuadratureFor(kDefaultRateHz);
    MeterState m_meters;
    CPhaseProcessor m_processor;
};
