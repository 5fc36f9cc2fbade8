// Automation files: names and indices, comments and spacing, time rounding, and the line
// number and problem of each refused line.
#include <gtest/gtest.h>

#include "automation/MediaParamTypes.h"
#include "host/cli/AutomationFile.h"

namespace {

TEST(AutomationFile, ParsesSegmentsWithCommentsAndSpacing) {
    const std::string text =
        "\xEF\xBB\xBF# phase sweep, then a width dip\r\n"
        "\n"
        "phase, 0, 2.5, 0, 1, linear\r\n"
        "  WIDTH ,1.25,1.25,0.5,0.5,Jump   # at an instant\n"
        "2,0.00000005,0.00000015,1,0.25,square\n"
        "3,0,1,0,1,invsquare\n"
        "Filter,10,12,0.000000001,2.0,SINE";  // the precise filter at the end
    std::vector<AutomationSegment> segments;
    std::string error;
    ASSERT_TRUE(ParseAutomationText(text, &segments, &error)) << error;
    ASSERT_EQ(5u, segments.size());
    EXPECT_EQ(0u, segments[0].param);
    EXPECT_EQ(0, segments[0].rtStart);
    EXPECT_EQ(25000000, segments[0].rtEnd);
    EXPECT_EQ(tw::kCurveLinear, segments[0].curve);
    EXPECT_EQ(1u, segments[1].param);
    EXPECT_EQ(12500000, segments[1].rtStart);
    EXPECT_EQ(12500000, segments[1].rtEnd);
    EXPECT_EQ(0.5f, segments[1].valStart);
    EXPECT_EQ(tw::kCurveJump, segments[1].curve);
    EXPECT_EQ(2u, segments[2].param);
    EXPECT_EQ(1, segments[2].rtStart);  // 0.5 unit rounds up
    EXPECT_EQ(2, segments[2].rtEnd);
    EXPECT_EQ(1.0f, segments[2].valStart);
    EXPECT_EQ(0.25f, segments[2].valEnd);
    EXPECT_EQ(tw::kCurveSquare, segments[2].curve);
    EXPECT_EQ(tw::kCurveInvSquare, segments[3].curve);
    EXPECT_EQ(5u, segments[4].param);
    EXPECT_EQ(1e-9f, segments[4].valStart);
    EXPECT_EQ(2.0f, segments[4].valEnd);
    EXPECT_EQ(tw::kCurveSine, segments[4].curve);

    ASSERT_TRUE(
        ParseAutomationText("\xEF\xBB\xBF"
                            "phase,0,1,0,1,jump",
                            &segments, &error));
    EXPECT_EQ(1u, segments.size());
    ASSERT_TRUE(ParseAutomationText("# nothing to do\n\n", &segments, &error));
    EXPECT_TRUE(segments.empty());
}

TEST(AutomationFile, RefusedLinesNameTheLineAndTheProblem) {
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"phase,0,1,0,1",
         "expected 6 fields (parameter,start_seconds,end_seconds,value_start,"
         "value_end,curve), found 5"},
        {"phase,0,1,0,1,linear,extra", "found 7"},
        {"6,0,1,0,1,linear", "parameter index 6 is out of range (0 to 5)"},
        {"gain,0,1,0,1,linear", "unknown parameter 'gain'"},
        {"1.0,0,1,0,1,linear", "unknown parameter '1.0'"},
        {"phase,-1,1,0,1,linear", "start time -1 is negative"},
        {"phase,0,soon,0,1,linear", "end time 'soon' is not a number of seconds"},
        {"phase,2,1,0,1,linear", "end time 1 is before start time 2"},
        {"phase,0,1,1.5,1,linear", "value_start 1.5 is outside 0 to 1"},
        {"phase,0,1,0,-0.1,linear", "value_end -0.1 is outside 0 to 1"},
        {"filter,0,1,2,2.5,jump", "value_end 2.5 is outside 0 to 2"},
        {"phase,0,1,0,,linear", "value_end '' is not a number"},
        {"phase,0,1,0,1,cubic", "unknown curve 'cubic' (jump, linear, square, invsquare, sine)"},
    };
    for (const auto& c : cases) {
        std::vector<AutomationSegment> segments;
        std::string error;
        const std::string text = "# header\nwidth,0,1,0,1,jump\n\n" + std::string(c.line) + "\n";
        EXPECT_FALSE(ParseAutomationText(text, &segments, &error));
        EXPECT_EQ(0u, error.find("line 4: ")) << error;
        EXPECT_NE(std::string::npos, error.find(c.error)) << error;
    }
    std::vector<AutomationSegment> segments;
    std::string error;
    EXPECT_FALSE(LoadAutomationFile("/nonexistent/auto.txt", &segments, &error));
    EXPECT_EQ(0u, error.find("cannot open /nonexistent/auto.txt: "));
}

}  // namespace
