// The phase analysis as the user reads it: the text report, the JSON figures for scripts, the
// SVG plot of the curves and phase scopes, and the --fail-above / --fail-below checks.
#pragma once
#include <string>
#include <vector>

#include "analysis/PhaseAnalysis.h"

// The render at the suggested setting, measured from the file the plug-in wrote.
struct RenderCheck {
    bool done = false;
    StereoMoments measured;
    SignalFigures figures;  // of `measured`, the loss against the input's stereo power
    bool agrees = false;
    std::string differences;  // the figures that do not agree
};

// What the report says about the file besides the analysis.
struct AnalysisReportInfo {
    std::string inputName;   // as the user typed it
    std::string formatText;  // "16-bit PCM, stereo, 44100 Hz"
    uint32_t sampleRate = 0;
};

// "--mode lr --filter fir --phase 90 --width 100 --output 0.0": the suggested setting as
// options of the renderer.
std::string SuggestedOptions(const PhaseAnalysisResult& result);

std::string AnalysisText(const PhaseAnalysisResult& result, const AnalysisReportInfo& info,
                         const RenderCheck& render, const std::vector<ThresholdResult>& checks);
std::string AnalysisJson(const PhaseAnalysisResult& result, const AnalysisReportInfo& info,
                         const RenderCheck& render, const std::vector<ThresholdResult>& checks);
// A self-contained SVG document: no scripts, fonts or files it refers to.
std::string AnalysisSvg(const PhaseAnalysisResult& result, const AnalysisReportInfo& info);
