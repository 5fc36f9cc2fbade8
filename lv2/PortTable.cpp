// The port table of each input layout, built once from the parameter table, and the port value
// conversions.
#include "lv2/PortTable.h"

#include <cmath>

#include "engine/PhaseKernels.h"

namespace {

constexpr const char* kPluginUris[kInputLayoutCount] = {
    "https://corvane.example/plugins/twphase",
    "https://corvane.example/plugins/twphase#mono",
};
constexpr const char* kPluginNames[kInputLayoutCount] = {"tw:Phase", "tw:Phase (mono in)"};

float Scaled(int32_t value, int scale) {
    return static_cast<float>(value) / static_cast<float>(scale);
}

PortInfo ControlOut(PortRole role, int channel, const char* symbol, const char* name, float min,
                    float max) {
    return {role, channel, -1, symbol, name, min, max, min};
}

struct LayoutPorts {
    PortInfo port[kMaxPortCount];
    int count = 0;

    explicit LayoutPorts(InputLayout layout) {
        if (layout == InputLayout::kMono) {
            Add({PortRole::kAudioIn, 0, -1, "in", "In", 0, 0, 0});
        } else {
            Add({PortRole::kAudioIn, 0, -1, "in_left", "In Left", 0, 0, 0});
            Add({PortRole::kAudioIn, 1, -1, "in_right", "In Right", 0, 0, 0});
        }
        Add({PortRole::kAudioOut, 0, -1, "out_left", "Out Left", 0, 0, 0});
        Add({PortRole::kAudioOut, 1, -1, "out_right", "Out Right", 0, 0, 0});
        for (int param = 0; param < kParamCount; ++param) {
            const ParamDescriptor& d = kParamDescriptors[param];
            const int scale = PortScaleOf(d);
            Add({PortRole::kParam, 0, param, d.symbol, d.name, Scaled(d.min, scale),
                 Scaled(d.max, scale), Scaled(d.defaultValue, scale)});
        }
        Add({PortRole::kEnabled, 0, -1, "enabled", "Enabled", 0, 1, 1});
        Add(ControlOut(PortRole::kLatency, 0, "latency", "Latency", 0, static_cast<float>(kFirLatencyFrames)));
        Add(ControlOut(PortRole::kPhaseMeter, 0, "phase_meter", "Phase Meter", 0, 180));
        Add(ControlOut(PortRole::kPeak, 0, "peak_left", "Peak Left", kPeakFloorDb, kPeakCeilingDb));
        Add(ControlOut(PortRole::kPeak, 1, "peak_right", "Peak Right", kPeakFloorDb,
                       kPeakCeilingDb));
        Add(ControlOut(PortRole::kClip, 0, "clip_left", "Clip Left", 0, 1));
        Add(ControlOut(PortRole::kClip, 1, "clip_right", "Clip Right", 0, 1));
    }
    void Add(const PortInfo& info) { port[count++] = info; }
};

const LayoutPorts& PortsOf(InputLayout layout) {
    static const LayoutPorts stereo(InputLayout::kStereo);
    static const LayoutPorts mono(InputLayout::kMono);
    return layout == InputLayout::kMono ? mono : stereo;
}

}  // namespace

const char kPresetUriStem[] = "https://corvane.example/plugins/twphase/presets#";

bool PortInfo::IsInput() const {
    return role == PortRole::kAudioIn || role == PortRole::kParam || role == PortRole::kEnabled;
}

const char* PluginUriOf(InputLayout layout) {
    return kPluginUris[static_cast<int>(layout)];
}

const char* PluginNameOf(InputLayout layout) {
    return kPluginNames[static_cast<int>(layout)];
}

int PortCountOf(InputLayout layout) {
    return PortsOf(layout).count;
}

const PortInfo& PortOf(InputLayout layout, int index) {
    return PortsOf(layout).port[index];
}

int PortIndexOf(InputLayout layout, PortRole role, int channelOrParam) {
    const LayoutPorts& ports = PortsOf(layout);
    for (int i = 0; i < ports.count; ++i) {
        const PortInfo& p = ports.port[i];
        const int key = role == PortRole::kParam ? p.param : p.channel;
        if (p.role == role && key == channelOrParam) return i;
    }
    return -1;
}

int PortScaleOf(const ParamDescriptor& d) {
    int scale = 1;
    for (int i = 0; i < d.decimals; ++i) scale *= 10;
    return scale;
}

int32_t ParamFromPortValue(int param, float value) {
    const ParamDescriptor& d = kParamDescriptors[param];
    if (std::isnan(value)) return d.defaultValue;
    // In double, where a float times ten is exact enough that -2.0 dB gives -20 and -0.1 dB -1.
    const double steps = std::floor(static_cast<double>(value) * PortScaleOf(d) + 0.5);
    if (steps <= d.min) return d.min;
    if (steps >= d.max) return d.max;
    return static_cast<int32_t>(steps);
}

float PortValueOfParam(int param, int32_t value) {
    return Scaled(value, PortScaleOf(kParamDescriptors[param]));
}
