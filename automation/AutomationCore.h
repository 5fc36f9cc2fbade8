// CAutomationCore: the media-parameter object without COM. Six envelopes, the sample rate
// and the changed flag; the host's IMediaParams calls and the engine's IEngineAutomation
// calls both land here. The Windows shell (CMediaParams) adds the interfaces and forwards
// user-interface captures to the host through the Forward* hooks.
#pragma once
#include <atomic>
#include <cstdint>

#include "automation/MediaParamTypes.h"
#include "automation/ParamEnvelope.h"
#include "engine/EngineAutomation.h"
#include "engine/ParamValues.h"
#include "base/Result.h"

class CAutomationCore : public IEngineAutomation {
public:
    static constexpr int32_t kDefaultSampleRate = 44100;

    // Every envelope initialised from its kParamInfoTable record (holding its neutral value).
    CAutomationCore();
    virtual ~CAutomationCore();
    CAutomationCore(const CAutomationCore&) = delete;
    CAutomationCore& operator=(const CAutomationCore&) = delete;

    // The IMediaParams operations; host threads. Index kAllParams addresses all six where
    // allowed. Results carry HRESULT values.
    tw::Result GetParam(uint32_t index, float* value);
    tw::Result SetParam(uint32_t index, float value);
    tw::Result AddEnvelope(uint32_t index, uint32_t count, const MpEnvelopeSegment* segments);
    tw::Result FlushEnvelope(uint32_t index, int64_t start, int64_t end);

    // Sets the changed flag; any thread.
    virtual tw::Result MarkChanged();

    // IEngineAutomation.
    tw::Result SetParamValue(uint32_t index, float normalized) override;
    float EffectiveValue(uint32_t index) override;
    tw::Result TestAndClearChanged() override;
    tw::Result CaptureBegin(const uint32_t* indices, uint32_t count) override;
    tw::Result CaptureValues(const uint32_t* indices, uint32_t count, const float* values) override;
    tw::Result CaptureEnd(const uint32_t* indices, uint32_t count) override;
    tw::Result UpdateToPosition(int64_t position) override;
    void SetSampleRate(int32_t samplesPerSec) override;

    int32_t SampleRate() const { return m_sampleRate.load(std::memory_order_relaxed); }
    // The envelope of a parameter; index below kParamCount.
    CParamEnvelope& Envelope(uint32_t index) { return m_envelopes[index]; }

protected:
    // Hand a capture report on to the host's callback, returning its result; the core has
    // already applied the report to its envelopes. Without a callback: kOk. The indices are
    // exactly those the engine reported, unknown ones included.
    virtual tw::Result ForwardCaptureBegin(const uint32_t* indices, uint32_t count);
    virtual tw::Result ForwardCaptureValues(const uint32_t* indices, uint32_t count,
                                            const float* values);
    virtual tw::Result ForwardCaptureEnd(const uint32_t* indices, uint32_t count);

private:
    // Samples per 100 ns, or 0.0 when no usable rate is known.
    double SamplesPer100ns() const;

    CParamEnvelope m_envelopes[kParamCount];
    std::atomic<int32_t> m_sampleRate;
    std::atomic<int32_t> m_changed;
};
