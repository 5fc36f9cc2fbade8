// Envelope input through the automation core, as a host drives IMediaParams while the engine
// streams. The input is a list of calls, each an opcode byte and its raw arguments: segment
// arrays with any times, values, curves and flags (NaN and infinities included), flushes of
// any range, any sample rate and stream position, direct settings, captures and the engine's
// own edits. After every call each envelope's segments stay sorted by start, the segment in
// force is the last one starting at or before the evaluation time, and the parameters the
// engine takes from the envelopes stay inside their ranges.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "automation/AutomationCore.h"
#include "engine/ParamMapping.h"
#include "engine/ParamModel.h"
#include "fuzz/FuzzCheck.h"

namespace {

class CInput {
public:
    CInput(const uint8_t* data, size_t size) : m_data(data), m_left(size) {}
    bool Empty() const { return m_left == 0; }
    // The next sizeof(T) bytes as a T; zeros once the input has run out.
    template <typename T>
    T Next() {
        T value{};
        const size_t n = m_left < sizeof(T) ? m_left : sizeof(T);
        std::memcpy(&value, m_data, n);
        m_data += n;
        m_left -= n;
        return value;
    }

private:
    const uint8_t* m_data;
    size_t m_left;
};

// A parameter index as a host might send one: the six, "all", or one past them.
uint32_t NextIndex(CInput& in) {
    const uint8_t pick = in.Next<uint8_t>() % 8;
    return pick < kParamCount ? pick : pick == kParamCount ? tw::kAllParams : kParamCount;
}

void CheckEnvelope(CParamEnvelope& envelope, int64_t t) {
    const std::vector<MpEnvelopeSegment> segments = envelope.Segments();
    for (size_t i = 1; i < segments.size(); ++i)
        FUZZ_CHECK(segments[i - 1].rtStart <= segments[i].rtStart);
    const int found = envelope.FindSegment(t);
    if (segments.empty() || t < segments[0].rtStart) {
        FUZZ_CHECK(found == -1);
        return;
    }
    FUZZ_CHECK(found >= 0 && static_cast<size_t>(found) < segments.size());
    FUZZ_CHECK(segments[found].rtStart <= t);
    FUZZ_CHECK(found + 1 == static_cast<int>(segments.size()) || segments[found + 1].rtStart > t ||
          segments[found + 1].rtStart == segments[found].rtStart);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CInput in(data, size);
    CAutomationCore core;
    CParamModel model;
    model.SetAutomation(&core);

    for (int calls = 0; !in.Empty() && calls < 64; ++calls) {
        switch (in.Next<uint8_t>() % 8) {
            case 0: {
                const uint32_t index = NextIndex(in);
                std::vector<MpEnvelopeSegment> segments(in.Next<uint8_t>() % 9);
                for (MpEnvelopeSegment& s : segments) s = in.Next<MpEnvelopeSegment>();
                core.AddEnvelope(index, static_cast<uint32_t>(segments.size()), segments.data());
                break;
            }
            case 1: {
                const uint32_t index = NextIndex(in);
                const int64_t start = in.Next<int64_t>();
                core.FlushEnvelope(index, start, in.Next<int64_t>());
                break;
            }
            case 2:
                core.SetSampleRate(in.Next<int32_t>());
                break;
            case 3:
                core.UpdateToPosition(in.Next<int64_t>());
                break;
            case 4: {
                const uint32_t index = NextIndex(in);
                core.SetParam(index, in.Next<float>());
                break;
            }
            case 5: {
                const uint32_t index = NextIndex(in);
                const float value = in.Next<float>();
                core.CaptureBegin(&index, 1);
                core.CaptureValues(&index, 1, &value);
                if (in.Next<uint8_t>() & 1) core.CaptureEnd(&index, 1);
                break;
            }
            case 6: {
                const int index = in.Next<uint8_t>() % kParamCount;
                model.SetParam(index, in.Next<int32_t>(), true);
                break;
            }
            case 7: {
                float value = 0.0f;
                core.GetParam(NextIndex(in), &value);
                break;
            }
        }
        for (uint32_t i = 0; i < kParamCount; ++i) {
            CParamEnvelope& envelope = core.Envelope(i);
            CheckEnvelope(envelope, envelope.LastEvaluationTime());
        }
        ParamValues values;
        model.UpdateState(&values);
        for (int i = 0; i < kParamCount; ++i) {
            const ParamRange range = ParamRangeOf(i);
            FUZZ_CHECK(values[i] >= range.min && values[i] <= range.max);
        }
    }
    return 0;
}
