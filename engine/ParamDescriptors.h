// The six user parameters, each described once: its names, unit, internal range and step, its
// factory default, the texts of its choices, how the command line spells it and how hosts
// automate it. Everything that shows, clamps, parses, publishes or resets a parameter reads it
// here, so a new parameter or a new choice is one row.
#pragma once
#include <cstdint>

enum ParamIndex : int {
    kParamPhase = 0,      // degrees, -180..180
    kParamWidth = 1,      // percent of the incoming side signal, 0..200
    kParamOutput = 2,     // tenths of a dB, the lowest value meaning silence
    kParamMode = 3,       // Mode
    kParamMeterPost = 4,  // MeterPosition
    kParamFilter = 5,     // QuadratureFilter
    kParamCount = 6
};

// The values of Mode: what the phase rotation works on and what comes out. The outputs below are
// at 100 % width and 0 dB; R' is R rotated by the phase angle, S' likewise.
enum class Mode : int32_t {
    kLrPhase = 0,   // (L, R')
    kMsPhase = 1,   // (M + S', M - S') / 2 with M = L + R, S = L - R: the side rotated
    kCsEncode = 2,  // (L + R', L - R') / 2: sum and difference
    kScEncode = 3,  // (R' + L, R' - L) / 2: sum and difference the other way round
};

// The values of Meter Pre/Post: what the phase meter watches.
enum class MeterPosition : int32_t {
    kPre = 0,   // the input
    kPost = 1,  // the output
};

// The values of Filter: how the quadrature signal is made.
enum class QuadratureFilter : int32_t {
    kAllpass = 0,  // all-pass network, no latency
    kFir = 1,      // 127-tap FIR filter, 63 frames of latency
    kPrecise = 2,  // longer all-pass networks, 90 degrees within 0.002 degrees, no latency
};

// The internal value of a named setting.
constexpr int32_t ParamValueOf(Mode v) {
    return static_cast<int32_t>(v);
}
constexpr int32_t ParamValueOf(MeterPosition v) {
    return static_cast<int32_t>(v);
}
constexpr int32_t ParamValueOf(QuadratureFilter v) {
    return static_cast<int32_t>(v);
}

// How a host automates a parameter: a value that moves between 0 and 1, a switch, or an
// enumeration whose automation value is the choice's number (0, 1, 2, ...), so a choice added
// at the end leaves the automation values of the earlier ones as they were.
enum class ParamAutomation : int32_t { kFloat, kBool, kEnum };

// One value of a parameter that offers choices.
struct ParamChoice {
    const char* name;    // as the editor and the reports show it: "LR phase"
    const char* symbol;  // as the command line and preset lists spell it: "lr"
};

// Choices in the order of their internal values, from the parameter's minimum up.
inline constexpr ParamChoice kModeChoices[] = {
    {"LR phase", "lr"}, {"MS phase", "ms"}, {"CS encode", "cs"}, {"SC encode", "sc"}};
inline constexpr ParamChoice kMeterPositionChoices[] = {{"Pre", "pre"}, {"Post", "post"}};
inline constexpr ParamChoice kFilterChoices[] = {
    {"IIR", "iir"}, {"FIR", "fir"}, {"Precise", "precise"}};

struct ParamDescriptor {
    const char* name;         // the label hosts show: "Meter Pre/Post"
    const char* shortName;    // where room is short, as in the editor's texts: "Meter"
    const char* symbol;       // the command line's word, "--meter", and the automation files'
    const char* unit;         // written after a value: "degrees", "%", "dB"; "" for choices
    const char* unitName;     // the unit spelled out: "percent"
    const char* description;  // what it sets, for --help ("\n" breaks its lines); null where
                              // the choices say it
    const char* argument;     // --help's placeholder for a number, "DEG"; null for choices
    int32_t min;              // the internal range, in steps of 1
    int32_t max;
    int32_t decimals;      // decimal places of one step in the unit: 1 when a step is 0.1 dB
    int32_t defaultValue;  // the factory default, also the "(Default)" built-in preset
    const ParamChoice* choices;  // one per value from min to max; null for a number
    const char* silentSymbol;    // when min means silence, how it is typed ("-inf"); else null
    ParamAutomation automation;

    constexpr bool HasChoices() const { return choices != nullptr; }
    constexpr int32_t ValueCount() const { return max - min + 1; }
    // The choice of a value inside the range (parameters with choices only).
    constexpr const ParamChoice& ChoiceOf(int32_t value) const { return choices[value - min]; }
    constexpr bool IsSilent(int32_t value) const { return silentSymbol && value <= min; }
};

// clang-format off
inline constexpr ParamDescriptor kParamDescriptors[kParamCount] = {
    {"Phase", "Phase", "phase", "degrees", "degrees", "phase angle", "DEG",
     -180, 180, 0, 0, nullptr, nullptr, ParamAutomation::kFloat},
    {"Width", "Width", "width", "%", "percent", "stereo width", "PCT",
     0, 200, 0, 100, nullptr, nullptr, ParamAutomation::kFloat},
    // Tenths of a dB from -36.0 to +6.0 dB, and one step below that for silence.
    {"Output", "Output", "output", "dB", "dB", "output gain", "DB",
     -361, 60, 1, 0, nullptr, "-inf", ParamAutomation::kFloat},
    {"Mode", "Mode", "mode", "", "", nullptr, nullptr,
     ParamValueOf(Mode::kLrPhase), ParamValueOf(Mode::kScEncode), 0,
     ParamValueOf(Mode::kLrPhase), kModeChoices, nullptr, ParamAutomation::kFloat},
    {"Meter Pre/Post", "Meter", "meter", "", "",
     "the phase meter watches the input or the output", nullptr,
     ParamValueOf(MeterPosition::kPre), ParamValueOf(MeterPosition::kPost), 0,
     ParamValueOf(MeterPosition::kPost), kMeterPositionChoices, nullptr, ParamAutomation::kBool},
    {"Filter", "Filter", "filter", "", "",
     "all-pass network (no latency), linear-phase FIR filter\n"
     "(63 frames of latency) or the precise all-pass network\n"
     "(90 degrees within 0.002 degrees, no latency)", nullptr,
     ParamValueOf(QuadratureFilter::kAllpass), ParamValueOf(QuadratureFilter::kPrecise), 0,
     ParamValueOf(QuadratureFilter::kAllpass), kFilterChoices, nullptr, ParamAutomation::kEnum},
};
// clang-format on

constexpr const ParamDescriptor& ParamDescriptorOf(int index) {
    return kParamDescriptors[index];
}

// The largest automation value: 1.0, or for an enumeration the number of its last choice.
constexpr float AutomationMaxOf(const ParamDescriptor& d) {
    return d.automation == ParamAutomation::kEnum ? static_cast<float>(d.max - d.min) : 1.0f;
}

// Internal steps per unit of automation value: the whole range, or one for an enumeration.
constexpr float StepsPerAutomationUnit(const ParamDescriptor& d) {
    return d.automation == ParamAutomation::kEnum ? 1.0f : static_cast<float>(d.max - d.min);
}

// The automation value of an internal value, in single precision: the distance from the
// minimum times 1/span, rounded once (0.0027777778 for Phase, 0.002375297 for Output); for an
// enumeration the distance itself.
constexpr float NormalizedValueOf(const ParamDescriptor& d, int32_t value) {
    const float distance = static_cast<float>(value) - static_cast<float>(d.min);
    if (d.automation == ParamAutomation::kEnum) return distance;
    const float step = 1.0f / static_cast<float>(d.max - d.min);
    return distance * step;
}

// The Output value that silences the plug-in.
constexpr int32_t kOutputSilence = kParamDescriptors[kParamOutput].min;

// Every row is whole: a default inside the range, one choice per value.
constexpr bool ParamDescriptorsAreWhole() {
    for (const ParamDescriptor& d : kParamDescriptors)
        if (d.min >= d.max || d.defaultValue < d.min || d.defaultValue > d.max) return false;
    return true;
}
static_assert(ParamDescriptorsAreWhole(), "a parameter's default lies outside its range");
static_assert(sizeof kModeChoices / sizeof kModeChoices[0] ==
                  kParamDescriptors[kParamMode].ValueCount(), "one name per mode");
static_assert(sizeof kMeterPositionChoices / sizeof kMeterPositionChoices[0] ==
                  kParamDescriptors[kParamMeterPost].ValueCount(), "one name per meter position");
static_assert(sizeof kFilterChoices / sizeof kFilterChoices[0] ==
                  kParamDescriptors[kParamFilter].ValueCount(), "one name per filter");
