// The built-in presets offered to hosts. Entry 0 is also the state a new plug-in starts in.
#pragma once
#include "engine/ParamValues.h"

struct FactoryPreset {
    char name[64];  // zero-terminated, system code page
    ParamValues values;
};

constexpr int kFactoryPresetCount = 2;
extern const FactoryPreset kFactoryPresets[kFactoryPresetCount];
