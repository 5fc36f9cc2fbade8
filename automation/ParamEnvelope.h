// CParamEnvelope: one parameter's automation curve (a sorted list of host segments) plus the
// value it produced at its last evaluation and the value last set directly.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "automation/MediaParamTypes.h"
#include "base/CritSec.h"
#include "base/Result.h"

// The envelope's own lock (m_lock) guards the segment list and the last evaluation
// time. The values and flags are single words that the streaming thread reads without a lock;
// they are atomics with relaxed ordering, which compiles to plain loads and stores.
class CParamEnvelope {
public:
    CParamEnvelope();
    virtual ~CParamEnvelope();

    // Creation: copies the record; the neutral value becomes the current value and, while
    // nothing else drives the envelope, the held overriding value.
    void InitFromInfo(const ParamInfoRecord& record);

    // Automation value to internal value, by the record's type. Single precision, no clamping.
    float ToInternal(float value) const;

    // The set-parameter path (any thread, no lock): the value overrides the envelope.
    void SetValue(float value);
    // The effective value in automation units. Any thread, no lock.
    tw::Result GetValue(float* value) const;

    // Index of the segment in force at time t (the last one starting at or before t), or -1.
    // Takes the lock.
    int FindSegment(int64_t t);

    // Host thread, takes the lock. Quantises the segments' times to sample boundaries
    // (samplesPer100ns = sample rate x 1e-7), skips exact duplicates, keeps the list sorted and
    // drops segments playback has left behind. samplesPer100ns <= 0 (no known rate) keeps the
    // times as given. kFalse for count 0; kErrOutOfMemory, with the list unchanged, when the
    // list cannot grow.
    tw::Result AddSegments(uint32_t count, const MpEnvelopeSegment* segments,
                           double samplesPer100ns);
    // Host thread, takes the lock. Removes the segments overlapping (start, end); INT64_MIN and
    // INT64_MAX leave that side open.
    tw::Result FlushSegments(int64_t start, int64_t end);
    // Streaming thread, takes the lock. Evaluates the envelope at time t; kFalse when it holds
    // no segments.
    tw::Result UpdateAt(int64_t t);

    // Held value while overridden or captured, else the current value. Streaming thread, no lock.
    float EffectiveValue() const;
    // Set while the user interface drags this parameter. Any thread, no lock.
    void SetCapture(bool captured);

    float CurrentValue() const { return m_current.load(std::memory_order_relaxed); }
    float HeldValue() const { return m_held.load(std::memory_order_relaxed); }
    bool IsOverridden() const { return m_override.load(std::memory_order_relaxed) != 0; }
    bool IsCaptured() const { return m_capture.load(std::memory_order_relaxed) != 0; }
    const ParamInfoRecord& Info() const { return m_info; }

    // A snapshot of the segment list, taken under the lock.
    std::vector<MpEnvelopeSegment> Segments();
    int64_t LastEvaluationTime();

private:
    // Automation value for an internal value (the inverse of ToInternal for linear types).
    float ToAutomation(float internal) const;

    CCritSec m_lock;  // re-entrant: AddSegments and UpdateAt call FindSegment under it
    ParamInfoRecord m_info;
    std::vector<MpEnvelopeSegment> m_segments;
    std::atomic<float> m_current;
    std::atomic<int32_t> m_override;
    std::atomic<int32_t> m_capture;
    std::atomic<float> m_held;
    int64_t m_lastEvalTime;
};
