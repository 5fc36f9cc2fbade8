// The texts of the editor page's controls: the names of the two-way settings, and each
// control's tooltip (its name, its range or choices, and what the mouse does with it).
#pragma once
#include <string>

// The names the Filter and Meter Pre/Post buttons show, indexed by the parameter's value.
extern const char* const kFilterNames[2];
extern const char* const kMeterPositionNames[2];

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

// The tooltip of a control, ranges, choices and defaults filled in from the parameter model;
// empty for kCount.
std::string ControlTipText(ControlTip tip);
