// The LV2 plug-in's ports, one table made from the parameter table: the audio ports of an input
// layout, a control input per parameter plus the enable switch, and the control outputs
// (latency, phase meter, output peaks, clip indicators); with the conversions between a
// parameter's port value (in its unit, 0.1 dB for Output) and its internal value.
#pragma once
#include <cstdint>

#include "engine/ParamDescriptors.h"

// The plug-ins of the bundle: stereo in, or mono in; both give stereo out.
enum class InputLayout : int { kStereo = 0, kMono = 1 };
constexpr int kInputLayoutCount = 2;

// What a port carries.
enum class PortRole : int {
    kAudioIn,     // channel: 0 left (or the mono input), 1 right
    kAudioOut,    // channel: 0 left, 1 right
    kParam,       // param: the parameter's index
    kEnabled,     // 1 processes, 0 passes the input through (bypass)
    kLatency,     // frames of delay the output has now
    kPhaseMeter,  // 0 (in phase) to 180 (opposite), whole degrees
    kPeak,        // channel's output peak since the last run, dBFS
    kClip,        // 1 while a channel's clip is held
};

struct PortInfo {
    PortRole role;
    int channel;  // audio, peak and clip ports
    int param;    // kParam ports, else -1
    const char* symbol;
    const char* name;
    // Control ports: the range and default in port units.
    float min;
    float max;
    float defaultValue;

    bool IsInput() const;
    bool IsAudio() const { return role == PortRole::kAudioIn || role == PortRole::kAudioOut; }
};

// The peaks' range: silence and anything quieter reads as the floor.
constexpr float kPeakFloorDb = -90.0f;
constexpr float kPeakCeilingDb = 20.0f;

// The plug-in's URI and name for a layout, and the URI stem of the bundle's presets.
const char* PluginUriOf(InputLayout layout);
const char* PluginNameOf(InputLayout layout);
extern const char kPresetUriStem[];

// The most ports a layout has: two audio inputs, two outputs, the parameters, the switch and six
// control outputs.
constexpr int kMaxPortCount = 2 + 2 + kParamCount + 7;
int PortCountOf(InputLayout layout);
// The port at an index below PortCountOf(layout).
const PortInfo& PortOf(InputLayout layout, int index);
// The index of a role's port (with its channel or parameter), or -1 when the layout has none.
int PortIndexOf(InputLayout layout, PortRole role, int channelOrParam = 0);

// Port units per internal step: 10 for a parameter with one decimal (Output), else 1.
int PortScaleOf(const ParamDescriptor& d);
// The internal value of a port value: scaled, halves rounded upwards, clamped to the range as the
// setters clamp; NaN gives the default. The bottom of Output (-36.1 dB and below) is silence.
int32_t ParamFromPortValue(int param, float value);
// The port value of an internal value (-361 gives -36.1).
float PortValueOfParam(int param, int32_t value);
