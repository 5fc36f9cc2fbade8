// twphase-render: renders a WAV file through the registered tw:Phase plug-in in a DirectShow
// filter graph, as a workstation would, and prints a summary. Without arguments it renders
// the built-in demo signal to twphase-demo.wav. With --analyze it runs the phase analysis
// instead (AnalysisRun.h), with --out-dir a batch of files (BatchRun.h).
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include "host/render/DemoSignal.h"
#include "host/cli/ParamArguments.h"
#include "host/cli/RenderOptions.h"
#include "host/analyze/win/AnalysisRun.h"
#include "host/render/win/BatchRun.h"
#include "host/render/win/RenderSession.h"
#include "host/render/RenderStats.h"
#include "host/wav/SampleConversion.h"
#include "host/wav/WavFormat.h"
#include "resources/Version.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRenderFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCheckFailed = 3;  // --analyze: a --fail-above or --fail-below check failed

constexpr const char* kDemoOutput = "twphase-demo.wav";
// A wide MS rotation with the FIR quadrature filter, slightly widened.
struct DemoSetting {
    int param;
    int32_t value;
};
constexpr DemoSetting kDemoSettings[] = {{kParamPhase, 60},
                                         {kParamWidth, 130},
                                         {kParamOutput, -10},
                                         {kParamMode, ParamValueOf(Mode::kMsPhase)},
                                         {kParamFilter, ParamValueOf(QuadratureFilter::kFir)}};

void PrintError(const std::string& message) {
    std::fprintf(stderr, "twphase-render: %s\n", message.c_str());
}

std::string TempDemoInputPath() {
    char directory[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof(directory), directory);
    std::string path = length > 0 && length < sizeof(directory) ? directory : ".\\";
    return path + "twphase-demo-input-" + std::to_string(GetCurrentProcessId()) + ".wav";
}

std::string OutputText(int32_t tenths) {
    const bool gain = !kParamDescriptors[kParamOutput].IsSilent(tenths) && tenths >= 0;
    return (gain ? "+" : "") + ParamArgumentText(kParamOutput, tenths) + " " +
           kParamDescriptors[kParamOutput].unit;
}

// The name of the choice in force (the plug-in keeps its values inside their ranges).
const ParamChoice& ChoiceOf(const ParamValues& p, int param) {
    return kParamDescriptors[param].ChoiceOf(p[param]);
}

std::string SettingsText(const RenderSummary& s) {
    const ParamValues& p = s.params;
    std::string text = "Phase " + std::to_string(p[kParamPhase]) + " deg, Width " +
                       std::to_string(p[kParamWidth]) + " %, Output " +
                       OutputText(p[kParamOutput]) + ", " + ChoiceOf(p, kParamMode).name +
                       ", meter " + ChoiceOf(p, kParamMeterPost).symbol + ", " +
                       ChoiceOf(p, kParamFilter).name + " filter";
    if (s.bypass) text += ", bypassed";
    return text;
}

// inputName: what to call the input (the demo's is a temporary file).
void PrintSummary(const std::string& inputName, const std::string& outputPath,
                  const RenderSummary& s) {
    const uint32_t rate = s.inputFormat.nSamplesPerSec;
    const double seconds = rate ? double(s.inputFrames) / rate : 0.0;
    std::printf("rendered %s -> %s\n", inputName.c_str(), outputPath.c_str());
    std::printf("  input        %s%s, %llu frames (%.2f s)\n", DescribeFormat(s.inputFormat).c_str(),
                s.inputExtensible ? " (extensible)" : "",
                static_cast<unsigned long long>(s.inputFrames), seconds);
    if (!SameSampleType(s.workingFormat, s.inputFormat) ||
        !SameSampleType(s.workingFormat, s.outputFormat))
        std::printf("  processing   %s (converted for the plug-in)\n",
                    DescribeSampleType(s.workingFormat).c_str());
    std::printf("  output       %s%s, %llu frames\n", DescribeFormat(s.outputFormat).c_str(),
                s.dithered ? ", TPDF dither" : "", static_cast<unsigned long long>(s.outputFrames));
    std::printf("  settings     %s\n", SettingsText(s).c_str());
    std::printf("  latency      %d frames (%.2f ms)%s\n", s.latencyFrames,
                rate ? 1000.0 * s.latencyFrames / rate : 0.0,
                s.compensatedFrames    ? ", compensated: the output lines up with the input"
                : s.latencyFrames != 0 ? ", kept in the output"
                                       : "");
    std::printf("  output peak  L %s  R %s dBFS\n", FormatDbfs(s.outputPeak[0]).c_str(),
                FormatDbfs(s.outputPeak[1]).c_str());
    std::printf("  phase meter  %d of 180 at the end\n", s.phaseMeter);
    std::printf("  clip         L %s  R %s\n", s.clipLeft ? "yes" : "no",
                s.clipRight ? "yes" : "no");
    if (s.renderSeconds > 0.0)
        std::printf("  speed        %.1f x real time (%.3f s)\n", seconds / s.renderSeconds,
                    s.renderSeconds);
    for (const std::string& warning : s.warnings)
        std::fprintf(stderr, "twphase-render: warning: %s\n", warning.c_str());
}

// No arguments: the demo signal, written to a temporary input, rendered with kDemoSettings as options.
bool UseDemo(std::vector<std::string>* args, std::string* demoInput) {
    *demoInput = TempDemoInputPath();
    std::string error;
    if (!WriteDemoFile(*demoInput, kDemoSeconds, &error)) {
        PrintError("cannot write the demo input: " + error);
        return false;
    }
    args->clear();
    for (const DemoSetting& setting : kDemoSettings) {
        args->push_back(std::string("--") + kParamDescriptors[setting.param].symbol);
        args->push_back(ParamArgumentText(setting.param, setting.value));
    }
    args->push_back(*demoInput);
    args->push_back(kDemoOutput);
    return true;
}

int RunBatchCommand(const RenderOptions& options) {
    std::string error;
    const BatchOutcome outcome = RunBatch(options, &error);
    if (outcome == BatchOutcome::kRefused || outcome == BatchOutcome::kFailed) PrintError(error);
    return outcome == BatchOutcome::kAllRendered ? kExitOk
           : outcome == BatchOutcome::kRefused   ? kExitUsage
                                                 : kExitRenderFailed;
}

// Inside the COM apartment: the analysis.
int RunAnalysisCommand(const RenderOptions& options) {
    std::string error;
    const AnalysisOutcome outcome = RunPhaseAnalysis(options, &error);
    if (outcome == AnalysisOutcome::kFailed) PrintError(error);
    return outcome == AnalysisOutcome::kDone          ? kExitOk
           : outcome == AnalysisOutcome::kCheckFailed ? kExitCheckFailed
                                                      : kExitRenderFailed;
}

// Inside the COM apartment: one render, or the preset list. The session is gone before the
// apartment closes.
bool RunSession(const RenderOptions& options, RenderSummary* summary, std::string* presetList,
                std::string* error) {
    CRenderSession session;
    const bool done = options.listPresets ? session.ListPresets(options, presetList)
                                          : session.Render(options, summary);
    if (!done) *error = session.Error();
    return done;
}

int RenderCommand(const RenderOptions& options, const std::string& demoInput) {
    // The plug-in and Wine's graph are free-threaded; the streaming thread calls both. The
    // editor's property frame needs OLE in a single-threaded apartment on the thread that
    // shows it, and the plug-in (registered as "Both") then lives in that apartment.
    HRESULT hr = options.edit ? OleInitialize(nullptr)
                              : CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        PrintError(options.edit ? "OLE cannot be initialised" : "COM cannot be initialised");
        return kExitRenderFailed;
    }
    if (options.analyze) {
        const int code = RunAnalysisCommand(options);
        CoUninitialize();
        return code;
    }
    RenderSummary summary;
    std::string presetList, error;
    const bool rendered = RunSession(options, &summary, &presetList, &error);
    if (options.edit)
        OleUninitialize();
    else
        CoUninitialize();
    if (!demoInput.empty()) DeleteFileA(demoInput.c_str());

    if (!rendered) {
        PrintError(error);
        return kExitRenderFailed;
    }
    if (options.listPresets) {
        std::fputs(presetList.c_str(), stdout);
        return kExitOk;
    }
    PrintSummary(demoInput.empty() ? options.inputPath : "the built-in demo signal",
                 options.outputPath, summary);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string demoInput;
    if (args.empty() && !UseDemo(&args, &demoInput)) return kExitRenderFailed;

    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(args, &options, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(RenderUsage(), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::printf("twphase-render %s (%s, %s)\n", TW_VERSION_STRING, TW_PRODUCT_NAME,
                    TW_COMPANY_NAME);
        return kExitOk;
    }
    if (!options.outDir.empty()) return RunBatchCommand(options);
    return RenderCommand(options, demoInput);
}
