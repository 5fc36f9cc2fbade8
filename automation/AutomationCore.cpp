// CAutomationCore: parameter-index checks, the fan-out to the envelopes and the evaluation
// at the stream position.
#include "automation/AutomationCore.h"

#include <cstddef>

#include "automation/ParamInfoTable.h"
#include "automation/TimeMath.h"

namespace {

constexpr double kSecondsPer100ns = 1e-7;

bool IsParam(uint32_t index) {
    return index < static_cast<uint32_t>(kParamCount);
}

}  // namespace

CAutomationCore::CAutomationCore() : m_sampleRate(kDefaultSampleRate), m_changed(0) {
    for (int i = 0; i < kParamCount; ++i) m_envelopes[i].InitFromInfo(kParamInfoTable[i]);
}

CAutomationCore::~CAutomationCore() = default;

double CAutomationCore::SamplesPer100ns() const {
    const int32_t rate = SampleRate();
    return rate > 0 ? static_cast<double>(rate) * kSecondsPer100ns : 0.0;
}

tw::Result CAutomationCore::GetParam(uint32_t index, float* value) {
    if (!IsParam(index)) return tw::kErrInvalidArg;
    if (!value) return tw::kErrPointer;
    return m_envelopes[index].GetValue(value);
}

tw::Result CAutomationCore::SetParam(uint32_t index, float value) {
    if (!IsParam(index)) return tw::kErrInvalidArg;
    m_changed.store(1, std::memory_order_relaxed);
    m_envelopes[index].SetValue(value);
    return tw::kOk;
}

tw::Result CAutomationCore::AddEnvelope(uint32_t index, uint32_t count,
                                        const MpEnvelopeSegment* segments) {
    if (!IsParam(index) && index != tw::kAllParams) return tw::kErrInvalidArg;
    if (count == 0) return tw::kOk;
    if (!segments) return tw::kErrPointer;
    // The host's array is read for count segments and never beyond; a count whose byte size
    // does not fit the address space cannot describe an array.
    if (static_cast<uint64_t>(count) > SIZE_MAX / sizeof(MpEnvelopeSegment))
        return tw::kErrInvalidArg;

    // With a sample rate of 0 nothing can be quantised; the envelopes keep the host's times.
    const double samplesPer100ns = SamplesPer100ns();
    const uint32_t first = index == tw::kAllParams ? 0 : index;
    const uint32_t last = index == tw::kAllParams ? kParamCount - 1 : index;
    tw::Result result = tw::kOk;
    for (uint32_t i = first; i <= last; ++i) {
        result = m_envelopes[i].AddSegments(count, segments, samplesPer100ns);
        if (!tw::Succeeded(result)) return result;
    }
    return result;
}

tw::Result CAutomationCore::FlushEnvelope(uint32_t index, int64_t start, int64_t end) {
    if ((!IsParam(index) && index != tw::kAllParams) || end < start) return tw::kErrInvalidArg;
    const uint32_t first = index == tw::kAllParams ? 0 : index;
    const uint32_t last = index == tw::kAllParams ? kParamCount - 1 : index;
    for (uint32_t i = first; i <= last; ++i) {
        const tw::Result result = m_envelopes[i].FlushSegments(start, end);
        if (!tw::Succeeded(result)) return result;
    }
    return tw::kOk;
}

tw::Result CAutomationCore::MarkChanged() {
    m_changed.store(1, std::memory_order_relaxed);
    return tw::kOk;
}

tw::Result CAutomationCore::TestAndClearChanged() {
    return m_changed.exchange(0, std::memory_order_relaxed) ? tw::kOk : tw::kFalse;
}

tw::Result CAutomationCore::SetParamValue(uint32_t index, float normalized) {
    return SetParam(index, normalized);
}

float CAutomationCore::EffectiveValue(uint32_t index) {
    return IsParam(index) ? m_envelopes[index].EffectiveValue() : 0.0f;
}

tw::Result CAutomationCore::CaptureBegin(const uint32_t* indices, uint32_t count) {
    if (count != 0 && !indices) return tw::kErrPointer;
    for (uint32_t i = 0; i < count; ++i)
        if (IsParam(indices[i])) m_envelopes[indices[i]].SetCapture(true);
    return ForwardCaptureBegin(indices, count);
}

tw::Result CAutomationCore::CaptureValues(const uint32_t* indices, uint32_t count,
                                          const float* values) {
    if (count != 0 && (!indices || !values)) return tw::kErrPointer;
    for (uint32_t i = 0; i < count; ++i) {
        const tw::Result result = SetParam(indices[i], values[i]);
        if (!tw::Succeeded(result)) return result;
    }
    return ForwardCaptureValues(indices, count, values);
}

tw::Result CAutomationCore::CaptureEnd(const uint32_t* indices, uint32_t count) {
    if (count != 0 && !indices) return tw::kErrPointer;
    for (uint32_t i = 0; i < count; ++i)
        if (IsParam(indices[i])) m_envelopes[indices[i]].SetCapture(false);
    return ForwardCaptureEnd(indices, count);
}

tw::Result CAutomationCore::UpdateToPosition(int64_t position) {
    // Without a sample rate a frame position has no time; the envelopes stay as they are.
    const double samplesPer100ns = SamplesPer100ns();
    if (samplesPer100ns <= 0.0) return tw::kFalse;

    const int64_t t = tw::TruncateToTime(static_cast<double>(position) / samplesPer100ns + 0.5);
    tw::Result result = tw::kOk;
    for (int i = 0; i < kParamCount; ++i) {
        result = m_envelopes[i].UpdateAt(t);
        if (!tw::Succeeded(result)) break;
    }
    // UpdateAt answers kFalse for an envelope without segments, so only automation on the last
    // parameter marks a change here; the engine polls the envelopes' values every block anyway.
    if (result == tw::kOk) MarkChanged();
    return result;
}

void CAutomationCore::SetSampleRate(int32_t samplesPerSec) {
    m_sampleRate.store(samplesPerSec, std::memory_order_relaxed);
}

tw::Result CAutomationCore::ForwardCaptureBegin(const uint32_t*, uint32_t) {
    return tw::kOk;
}

tw::Result CAutomationCore::ForwardCaptureValues(const uint32_t*, uint32_t, const float*) {
    return tw::kOk;
}

tw::Result CAutomationCore::ForwardCaptureEnd(const uint32_t*, uint32_t) {
    return tw::kOk;
}
