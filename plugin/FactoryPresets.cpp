// The built-in preset table.
#include "plugin/FactoryPresets.h"

const FactoryPreset kFactoryPresets[kFactoryPresetCount] = {
    {"(Default)", kDefaultParams},
    {"[1] Full Reset", {{0, 100, 0, 0, 1, 0}}},
};
