// The built-in preset table: both presets are the factory defaults, the second under the name
// hosts list for a full reset.
#include "plugin/FactoryPresets.h"

const FactoryPreset kFactoryPresets[kFactoryPresetCount] = {
    {"(Default)", kDefaultParams},
    {"[1] Full Reset", kDefaultParams},
};
