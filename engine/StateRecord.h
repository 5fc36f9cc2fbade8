// The persisted state record (IPersistStream): its length as a little-endian 32-bit integer,
// a 16-byte tag (the IVxPlugInProp interface identifier as stored in memory), then the six
// parameter values as little-endian 32-bit integers. The older 40-byte record lacks Filter.
// The shell reads the header and then the body from the stream; the bytes are decoded here.
#pragma once
#include <cstdint>
#include <cstring>

#include "engine/ParamValues.h"

constexpr uint32_t kStateRecordBytes = 44;
constexpr uint32_t kOlderStateRecordBytes = 40;
constexpr uint32_t kStateHeaderBytes = 20;  // length and tag
constexpr uint32_t kStateTagBytes = 16;

// The length of the record a header of kStateHeaderBytes announces: kStateRecordBytes or
// kOlderStateRecordBytes when it carries `tag`, else 0 (not a record of ours).
inline uint32_t StateRecordLength(const uint8_t* header, const uint8_t* tag) {
    const uint32_t length = static_cast<uint32_t>(header[0]) |
                            static_cast<uint32_t>(header[1]) << 8 |
                            static_cast<uint32_t>(header[2]) << 16 |
                            static_cast<uint32_t>(header[3]) << 24;
    if (length != kStateRecordBytes && length != kOlderStateRecordBytes) return 0;
    if (std::memcmp(header + 4, tag, kStateTagBytes) != 0) return 0;
    return length;
}

// The values of the body that follows a header announcing `length`: length -
// kStateHeaderBytes bytes. Filter is off when the older record leaves it out.
inline ParamValues StateRecordValues(const uint8_t* body, uint32_t length) {
    ParamValues values = {};
    const int count = static_cast<int>((length - kStateHeaderBytes) / 4);
    for (int i = 0; i < count && i < kParamCount; ++i) {
        const uint8_t* p = body + 4 * i;
        values[i] = static_cast<int32_t>(static_cast<uint32_t>(p[0]) |
                                         static_cast<uint32_t>(p[1]) << 8 |
                                         static_cast<uint32_t>(p[2]) << 16 |
                                         static_cast<uint32_t>(p[3]) << 24);
    }
    return values;
}
