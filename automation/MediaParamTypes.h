// Portable mirrors of the DirectX media-parameter records (MP_ENVELOPE_SEGMENT, MP_PARAMINFO)
// and of their constants, so that the envelopes and the parameter table build without
// Windows headers. The shell checks that the layouts match the platform's byte for byte.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tw {

// MP_TYPE
constexpr int32_t kMpTypeInt = 0;
constexpr int32_t kMpTypeFloat = 1;
constexpr int32_t kMpTypeBool = 2;
constexpr int32_t kMpTypeEnum = 3;

// MP_CURVE_TYPE; the capability bits (MP_CAPS) use the same values.
constexpr int32_t kCurveJump = 0x1;
constexpr int32_t kCurveLinear = 0x2;
constexpr int32_t kCurveSquare = 0x4;
constexpr int32_t kCurveInvSquare = 0x8;
constexpr int32_t kCurveSine = 0x10;
constexpr uint32_t kCapsCurveJump = 0x1;

// The parameter index that addresses every parameter in AddEnvelope and FlushEnvelope.
constexpr uint32_t kAllParams = 0xFFFFFFFFu;

// Characters, terminator included, of the unit and label texts of MP_PARAMINFO.
constexpr size_t kParamTextChars = 32;

}  // namespace tw

// One automation segment as the host passes it (MP_ENVELOPE_SEGMENT). Times are in
// 100-nanosecond units, values in the parameter's automation range.
struct MpEnvelopeSegment {
    int64_t rtStart;
    int64_t rtEnd;
    float valStart;
    float valEnd;
    int32_t iCurve;
    int32_t flags;  // stored and compared, never interpreted

    bool operator==(const MpEnvelopeSegment& o) const {
        return rtStart == o.rtStart && rtEnd == o.rtEnd && valStart == o.valStart &&
               valEnd == o.valEnd && iCurve == o.iCurve && flags == o.flags;
    }
};
static_assert(sizeof(MpEnvelopeSegment) == 32, "MP_ENVELOPE_SEGMENT is 32 bytes");
static_assert(offsetof(MpEnvelopeSegment, valStart) == 16, "MP_ENVELOPE_SEGMENT layout");
static_assert(offsetof(MpEnvelopeSegment, flags) == 28, "MP_ENVELOPE_SEGMENT layout");

// What the host learns of one parameter (MP_PARAMINFO).
struct MpParamInfo {
    int32_t mpType;
    uint32_t mopCaps;
    float mpdMinValue;
    float mpdMaxValue;
    float mpdNeutralValue;
    char16_t szUnitText[tw::kParamTextChars];
    char16_t szLabel[tw::kParamTextChars];
};
static_assert(sizeof(MpParamInfo) == 148, "MP_PARAMINFO is 148 bytes");
static_assert(offsetof(MpParamInfo, szUnitText) == 20, "MP_PARAMINFO layout");
static_assert(offsetof(MpParamInfo, szLabel) == 84, "MP_PARAMINFO layout");

// One entry of the plug-in's parameter table: the host-visible info, the internal range the
// envelope works in, and the optional enumeration text (values separated by ",").
struct ParamInfoRecord {
    MpParamInfo info;
    float internalMin;
    float internalMax;
    const char16_t* enumText;
};
