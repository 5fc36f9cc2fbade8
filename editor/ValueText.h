// The texts of the editor's values: the value fields' texts and typed values read back into
// internal units, levels in tenths of a dB, the level meters' input and the peak readouts.
#pragma once
#include <cstdint>
#include <string>

// What a value field shows for a parameter's silent value.
constexpr char kSilenceText[] = "-Inf.";
// The level of a silent channel, in tenths of a dB; also below every meter's range.
constexpr int32_t kSilentLevelTenths = -9999;
// The highest level the meters are given: a peak beyond it (or an infinite one) shows as this.
constexpr int32_t kLoudestLevelTenths = 9999;

// A typed number as an integer with `decimals` decimal places (1: "12.57" gives 125).
// Leading white space is skipped; "-" or "+" may lead; digits beyond the decimals are
// ignored, not rounded; reading stops at the first other character, so text with no number
// gives 0. Magnitudes too large for an int32 saturate.
int32_t ParseFixed(const char* text, int decimals);

// A parameter's typed text in internal units: ParseFixed with the parameter's decimals, or its
// silent value for its silence symbol ("-inf", with or without a final ".", in any case).
int32_t ParseFieldValue(int param, const char* text);

// A parameter's value as its field shows it, without the unit: "45", "-6.0", kSilenceText.
std::string FieldText(int param, int32_t value);

// Tenths as text with one decimal ("-0.5", "6.0"); "-Inf." at or below floorTenths.
std::string FormatTenths(int32_t tenths, int32_t floorTenths);

// A linear peak as a level in tenths of a dB, 200 x log10(peak) in single precision truncated
// towards zero: 1.0 gives 0, 0.5 gives -60. Silence, a negative peak or NaN gives
// kSilentLevelTenths; the level is clamped to kLoudestLevelTenths before the conversion.
int32_t PeakLevelTenths(float peak);

// A peak readout: "-Inf" for a maximum of -999 or below, else the level in dB with one
// decimal ("-6.0").
std::string PeakReadoutText(int32_t maxTenths);
