// The texts of the editor page's controls: what a setting's button shows, and each control's
// tooltip (its name, its range or choices, and what the mouse does with it).
#pragma once
#include <functional>
#include <cstdint>
#include <string>

// The name of a parameter's choice as its button and menu show it: "LR phase", "FIR". A value
// outside the range shows as the nearest choice.
const char* ChoiceText(int param, int32_t value);

// The ranges the page's meters are given: the phase meter reads the plug-in's phase opposition
// in degrees, the level meters the output peaks in tenths of a dB.
constexpr int kPhaseMeterMinDegrees = 0;
constexpr int kPhaseMeterMaxDegrees = 180;
constexpr int kLevelMeterMinTenths = -300;
constexpr int kLevelMeterMaxTenths = 0;

// Every control of the page that has a tooltip.
enum class ControlTip {
    kBypass,
    kUndo,
    kSetup,
    kSetupMenu,
    kReset,
    kPresets,
    kHelp,
    kFilter,
    kMode,
    kModeMenu,
    kPhaseField,
    kPhaseSlider,
    kWidthField,
    kWidthSlider,
    kOutputField,
    kOutputSlider,
    kMeterPost,
    kPhaseMeter,
    kLeftLevel,
    kRightLevel,
    kLeftPeak,
    kRightPeak,
    kLeftClip,
    kRightClip,
    kCount
};

// `text` with each {name} in it replaced by fill(name): how the tooltips' templates take their
// figures from the code that defines them.
std::string FillTemplate(const char* text, const std::function<std::string(const std::string&)>& fill);

// The tooltip of a control, ranges, choices and defaults filled in from the parameter model;
// empty for kCount.
std::string ControlTipText(ControlTip tip);
