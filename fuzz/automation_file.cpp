// The renderer's automation files (--automation): the input is the file's text. A text that
// parses gives segments within the documented ranges, and those segments, added one at a
// time as the renderer adds them, drive every envelope only within its automation range (0..1,
// or an enumeration's choice numbers) at any stream position.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "automation/AutomationCore.h"
#include "engine/ParamDescriptors.h"
#include "fuzz/FuzzCheck.h"
#include "host/cli/AutomationFile.h"

namespace {

bool IsCurve(int32_t curve) {
    return curve == tw::kCurveJump || curve == tw::kCurveLinear || curve == tw::kCurveSquare ||
           curve == tw::kCurveInvSquare || curve == tw::kCurveSine;
}

bool InRange(uint32_t param, float value) {
    return value >= 0.0f && value <= AutomationMaxOf(kParamDescriptors[param]);
}

void CheckValues(CAutomationCore& core) {
    for (uint32_t i = 0; i < kParamCount; ++i) FUZZ_CHECK(InRange(i, core.EffectiveValue(i)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<AutomationSegment> segments;
    std::string error;
    if (!ParseAutomationText(text, &segments, &error)) {
        FUZZ_CHECK(error.compare(0, 5, "line ") == 0);
        return 0;
    }

    CAutomationCore core;
    for (const AutomationSegment& s : segments) {
        FUZZ_CHECK(s.param < kParamCount && IsCurve(s.curve));
        FUZZ_CHECK(s.rtStart >= 0 && s.rtStart <= s.rtEnd);
        FUZZ_CHECK(InRange(s.param, s.valStart) && InRange(s.param, s.valEnd));
        const MpEnvelopeSegment segment = {s.rtStart, s.rtEnd, s.valStart, s.valEnd, s.curve, 0};
        FUZZ_CHECK(core.AddEnvelope(s.param, 1, &segment) == tw::kOk);
    }
    // Playback from the start, stopping at each segment's first and last frame.
    const double framesPer100ns = core.SampleRate() * 1e-7;
    FUZZ_CHECK(tw::Succeeded(core.UpdateToPosition(0)));
    CheckValues(core);
    for (const AutomationSegment& s : segments) {
        for (int64_t t : {s.rtStart, s.rtEnd}) {
            FUZZ_CHECK(tw::Succeeded(core.UpdateToPosition(static_cast<int64_t>(t * framesPer100ns))));
            CheckValues(core);
        }
    }
    return 0;
}
