// The renderer's automation files: one envelope segment a line,
//   parameter,start_seconds,end_seconds,value_start,value_end,curve
// with the parameter as index 0-5 or name, normalized values and the curve by name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct AutomationSegment {
    uint32_t param;   // ParamIndex
    int64_t rtStart;  // 100-ns units, rounded to the nearest unit
    int64_t rtEnd;
    float valStart;  // normalized, 0..1
    float valEnd;
    int32_t curve;  // tw::kCurveJump .. tw::kCurveSine (automation/MediaParamTypes.h)
};

// Parses the text of an automation file. Blank lines and '#' comments (also after a
// segment) are skipped. False with "line N: problem" on the first bad line.
bool ParseAutomationText(const std::string& text, std::vector<AutomationSegment>* segments,
                         std::string* error);

// Reads and parses a file; errors start with the path.
bool LoadAutomationFile(const std::string& path, std::vector<AutomationSegment>* segments,
                        std::string* error);
