// The texts of the editor page's controls.
#include "editor/ControlTexts.h"

#include <cstdint>
#include <cstring>

#include "editor/ModeCycle.h"
#include "editor/ValueText.h"
#include "engine/ParamMapping.h"
#include "engine/ParamValues.h"
#include "engine/PhaseKernels.h"

const char* const kFilterNames[2] = {"IIR", "FIR"};
const char* const kMeterPositionNames[2] = {"Pre", "Post"};

namespace {

// One tooltip. In the text, {range}, {default} and {choices} stand for those of the row's
// parameter; {defaults}, {taps}, {latency}, {levels}, {inPhase} and {opposed} for the facts
// of the same names below.
struct TipRow {
    ControlTip tip;
    int param;  // a ParamIndex, or -1
    const char* text;
};

// clang-format off
const TipRow kTipRows[] = {
    {ControlTip::kBypass, -1, "Bypass: passes the audio through unchanged while lit. Click to switch it on or off; Undo and the setups leave it alone."},
    {ControlTip::kUndo, -1, "Undo: click to take back the last change; click again to redo it."},
    {ControlTip::kSetup, -1, "Setup A/B: two sets of values to compare. Click to switch to the other setup."},
    {ControlTip::kSetupMenu, -1, "Setup menu: click to choose setup A or B, or to copy the values to or from the other setup."},
    {ControlTip::kReset, -1, "Reset: click to set every parameter to its default: {defaults}."},
    {ControlTip::kPresets, -1, "Presets: click to choose a preset, to add the current values as a preset, or to manage the presets."},
    {ControlTip::kHelp, -1, "Help: click to open the help file."},
    {ControlTip::kFilter, kParamFilter, "Filter: {choices}, how the phase is shifted: IIR with all-pass filters and no latency, FIR with a {taps}-tap filter and {latency} frames of latency. Click to switch."},
    {ControlTip::kMode, kParamMode, "Mode: {choices}. Click for the next mode."},
    {ControlTip::kModeMenu, kParamMode, "Mode menu: click to choose the mode from the list: {choices}."},
    {ControlTip::kPhaseField, kParamPhase, "Phase: {range}. Drag in the field or turn the wheel to change it; double-click to type a value."},
    {ControlTip::kPhaseSlider, kParamPhase, "Phase: {range}. Drag the slider or turn the wheel to change it; double-click to reset it to {default}."},
    {ControlTip::kWidthField, kParamWidth, "Width: {range}. Drag in the field or turn the wheel to change it; double-click to type a value."},
    {ControlTip::kWidthSlider, kParamWidth, "Width: {range}. Drag the slider or turn the wheel to change it; double-click to reset it to {default}."},
    {ControlTip::kOutputField, kParamOutput, "Output: {range}. Drag in the field or turn the wheel to change it; double-click to type a value."},
    {ControlTip::kOutputSlider, kParamOutput, "Output: {range}. Drag the slider or turn the wheel to change it; double-click to reset it to {default}."},
    {ControlTip::kMeterPost, kParamMeterPost, "Meter: {choices}, whether the phase meter watches the input or the output. Click to switch."},
    {ControlTip::kPhaseMeter, -1, "Phase meter: how far out of phase the two channels are, from {inPhase} (in phase) to {opposed} (opposite)."},
    {ControlTip::kLeftLevel, -1, "Left level: the peak level of the left output, {levels}."},
    {ControlTip::kRightLevel, -1, "Right level: the peak level of the right output, {levels}."},
    {ControlTip::kLeftPeak, -1, "Left peak: the highest level of the left output since the last reset, in dB. Click to reset both peaks."},
    {ControlTip::kRightPeak, -1, "Right peak: the highest level of the right output since the last reset, in dB. Click to reset both peaks."},
    {ControlTip::kLeftClip, -1, "Left clip light: bright while the left output clips, then dim until cleared. Click to clear both clip lights."},
    {ControlTip::kRightClip, -1, "Right clip light: bright while the right output clips, then dim until cleared. Click to clear both clip lights."},
};
// clang-format on

const char* const kParamNames[kParamCount] = {"Phase", "Width", "Output", "Mode", "Meter", "Filter"};

// The names of a parameter's settings, or null for a numeric parameter.
const char* const* SettingNames(int param) {
    switch (param) {
        case kParamMode: return kModeNames;
        case kParamMeterPost: return kMeterPositionNames;
        case kParamFilter: return kFilterNames;
        default: return nullptr;
    }
}

std::string Number(int param, int32_t value) {
    return param == kParamOutput ? FormatTenths(value, kOutputSilenceTenths) : std::to_string(value);
}

const char* Unit(int param) {
    switch (param) {
        case kParamPhase: return " degrees";
        case kParamWidth: return " %";
        case kParamOutput: return " dB";
        default: return "";
    }
}

std::string ValueText(int param, int32_t value) {
    if (const char* const* names = SettingNames(param)) return names[value];
    if (param == kParamOutput && value <= kOutputSilenceTenths) return Number(param, value);
    return Number(param, value) + Unit(param);
}

std::string RangeText(int param) {
    const ParamRange range = ParamRangeOf(param);
    if (param == kParamOutput)
        return Number(param, range.min + 1) + " to " + ValueText(param, range.max) + ", or " +
               Number(param, range.min) + " (silence)";
    return Number(param, range.min) + " to " + ValueText(param, range.max);
}

std::string ChoicesText(int param) {
    const char* const* names = SettingNames(param);
    if (!names) return "";
    const ParamRange range = ParamRangeOf(param);
    std::string text = names[range.min];
    for (int32_t v = range.min + 1; v <= range.max; ++v)
        text += (v == range.max ? " or " : ", ") + std::string(names[v]);
    return text;
}

std::string DefaultsText() {
    std::string text;
    for (int param = 0; param < kParamCount; ++param)
        text += (param ? ", " : "") + std::string(kParamNames[param]) + " " +
                ValueText(param, kDefaultParams[param]);
    return text;
}

std::string LevelText(int tenths) {
    return FormatTenths(tenths, kLevelMeterMinTenths - 1);
}

// The text of a {name} in a row about param.
std::string Fill(const std::string& name, int param) {
    if (name == "range") return RangeText(param);
    if (name == "default") return ValueText(param, kDefaultParams[param]);
    if (name == "choices") return ChoicesText(param);
    if (name == "defaults") return DefaultsText();
    if (name == "taps") return std::to_string(kFirTaps);
    if (name == "latency") return std::to_string(kFirLatencyFrames);
    if (name == "levels")
        return LevelText(kLevelMeterMinTenths) + " to " + LevelText(kLevelMeterMaxTenths) + " dB";
    if (name == "inPhase") return std::to_string(kPhaseMeterMinDegrees);
    if (name == "opposed") return std::to_string(kPhaseMeterMaxDegrees);
    return "{" + name + "}";
}

}  // namespace

std::string ControlTipText(ControlTip tip) {
    for (const TipRow& row : kTipRows) {
        if (row.tip != tip) continue;
        std::string text;
        for (const char* p = row.text; *p; ++p) {
            const char* end = *p == '{' ? std::strchr(p, '}') : nullptr;
            if (!end) {
                text += *p;
                continue;
            }
            text += Fill(std::string(p + 1, end), row.param);
            p = end;
        }
        return text;
    }
    return "";
}
