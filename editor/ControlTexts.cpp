// The texts of the editor page's controls.
#include "editor/ControlTexts.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "editor/ValueText.h"
#include "engine/ParamMapping.h"
#include "engine/ParamValues.h"
#include "engine/PhaseKernels.h"

const char* ChoiceText(int param, int32_t value) {
    return kParamDescriptors[param].ChoiceOf(ClampParam(param, value)).name;
}

namespace {

// One tooltip. In the text, {range}, {default} and {choices} stand for those of the row's
// parameter and {choice0}, {choice1}... for its first, second... choice; {defaults}, {taps},
// {latency}, {levels}, {inPhase} and {opposed} for the facts of the same names below.
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
    {ControlTip::kFilter, kParamFilter, "Filter: {choices}, how the phase is shifted: {choice0} with all-pass filters and no latency, {choice1} with a {taps}-tap filter and {latency} frames of latency, {choice2} with longer all-pass filters, exact to 0.002 degrees and with no latency. Click for the next filter."},
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

std::string ValueText(int param, int32_t value) {
    const ParamDescriptor& d = kParamDescriptors[param];
    if (d.HasChoices()) return ChoiceText(param, value);
    if (d.IsSilent(value)) return FieldText(param, value);
    return FieldText(param, value) + " " + d.unit;
}

std::string RangeText(int param) {
    const ParamDescriptor& d = kParamDescriptors[param];
    if (d.silentSymbol)
        return FieldText(param, d.min + 1) + " to " + ValueText(param, d.max) + ", or " +
               FieldText(param, d.min) + " (silence)";
    return FieldText(param, d.min) + " to " + ValueText(param, d.max);
}

std::string ChoicesText(int param) {
    const ParamDescriptor& d = kParamDescriptors[param];
    if (!d.HasChoices()) return "";
    std::string text = d.ChoiceOf(d.min).name;
    for (int32_t v = d.min + 1; v <= d.max; ++v)
        text += (v == d.max ? " or " : ", ") + std::string(d.ChoiceOf(v).name);
    return text;
}

std::string DefaultsText() {
    std::string text;
    for (int param = 0; param < kParamCount; ++param)
        text += (param ? ", " : "") + std::string(kParamDescriptors[param].shortName) + " " +
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
    if (name.size() == 7 && name.compare(0, 6, "choice") == 0 && std::isdigit(static_cast<unsigned char>(name[6])))
        return ChoiceText(param, kParamDescriptors[param].min + (name[6] - '0'));
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

std::string FillTemplate(const char* text,
                         const std::function<std::string(const std::string&)>& fill) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        const char* end = *p == '{' ? std::strchr(p, '}') : nullptr;
        if (!end) {
            out += *p;
            continue;
        }
        out += fill(std::string(p + 1, end));
        p = end;
    }
    return out;
}

std::string ControlTipText(ControlTip tip) {
    for (const TipRow& row : kTipRows)
        if (row.tip == tip)
            return FillTemplate(row.text,
                                [&row](const std::string& name) { return Fill(name, row.param); });
    return "";
}
