// Sample conversion between a WAV file's sample type and the one the plug-in runs in, and the
// choice of that working type. Samples are interleaved and little-endian: PCM of 8 bits
// (unsigned, 128 for silence), 16, 24 or 32 bits (signed), IEEE float of 32 or 64 bits.
//
// Every value passes through double, which holds all of them exactly. Integers stand for
// s / 2^(bits-1), so -1.0 is the most negative value and full scale positive is one step
// short of +1.0. Widening is exact (24-bit PCM into 32-bit float, 32-bit PCM into 64-bit
// float); narrowing rounds to nearest (ties to even). Integer output clips to its range and
// turns NaN into 0; float output keeps values beyond full scale, as the plug-in does.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/WaveFormat.h"
#include "host/wav/Dither.h"

class CSampleConverter {
public:
    // from, to: the two sample types (tag and bits; IsWavSampleLayout's). With dither, integer
    // output gets TPDF dither of one step before rounding.
    CSampleConverter(const WaveFormat& from, const WaveFormat& to, bool dither);

    // Converts `samples` values (frames times channels) from `in` into `out`. No allocation.
    void Convert(const void* in, void* out, size_t samples);

    uint16_t FromBytes() const { return m_fromBytes; }
    uint16_t ToBytes() const { return m_toBytes; }

private:
    enum class Type { kPcm8, kPcm16, kPcm24, kPcm32, kFloat32, kFloat64 };
    static Type TypeOf(const WaveFormat& format);

    Type m_from;
    Type m_to;
    uint16_t m_fromBytes;
    uint16_t m_toBytes;
    bool m_dither;
    CTpdfDither m_noise;
};

// The format the plug-in runs in when `file` is rendered to output samples of `output`'s type,
// at the file's rate and channel count. The file's own when the plug-in takes it, the output
// keeps it and no dither is asked: the render is then what the plug-in makes of the file, as
// a workstation would feed it. Otherwise float, which the plug-in processes unquantised:
// 64-bit when the file or the output is 32-bit PCM or 64-bit float, else 32-bit, which holds
// every sample of 8-, 16- and 24-bit PCM exactly.
WaveFormat WorkingFormatFor(const WaveFormat& file, const WaveFormat& output, bool dither);

// Whether two formats hold the same sample type (tag and bits).
inline bool SameSampleType(const WaveFormat& a, const WaveFormat& b) {
    return a.wFormatTag == b.wFormatTag && a.wBitsPerSample == b.wBitsPerSample;
}
