// Parsing of automation files into envelope segments.
#include "host/cli/AutomationFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "automation/MediaParamTypes.h"
#include "engine/ParamValues.h"
#include "host/cli/ParamArguments.h"
#include "host/cli/TextParse.h"

namespace {

constexpr int kFieldCount = 6;
constexpr int kReferenceTimeDigits = 7;  // 100-ns units per second = 10^7
constexpr int kValueDigits = 9;
constexpr int64_t kValueScale = 1000000000;

struct CurveName {
    const char* name;
    int32_t curve;
};
constexpr CurveName kCurves[] = {{"jump", tw::kCurveJump},
                                 {"linear", tw::kCurveLinear},
                                 {"square", tw::kCurveSquare},
                                 {"invsquare", tw::kCurveInvSquare},
                                 {"sine", tw::kCurveSine}};

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        fields.push_back(TrimSpace(line.substr(start, comma - start)));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

// Each returns an empty string on success, else the problem.
std::string ParseParam(const std::string& text, uint32_t* param) {
    int64_t index = 0;
    const bool allDigits =
        !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (allDigits && ParseScaledDecimal(text, 0, &index)) {
        if (index < 0 || index >= kParamCount)
            return "parameter index " + text + " is out of range (0 to " +
                   std::to_string(kParamCount - 1) + ")";
        *param = static_cast<uint32_t>(index);
        return std::string();
    }
    for (int i = 0; i < kParamCount; ++i) {
        if (EqualsIgnoreCase(text, kParamDescriptors[i].symbol)) {
            *param = static_cast<uint32_t>(i);
            return std::string();
        }
    }
    return "unknown parameter '" + text + "' (0-" + std::to_string(kParamCount - 1) + ", " +
           ParamSymbolList() + ")";
}

std::string ParseTime(const std::string& text, const char* what, int64_t* rt) {
    if (!ParseScaledDecimal(text, kReferenceTimeDigits, rt))
        return std::string(what) + " '" + text + "' is not a number of seconds";
    if (*rt < 0) return std::string(what) + " " + text + " is negative";
    return std::string();
}

// A value in the parameter's automation range: 0 to 1, or an enumeration's choice numbers.
std::string ParseValue(const std::string& text, const char* what, uint32_t param, float* value) {
    int64_t scaled = 0;
    if (!ParseScaledDecimal(text, kValueDigits, &scaled))
        return std::string(what) + " '" + text + "' is not a number";
    const int64_t top = static_cast<int64_t>(AutomationMaxOf(kParamDescriptors[param]));
    if (scaled < 0 || scaled > top * kValueScale)
        return std::string(what) + " " + text + " is outside 0 to " + std::to_string(top);
    *value = static_cast<float>(static_cast<double>(scaled) / static_cast<double>(kValueScale));
    return std::string();
}

std::string ParseCurve(const std::string& text, int32_t* curve) {
    for (const CurveName& entry : kCurves) {
        if (EqualsIgnoreCase(text, entry.name)) {
            *curve = entry.curve;
            return std::string();
        }
    }
    return "unknown curve '" + text + "' (jump, linear, square, invsquare, sine)";
}

std::string ParseSegment(const std::string& line, AutomationSegment* segment) {
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() != kFieldCount)
        return "expected 6 fields (parameter,start_seconds,end_seconds,value_start,value_end,"
               "curve), found " +
               std::to_string(fields.size());
    std::string problem = ParseParam(fields[0], &segment->param);
    if (problem.empty()) problem = ParseTime(fields[1], "start time", &segment->rtStart);
    if (problem.empty()) problem = ParseTime(fields[2], "end time", &segment->rtEnd);
    if (problem.empty() && segment->rtEnd < segment->rtStart)
        problem = "end time " + fields[2] + " is before start time " + fields[1];
    if (problem.empty())
        problem = ParseValue(fields[3], "value_start", segment->param, &segment->valStart);
    if (problem.empty())
        problem = ParseValue(fields[4], "value_end", segment->param, &segment->valEnd);
    if (problem.empty()) problem = ParseCurve(fields[5], &segment->curve);
    return problem;
}

}  // namespace

bool ParseAutomationText(const std::string& text, std::vector<AutomationSegment>* segments,
                         std::string* error) {
    std::vector<AutomationSegment> parsed;
    // A UTF-8 byte-order mark, as Windows editors write, is not part of the first line.
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (int lineNumber = 1; start <= text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        line = TrimSpace(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        AutomationSegment segment = {};
        const std::string problem = ParseSegment(line, &segment);
        if (!problem.empty()) {
            *error = "line " + std::to_string(lineNumber) + ": " + problem;
            return false;
        }
        parsed.push_back(segment);
    }
    *segments = std::move(parsed);
    return true;
}

bool LoadAutomationFile(const std::string& path, std::vector<AutomationSegment>* segments,
                        std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) text.append(chunk, got);
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        *error = "cannot read " + path;
        return false;
    }
    if (!ParseAutomationText(text, segments, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}
