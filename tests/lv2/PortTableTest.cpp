// The LV2 port table against the parameter table, and the port value conversions at their edges.
#include <cmath>
#include <limits>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "engine/ParamValues.h"
#include "lv2/PortTable.h"

namespace {

constexpr InputLayout kLayouts[] = {InputLayout::kStereo, InputLayout::kMono};

TEST(PortTable, EveryParameterHasOneControlInputWithItsRangeAndDefault) {
    for (InputLayout layout : kLayouts) {
        for (int param = 0; param < kParamCount; ++param) {
            const ParamDescriptor& d = kParamDescriptors[param];
            const int index = PortIndexOf(layout, PortRole::kParam, param);
            ASSERT_GE(index, 0) << d.symbol;
            const PortInfo& port = PortOf(layout, index);
            EXPECT_TRUE(port.IsInput());
            EXPECT_STREQ(port.symbol, d.symbol);
            // The port's range and default are the internal ones read back.
            EXPECT_EQ(ParamFromPortValue(param, port.min), d.min) << d.symbol;
            EXPECT_EQ(ParamFromPortValue(param, port.max), d.max) << d.symbol;
            EXPECT_EQ(ParamFromPortValue(param, port.defaultValue), d.defaultValue) << d.symbol;
        }
    }
}

TEST(PortTable, EachRoleFindsItsPortAndTheMonoLayoutLacksOnlyTheRightInput) {
    for (InputLayout layout : kLayouts) {
        std::set<std::string> symbols;
        for (int i = 0; i < PortCountOf(layout); ++i) {
            const PortInfo& p = PortOf(layout, i);
            EXPECT_TRUE(symbols.insert(p.symbol).second) << p.symbol;
            EXPECT_EQ(PortIndexOf(layout, p.role, p.role == PortRole::kParam ? p.param : p.channel), i);
        }
    }
    EXPECT_EQ(PortIndexOf(InputLayout::kMono, PortRole::kAudioIn, 1), -1);
    EXPECT_EQ(PortCountOf(InputLayout::kStereo), PortCountOf(InputLayout::kMono) + 1);
}

TEST(PortTable, PortValuesRoundHalvesUpAndClampLikeTheSetters) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        int param;
        float value;
        int32_t expected;
    } cases[] = {
        {kParamPhase, 90.0f, 90},      {kParamPhase, 89.5f, 90},    {kParamPhase, -89.5f, -89},
        {kParamPhase, 200.0f, 180},    {kParamPhase, -1e9f, -180},  {kParamPhase, nan, 0},
        {kParamWidth, 130.4f, 130},    {kParamWidth, -3.0f, 0},     {kParamWidth, 250.0f, 200},
        {kParamOutput, -2.0f, -20},    {kParamOutput, -0.1f, -1},   {kParamOutput, 6.0f, 60},
        {kParamOutput, 6.04f, 60},     {kParamOutput, 99.0f, 60},   {kParamOutput, -36.0f, -360},
        {kParamOutput, -36.1f, kOutputSilence},                     {kParamOutput, -80.0f, kOutputSilence},
        {kParamOutput, -std::numeric_limits<float>::infinity(), kOutputSilence},
        {kParamMode, 1.0f, 1},         {kParamMode, 2.6f, 3},       {kParamMode, 9.0f, 3},
        {kParamMeterPost, 0.0f, 0},    {kParamMeterPost, 1.0f, 1},  {kParamFilter, 2.0f, 2},
        {kParamFilter, -1.0f, 0},      {kParamFilter, nan, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParamFromPortValue(c.param, c.value), c.expected)
            << kParamDescriptors[c.param].symbol << " " << c.value;
}

TEST(PortTable, EveryInternalValueSurvivesThePortAndBack) {
    for (int param = 0; param < kParamCount; ++param) {
        const ParamDescriptor& d = kParamDescriptors[param];
        for (int32_t v = d.min; v <= d.max; ++v)
            ASSERT_EQ(ParamFromPortValue(param, PortValueOfParam(param, v)), v) << d.symbol;
    }
}

}  // namespace
