// IEngineAutomation: what the engine needs of its automation object. The Windows shell's
// media-parameter object implements it; the engine never owns it through this interface.
#pragma once
#include <cstdint>

#include "base/Result.h"

class IEngineAutomation {
public:
    // Writes a normalized value as the parameter's current value (the set-parameter path)
    // and marks the automation as changed. Any thread; envelope values are single words.
    virtual tw::Result SetParamValue(uint32_t index, float normalized) = 0;
    // The envelope's effective value: the held value while overridden or captured, else the
    // value of its last evaluation. Streaming thread, no lock.
    virtual float EffectiveValue(uint32_t index) = 0;
    // kOk once after the automation values changed, kFalse otherwise.
    virtual tw::Result TestAndClearChanged() = 0;
    // User-interface capture reports, forwarded to the host's callback.
    virtual tw::Result CaptureBegin(const uint32_t* indices, uint32_t count) = 0;
    virtual tw::Result CaptureValues(const uint32_t* indices, uint32_t count,
                                     const float* values) = 0;
    virtual tw::Result CaptureEnd(const uint32_t* indices, uint32_t count) = 0;
    // Evaluates every envelope at a stream position in frames. Streaming thread.
    virtual tw::Result UpdateToPosition(int64_t position) = 0;
    // The input sample rate, which converts positions to reference time.
    virtual void SetSampleRate(int32_t samplesPerSec) = 0;

protected:
    ~IEngineAutomation() = default;
};
