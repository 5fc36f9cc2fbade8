// The editor page's portable rules: typed values, value texts, meter levels, the phase that
// travels with the mode, the tooltips, and the help file's path.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "editor/ControlTexts.h"
#include "editor/HelpPath.h"
#include "editor/ModeCycle.h"
#include "editor/ValueText.h"
#include "engine/ParamMapping.h"
#include "engine/ParamValues.h"

TEST(PageTexts, TypedValuesParseLikeTheFieldsShowThem) {
    struct Case {
        const char* text;
        int decimals;
        int32_t expected;
    } const cases[] = {
        {"12.57", 1, 125}, {"-3", 1, -30},  {"6.", 1, 60},    {"abc", 0, 0},     {"1e3", 0, 1},
        {"  45", 0, 45},   {"+7", 0, 7},    {"+", 0, 0},      {"-12.34", 1, -123}, {"-.5", 1, -5},
        {"1.x", 1, 10},    {"3.25", 2, 325}, {"3.2", 2, 320}, {"-0", 0, 0},
        // Too many digits saturate instead of wrapping round to a wrong sign.
        {"99999999999999999999999999999", 0, std::numeric_limits<int32_t>::max()},
        {"-99999999999999999999999999999", 1, -std::numeric_limits<int32_t>::max()},
        {"2147483647", 1, std::numeric_limits<int32_t>::max()},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseFixed(c.text, c.decimals), c.expected) << c.text;

    for (const char* silence : {"-Inf.", "-inf", "-INF", " -inf."})
        EXPECT_EQ(ParseFieldValue(kParamOutput, silence), kOutputSilence) << silence;
    EXPECT_EQ(ParseFieldValue(kParamOutput, "-infinity"), 0);
    EXPECT_EQ(ParseFieldValue(kParamOutput, "-12.34"), -123);
    EXPECT_EQ(ParseFieldValue(kParamPhase, "-inf"), 0);
    EXPECT_EQ(ParseFieldValue(kParamWidth, "12.9"), 12);
}

TEST(PageTexts, EveryValueRoundTripsThroughItsFieldAndEveryChoiceHasItsName) {
    for (int param = 0; param < kParamCount; ++param) {
        const ParamDescriptor& d = kParamDescriptors[param];
        for (int32_t v = d.min; v <= d.max; ++v) {
            if (d.HasChoices()) EXPECT_STREQ(ChoiceText(param, v), d.ChoiceOf(v).name);
            else ASSERT_EQ(ParseFieldValue(param, FieldText(param, v).c_str()), v) << FieldText(param, v);
        }
    }
    EXPECT_EQ(FieldText(kParamOutput, kOutputSilence), "-Inf.");
    EXPECT_EQ(FieldText(kParamOutput, -5), "-0.5");
    EXPECT_EQ(FieldText(kParamPhase, -180), "-180");
    // A value the engine would never hand out still names a choice.
    EXPECT_STREQ(ChoiceText(kParamMode, 9), ChoiceText(kParamMode, kParamDescriptors[kParamMode].max));
}

TEST(PageTexts, TenthsAsTheMetersShowThem) {
    EXPECT_EQ(FormatTenths(-361, -361), "-Inf.");
    EXPECT_EQ(FormatTenths(-400, -361), "-Inf.");
    EXPECT_EQ(FormatTenths(std::numeric_limits<int32_t>::min(), 0), "-Inf.");
    EXPECT_EQ(FormatTenths(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min() + 1),
              "-Inf.");
    EXPECT_EQ(FormatTenths(std::numeric_limits<int32_t>::min() + 1, std::numeric_limits<int32_t>::min()),
              "-214748364.7");
    EXPECT_EQ(FormatTenths(-5, -361), "-0.5");
}

TEST(PageTexts, PeaksBecomeLevelsAndReadouts) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float peak;
        int32_t level;
    } const cases[] = {
        {1.0f, 0},       {0.5f, -60},     {0.001f, -600},  {0.0f, kSilentLevelTenths},
        {-1.0f, kSilentLevelTenths},      {std::nanf(""), kSilentLevelTenths},
        {inf, kLoudestLevelTenths},       {1e30f, 6000},
    };
    for (const Case& c : cases) EXPECT_EQ(PeakLevelTenths(c.peak), c.level) << c.peak;

    EXPECT_EQ(PeakReadoutText(-999), "-Inf");
    EXPECT_EQ(PeakReadoutText(kSilentLevelTenths), "-Inf");
    EXPECT_EQ(PeakReadoutText(-998), "-99.8");
    EXPECT_EQ(PeakReadoutText(-3), "-0.3");
    EXPECT_EQ(PeakReadoutText(0), "0.0");
    EXPECT_EQ(PeakReadoutText(15), "1.5");
}

TEST(PageTexts, EncodeModeLendsThePhaseAndGivesItBack) {
    EXPECT_EQ(NextMode(0), 1);
    EXPECT_EQ(NextMode(3), 0);
    EXPECT_EQ(NextMode(7), 0);

    CModePhaseMemory memory;
    int32_t phase = 0;
    // Mode 1 at 30 degrees, round through 2 and 3 to 0: the phase comes back.
    ASSERT_TRUE(memory.PhaseForMode(1, 2, 30, &phase));
    EXPECT_EQ(phase, 90);
    EXPECT_FALSE(memory.PhaseForMode(2, 3, 90, &phase));
    // Choosing mode 2 again while in it keeps the saved 30, not 90.
    EXPECT_FALSE(memory.PhaseForMode(2, 2, 90, &phase));
    ASSERT_TRUE(memory.PhaseForMode(3, 0, 90, &phase));
    EXPECT_EQ(phase, 30);
    // A phase moved away from 90 meanwhile stays.
    ASSERT_TRUE(memory.PhaseForMode(1, 2, 10, &phase));
    EXPECT_FALSE(memory.PhaseForMode(2, 0, 45, &phase));

    // Each page remembers its own phase.
    CModePhaseMemory other;
    ASSERT_TRUE(other.PhaseForMode(3, 0, 90, &phase));
    EXPECT_EQ(phase, 0);
}

TEST(PageTexts, HelpFileSitsBesideTheModule) {
    std::string path;
    ASSERT_TRUE(HelpFilePathBeside("C:\\Plug\\x.dll", &path));
    EXPECT_EQ(path, "C:\\Plug\\CorvanetwPhase.chm");
    ASSERT_TRUE(HelpFilePathBeside("C:x.dll", &path));
    EXPECT_EQ(path, "C:CorvanetwPhase.chm");
    EXPECT_FALSE(HelpFilePathBeside("", &path));

    const std::string folder = "C:\\" + std::string(kMaxHelpPathChars - 3 - 18 - 1, 'a') + "\\";
    ASSERT_TRUE(HelpFilePathBeside(folder + "x.dll", &path));
    EXPECT_EQ(path.size(), kMaxHelpPathChars);
    EXPECT_FALSE(HelpFilePathBeside(folder + "a\\x.dll", &path));
}

TEST(PageTexts, TooltipsGiveRangesChoicesAndWhatTheMouseDoes) {
    const auto tip = [](ControlTip t) { return ControlTipText(t); };
    const auto has = [](const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    };
    std::set<std::string> seen;
    for (int i = 0; i < static_cast<int>(ControlTip::kCount); ++i) {
        const std::string text = tip(static_cast<ControlTip>(i));
        EXPECT_TRUE(has(text, ": ") && !has(text, "{") && text.back() == '.') << text;
        EXPECT_TRUE(seen.insert(text).second) << "twice: " << text;
    }
    // The value controls: the range as the fields show values, the wheel, typing in the field
    // and the default a double-click on the slider restores.
    struct Value {
        ControlTip field, slider;
        int param;
    } const values[] = {{ControlTip::kPhaseField, ControlTip::kPhaseSlider, kParamPhase},
                        {ControlTip::kWidthField, ControlTip::kWidthSlider, kParamWidth},
                        {ControlTip::kOutputField, ControlTip::kOutputSlider, kParamOutput}};
    for (const Value& v : values) {
        const auto shown = [&v](int32_t x) { return FieldText(v.param, x); };
        const ParamRange range = ParamRangeOf(v.param);
        for (ControlTip t : {v.field, v.slider})
            EXPECT_TRUE(has(tip(t), shown(range.min) + " ") && has(tip(t), shown(range.max) + " ") &&
                        has(tip(t), "wheel")) << tip(t);
        EXPECT_TRUE(has(tip(v.field), "double-click to type")) << tip(v.field);
        EXPECT_TRUE(has(tip(v.slider), "double-click to reset it to " + shown(kDefaultParams[v.param])))
            << tip(v.slider);
    }
    for (const ParamChoice& mode : kModeChoices)
        EXPECT_TRUE(has(tip(ControlTip::kMode), mode.name) && has(tip(ControlTip::kModeMenu), mode.name))
            << mode.name;
    for (const ParamChoice& filter : kFilterChoices)
        EXPECT_TRUE(has(tip(ControlTip::kFilter), filter.name)) << filter.name;
    for (const ParamChoice& position : kMeterPositionChoices)
        EXPECT_TRUE(has(tip(ControlTip::kMeterPost), position.name)) << position.name;
    // Nothing on the page itself says that the clip lights and peak readouts reset on a click.
    for (ControlTip t : {ControlTip::kLeftClip, ControlTip::kRightClip, ControlTip::kLeftPeak,
                         ControlTip::kRightPeak})
        EXPECT_TRUE(has(tip(t), "Click to clear both") || has(tip(t), "Click to reset both")) << tip(t);
}
