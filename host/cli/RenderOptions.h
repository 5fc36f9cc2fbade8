// The command line of twphase-render: parsed into RenderOptions with parameter values in the
// plug-in's internal units, range-checked (never clamped), plus the usage text.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ParamValues.h"
#include "engine/WaveFormat.h"
#include "analysis/PhaseAnalysis.h"

constexpr uint32_t kDefaultBlockFrames = 512;
constexpr uint32_t kMinBlockFrames = 16;
constexpr uint32_t kMaxBlockFrames = 65536;
// --jobs: how many files of a batch render at once.
constexpr uint32_t kMaxBatchJobs = 64;

struct RenderOptions {
    std::string inputPath;
    std::string outputPath;
    // --out-dir DIR: a batch. Every input (inputPaths, as typed; inputPath and outputPath stay
    // empty) is rendered with the same options into DIR under its own base name.
    std::string outDir;
    std::vector<std::string> inputPaths;
    uint32_t jobs = 0;  // --jobs N: files rendered at once; 0 for one per logical processor
    // Values given on the command line; they override the preset or state.
    ParamValues params = kDefaultParams;
    bool paramGiven[kParamCount] = {};
    bool bypass = false;
    std::string presetName;
    std::string presetFilePath;  // --preset-file: the library --preset and --list-presets read
    bool listPresets = false;    // --list-presets: print the presets; nothing is rendered
    std::string statePath;
    std::string saveStatePath;
    std::string automationPath;
    uint32_t blockFrames = kDefaultBlockFrames;
    bool edit = false;  // --edit: open the plug-in's editor before rendering
    // --format: the output's sample type (kWaveFormatPcm 16 or 24, kWaveFormatIeeeFloat 32 or
    // 64); tag 0 keeps the input's.
    uint16_t outputTag = 0;
    uint16_t outputBits = 0;
    bool dither = false;       // --dither: TPDF dither on integer output
    bool keepLatency = false;  // --keep-latency: the FIR filter's delay stays in the output
    bool help = false;     // --help: show RenderUsage(); nothing else was checked
    bool version = false;  // --version: show the version; nothing else was checked

    // --analyze: the phase analysis of inputPath (no OUTPUT.wav); --mode and --filter, when
    // given, narrow it to that mode or filter, --width and --output set the fixed settings.
    bool analyze = false;
    AnalysisObjective objective = AnalysisObjective::kMonoLoss;  // --objective
    std::string plotPath;                                        // --plot FILE.svg
    std::string reportPath;                                      // --report FILE.json
    std::vector<AnalysisThreshold> thresholds;                   // --fail-above, --fail-below
};

// Parses the arguments after the program name. False with a one-line message on error.
bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options,
                        std::string* error);

const char* RenderUsage();
