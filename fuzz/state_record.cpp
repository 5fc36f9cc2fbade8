// The persisted state record as IPersistStream::Load reads it from a host's project file: the
// input is the stream, read as Load reads it (the 20-byte header, then the body the header
// announces; a short read loads nothing). A record that loads goes into the engine, whose
// parameters must then be in range, and one block must come out finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/BlockProcessor.h"
#include "engine/ParamMapping.h"
#include "engine/ParamModel.h"
#include "engine/StateRecord.h"
#include "fuzz/FuzzCheck.h"

namespace {

// IID_IVxPlugInProp as a GUID lies in memory on the platforms the plug-in runs on.
constexpr uint8_t kTag[kStateTagBytes] = {0xc3, 0x40, 0xfc, 0x3b, 0xbb, 0x90, 0xba, 0x41,
                                          0x8c, 0x42, 0x93, 0xf7, 0x8d, 0x40, 0x31, 0x42};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kStateHeaderBytes) return 0;
    const uint32_t length = StateRecordLength(data, kTag);
    if (length == 0) return 0;
    if (size < length) return 0;

    // The values are the body's bytes as stored (the platforms are little-endian), Filter off
    // in the older record.
    const ParamValues values = StateRecordValues(data + kStateHeaderBytes, length);
    ParamValues stored = {};
    std::memcpy(&stored, data + kStateHeaderBytes, length - kStateHeaderBytes);
    FUZZ_CHECK(values == stored);

    static const WaveFormat format = {kWaveFormatIeeeFloat, 2, 44100, 44100 * 8, 8, 32, 0};
    CParamModel params;
    CBlockProcessor engine(params);
    params.SetParams(values);
    const ParamValues applied = params.GetParams();
    for (int i = 0; i < kParamCount; ++i) {
        const ParamRange range = ParamRangeOf(i);
        FUZZ_CHECK(applied[i] >= range.min && applied[i] <= range.max);
    }
    engine.StartStream(&format, &format);
    constexpr int kFrames = 64;
    float in[2 * kFrames], out[2 * kFrames];
    for (int i = 0; i < 2 * kFrames; ++i) in[i] = 0.5f * std::sin(0.37f * static_cast<float>(i));
    int inFrames = kFrames, outFrames = kFrames;
    FUZZ_CHECK(engine.ProcessFloat(in, &inFrames, out, &outFrames) == tw::kOk);
    // At most +6 dB of gain on a doubled side signal: anything near this bound is a blow-up.
    for (float sample : out) FUZZ_CHECK(std::isfinite(sample) && std::fabs(sample) < 64.0f);
    return 0;
}
