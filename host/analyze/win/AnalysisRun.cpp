// The phase analysis end to end: analyse, render the suggestion, measure, report.
#include "host/analyze/win/AnalysisRun.h"

#include <cstdio>
#include <vector>

#include <windows.h>

#include "host/analyze/AnalysisInput.h"
#include "host/analyze/AnalysisReport.h"
#include "host/wav/WholeFile.h"
#include "analysis/PhaseAnalysis.h"
#include "host/render/win/RenderSession.h"
#include "host/wav/WavFormat.h"

namespace {

AnalysisSettings SettingsOf(const RenderOptions& options) {
    AnalysisSettings settings;
    settings.objective = options.objective;
    settings.width = options.params[kParamWidth];
    settings.output = options.params[kParamOutput];
    if (options.paramGiven[kParamMode]) {
        const bool ms = options.params[kParamMode] == ParamValueOf(Mode::kMsPhase);
        settings.modes[0] = !ms;
        settings.modes[1] = ms;
    }
    if (options.paramGiven[kParamFilter]) {
        for (int32_t filter = 0; filter < static_cast<int32_t>(std::size(settings.filters));
             ++filter)
            settings.filters[filter] = options.params[kParamFilter] == filter;
    }
    return settings;
}

// Renders the input at the suggested setting, as any render (aligned output, the input's
// sample format), and compares the figures of the samples as the file would hold them with the
// analysis's. The samples are measured as they are written; no file is made.
bool RenderSuggestion(const RenderOptions& options, const PhaseAnalysisResult& result,
                      RenderCheck* check, std::string* error) {
    const AnalysisCase& chosen = result.cases[result.suggested];
    RenderOptions render;
    render.inputPath = options.inputPath;
    render.outputPath = "the render at the suggested setting";
    render.blockFrames = options.blockFrames;
    render.params = AnalysisParams(result.settings, chosen.mode, chosen.filter, chosen.bestPhase);
    render.params[kParamMeterPost] = options.params[kParamMeterPost];
    for (bool& given : render.paramGiven) given = true;

    RenderSummary summary;
    CWrittenMeter written;
    bool rendered = false;
    {
        CRenderSession session;
        session.SetOutputSink(
            [&written](const void* frames, size_t count, const WaveFormat& format) {
                written.Add(frames, count, format);
            });
        rendered = session.Render(render, &summary);
        if (!rendered) *error = session.Error();
    }
    for (const std::string& warning : summary.warnings)
        std::fprintf(stderr, "twphase-render: warning: %s\n", warning.c_str());
    if (!rendered) return false;

    check->measured = written.Moments();
    check->done = true;
    check->figures = FiguresOf(check->measured);
    check->agrees =
        MomentsAgree(chosen.bestMoments, check->measured, written.Quantum(), &check->differences);
    return true;
}

}  // namespace

AnalysisOutcome RunPhaseAnalysis(const RenderOptions& options, std::string* error) {
    CWavAnalysisSource source;
    if (!source.Open(options.inputPath)) {
        *error = source.Error();
        return AnalysisOutcome::kFailed;
    }
    PhaseAnalysisResult result;
    std::string problem;
    if (!AnalyzePhase(source, SettingsOf(options), &result, &problem)) {
        *error = problem.find(options.inputPath) == std::string::npos
                     ? options.inputPath + ": " + problem
                     : problem;
        return AnalysisOutcome::kFailed;
    }
    RenderCheck check;
    if (!RenderSuggestion(options, result, &check, error)) return AnalysisOutcome::kFailed;

    AnalysisReportInfo info;
    info.inputName = options.inputPath;
    info.formatText =
        DescribeFormat(source.Format()) + (source.IsExtensible() ? " (extensible)" : "");
    info.sampleRate = source.Format().nSamplesPerSec;
    const std::vector<ThresholdResult> checks = CheckThresholds(result.input, options.thresholds);
    std::fputs(AnalysisText(result, info, check, checks).c_str(), stdout);
    std::fflush(stdout);

    if (!options.plotPath.empty() &&
        !WriteWholeFile(options.plotPath, AnalysisSvg(result, info), error))
        return AnalysisOutcome::kFailed;
    if (!options.reportPath.empty() &&
        !WriteWholeFile(options.reportPath, AnalysisJson(result, info, check, checks), error))
        return AnalysisOutcome::kFailed;
    if (!check.agrees) {
        *error = "the render at the suggested setting does not agree with the analysis (" +
                 check.differences + ")";
        return AnalysisOutcome::kFailed;
    }
    for (const ThresholdResult& c : checks)
        if (c.failed) return AnalysisOutcome::kCheckFailed;
    return AnalysisOutcome::kDone;
}
