// CSampleConverter and the working format of a render.
#include "host/wav/SampleConversion.h"

#include <cmath>
#include <cstring>

#include "engine/FormatRules.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the conversions read and write little-endian samples as stored in memory"
#endif

namespace {

template <typename T>
T Load(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

template <typename T>
void Store(uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof(T));
}

int32_t Load24(const uint8_t* p) {
    const uint32_t bits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                          static_cast<uint32_t>(p[2]) << 16;
    return static_cast<int32_t>(bits << 8) >> 8;  // sign-extended
}

void Store24(uint8_t* p, int32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
}

// The nearest integer step of `scaled` (a value times 2^(bits-1)) within [min, max]; NaN is 0.
int32_t Quantise(double scaled, double min, double max) {
    if (scaled != scaled) return 0;
    const double rounded = std::nearbyint(scaled);
    if (rounded <= min) return static_cast<int32_t>(min);
    if (rounded >= max) return static_cast<int32_t>(max);
    return static_cast<int32_t>(rounded);
}

}  // namespace

CSampleConverter::Type CSampleConverter::TypeOf(const WaveFormat& format) {
    if (format.wFormatTag == kWaveFormatIeeeFloat)
        return format.wBitsPerSample == 64 ? Type::kFloat64 : Type::kFloat32;
    switch (format.wBitsPerSample) {
        case 8:
            return Type::kPcm8;
        case 24:
            return Type::kPcm24;
        case 32:
            return Type::kPcm32;
        default:
            return Type::kPcm16;
    }
}

CSampleConverter::CSampleConverter(const WaveFormat& from, const WaveFormat& to, bool dither)
    : m_from(TypeOf(from)),
      m_to(TypeOf(to)),
      m_fromBytes(static_cast<uint16_t>(from.wBitsPerSample / 8)),
      m_toBytes(static_cast<uint16_t>(to.wBitsPerSample / 8)),
      m_dither(dither && to.wFormatTag == kWaveFormatPcm) {}

void CSampleConverter::Convert(const void* in, void* out, size_t samples) {
    const uint8_t* source = static_cast<const uint8_t*>(in);
    uint8_t* target = static_cast<uint8_t*>(out);
    // To doubles (the analysis reads every file so): one loop per source type, the same values.
    if (m_to == Type::kFloat64 && !m_dither) {
        double* values = static_cast<double*>(out);
        switch (m_from) {
            case Type::kPcm16:
                for (size_t i = 0; i < samples; ++i)
                    values[i] = Load<int16_t>(source + 2 * i) * 0x1.0p-15;
                return;
            case Type::kPcm24:
                for (size_t i = 0; i < samples; ++i) values[i] = Load24(source + 3 * i) * 0x1.0p-23;
                return;
            case Type::kFloat32:
                for (size_t i = 0; i < samples; ++i) values[i] = Load<float>(source + 4 * i);
                return;
            default:
                break;
        }
    }
    for (size_t i = 0; i < samples; ++i, source += m_fromBytes, target += m_toBytes) {
        double value = 0.0;
        switch (m_from) {
            case Type::kPcm8:
                value = (static_cast<int>(*source) - 128) * 0x1.0p-7;
                break;
            case Type::kPcm16:
                value = Load<int16_t>(source) * 0x1.0p-15;
                break;
            case Type::kPcm24:
                value = Load24(source) * 0x1.0p-23;
                break;
            case Type::kPcm32:
                value = Load<int32_t>(source) * 0x1.0p-31;
                break;
            case Type::kFloat32:
                value = Load<float>(source);
                break;
            case Type::kFloat64:
                value = Load<double>(source);
                break;
        }
        const double noise = m_dither ? m_noise.Next() : 0.0;
        switch (m_to) {
            case Type::kPcm8:
                *target = static_cast<uint8_t>(Quantise(value * 0x1.0p7 + noise, -128, 127) + 128);
                break;
            case Type::kPcm16:
                Store(target, static_cast<int16_t>(
                                  Quantise(value * 0x1.0p15 + noise, -32768, 32767)));
                break;
            case Type::kPcm24:
                Store24(target, Quantise(value * 0x1.0p23 + noise, -8388608, 8388607));
                break;
            case Type::kPcm32:
                Store(target, Quantise(value * 0x1.0p31 + noise, -2147483648.0, 2147483647.0));
                break;
            case Type::kFloat32:
                Store(target, static_cast<float>(value));
                break;
            case Type::kFloat64:
                Store(target, value);
                break;
        }
    }
}

WaveFormat WorkingFormatFor(const WaveFormat& file, const WaveFormat& output, bool dither) {
    const bool integerOutput = output.wFormatTag == kWaveFormatPcm;
    if (IsProcessableSampleLayout(file.wFormatTag, file.wBitsPerSample, file.nChannels) &&
        SameSampleType(file, output) && !(dither && integerOutput))
        return MakeWaveFormat(file.wFormatTag, file.nChannels, file.nSamplesPerSec,
                              file.wBitsPerSample);
    auto needsDouble = [](const WaveFormat& f) {
        return f.wBitsPerSample == 64 || (f.wFormatTag == kWaveFormatPcm && f.wBitsPerSample == 32);
    };
    const uint16_t bits = needsDouble(file) || needsDouble(output) ? 64 : 32;
    return MakeWaveFormat(kWaveFormatIeeeFloat, file.nChannels, file.nSamplesPerSec, bits);
}
