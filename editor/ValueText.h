// The texts of the editor's values: typed values read back into internal units, the output
// level in tenths of a dB, the level meters' input and the peak readouts.
#pragma once
#include <cstdint>
#include <string>

// The internal value of the Output parameter that means silence, shown as "-Inf.".
constexpr int32_t kOutputSilenceTenths = -361;
// The level of a silent channel, in tenths of a dB; also below every meter's range.
constexpr int32_t kSilentLevelTenths = -9999;
// The highest level the meters are given: a peak beyond it (or an infinite one) shows as this.
constexpr int32_t kLoudestLevelTenths = 9999;

// A typed number as an integer with `decimals` decimal places (1: "12.57" gives 125).
// Leading white space is skipped; "-" or "+" may lead; digits beyond the decimals are
// ignored, not rounded; reading stops at the first other character, so text with no number
// gives 0. Magnitudes too large for an int32 saturate.
int32_t ParseFixed(const char* text, int decimals);

// The Output field's typed text in tenths of a dB: "-Inf" or "-Inf." in any case gives
// kOutputSilenceTenths, anything else ParseFixed with one decimal.
int32_t ParseOutputTenths(const char* text);

// Tenths as text with one decimal ("-0.5", "6.0"); "-Inf." at or below floorTenths.
std::string FormatTenths(int32_t tenths, int32_t floorTenths);

// A linear peak as a level in tenths of a dB, 200 x log10(peak) in single precision truncated
// towards zero: 1.0 gives 0, 0.5 gives -60. Silence, a negative peak or NaN gives
// kSilentLevelTenths; the level is clamped to kLoudestLevelTenths before the conversion.
int32_t PeakLevelTenths(float peak);

// A peak readout: "-Inf" for a maximum of -999 or below, else the level in dB with one
// decimal ("-6.0").
std::string PeakReadoutText(int32_t maxTenths);
