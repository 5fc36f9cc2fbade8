// Command-line parsing for twphase-render.
#include "host/cli/RenderOptions.h"

#include "host/cli/ParamArguments.h"
#include "host/cli/TextParse.h"

namespace {

// The options besides the parameters' own (ParamArguments.h).
enum class Option {
    kBypass,
    kPreset,
    kPresetFile,
    kListPresets,
    kState,
    kSaveState,
    kAutomation,
    kBlock,
    kEdit,
    kFormat,
    kDither,
    kKeepLatency,
    kOutDir,
    kJobs,
    kAnalyze,
    kObjective,
    kPlot,
    kReport,
    kFailAbove,
    kFailBelow,
    kHelp
};

struct OptionName {
    const char* name;
    Option option;
    bool takesValue;
};

constexpr OptionName kOptions[] = {
    {"--bypass", Option::kBypass, false},
    {"--preset", Option::kPreset, true},
    {"--preset-file", Option::kPresetFile, true},
    {"--list-presets", Option::kListPresets, false},
    {"--state", Option::kState, true},
    {"--save-state", Option::kSaveState, true},
    {"--automation", Option::kAutomation, true},
    {"--block", Option::kBlock, true},
    {"--edit", Option::kEdit, false},
    {"--format", Option::kFormat, true},
    {"--dither", Option::kDither, false},
    {"--keep-latency", Option::kKeepLatency, false},
    {"--out-dir", Option::kOutDir, true},
    {"--jobs", Option::kJobs, true},
    {"--analyze", Option::kAnalyze, false},
    {"--objective", Option::kObjective, true},
    {"--plot", Option::kPlot, true},
    {"--report", Option::kReport, true},
    {"--fail-above", Option::kFailAbove, true},
    {"--fail-below", Option::kFailBelow, true},
    {"--help", Option::kHelp, false},
    {"-h", Option::kHelp, false},
};

struct Choice {
    const char* name;
    int32_t value;
};
// --format: the output's sample type as format tag << 8 | bits; 0 keeps the input's.
constexpr Choice kFormatChoices[] = {{"same", 0},
                                     {"pcm16", kWaveFormatPcm << 8 | 16},
                                     {"pcm24", kWaveFormatPcm << 8 | 24},
                                     {"f32", kWaveFormatIeeeFloat << 8 | 32},
                                     {"f64", kWaveFormatIeeeFloat << 8 | 64}};

bool ParseWhole(const std::string& option, const std::string& text, int64_t min, int64_t max,
                const char* unit, int64_t* value, std::string* error) {
    bool exact = false;
    if (!ParseScaledDecimal(text, 0, value, &exact)) {
        *error = option + ": '" + text + "' is not a number";
        return false;
    }
    if (!exact) {
        *error = option + ": " + text + " is not a whole number of " + unit;
        return false;
    }
    if (*value < min || *value > max) {
        *error = option + ": " + text + " is out of range (" + std::to_string(min) + " to " +
                 std::to_string(max) + " " + unit + ")";
        return false;
    }
    return true;
}

template <size_t N>
bool ParseChoice(const std::string& option, const std::string& text, const Choice (&choices)[N],
                 int32_t* value, std::string* error) {
    std::string names;
    for (const Choice& choice : choices) {
        if (EqualsIgnoreCase(text, choice.name)) {
            *value = choice.value;
            return true;
        }
        names += std::string(names.empty() ? "" : ", ") + choice.name;
    }
    *error = option + ": '" + text + "' is not one of " + names;
    return false;
}

// --fail-above / --fail-below METRIC=VALUE: mono-loss and crest in dB, peak in dBFS,
// correlation from -1 to 1.
bool ParseThreshold(const std::string& option, const std::string& text, bool above,
                    AnalysisThreshold* threshold, std::string* error) {
    const size_t equals = text.find('=');
    AnalysisMetric metric = AnalysisMetric::kMonoLoss;
    if (equals == std::string::npos || !ParseAnalysisMetric(text.substr(0, equals), &metric)) {
        *error = option + ": '" + text +
                 "' is not METRIC=VALUE with METRIC mono-loss, correlation, peak or crest";
        return false;
    }
    constexpr int kDigits = 6;
    int64_t scaled = 0;
    if (!ParseScaledDecimal(text.substr(equals + 1), kDigits, &scaled)) {
        *error = option + ": '" + text.substr(equals + 1) + "' is not a number";
        return false;
    }
    const double limit = static_cast<double>(scaled) / 1e6;
    std::string range;
    if (!MetricLimitInRange(metric, limit, &range)) {
        *error = option + ": " + text.substr(equals + 1) + " is outside what " +
                 text.substr(0, equals) + " can be (" + range + ")";
        return false;
    }
    threshold->metric = metric;
    threshold->above = above;
    threshold->limit = limit;
    return true;
}

bool IsAnalysisOption(Option option) {
    return option == Option::kObjective || option == Option::kPlot || option == Option::kReport ||
           option == Option::kFailAbove || option == Option::kFailBelow;
}

// What --analyze takes: one input, the fixed settings and the analysis's own options.
bool FinishAnalysis(const std::vector<std::string>& files, RenderOptions* parsed,
                    std::string* error) {
    const struct {
        bool given;
        const char* option;
    } conflicts[] = {
        {parsed->paramGiven[kParamPhase], "--phase (the analysis tries every angle)"},
        {parsed->bypass, "--bypass"},
        {!parsed->presetName.empty(), "--preset"},
        {!parsed->statePath.empty(), "--state"},
        {!parsed->saveStatePath.empty(), "--save-state"},
        {!parsed->automationPath.empty(), "--automation"},
        {parsed->edit, "--edit"},
        {parsed->listPresets, "--list-presets"},
        {parsed->outputTag != 0, "--format"},
        {parsed->dither, "--dither"},
        {parsed->keepLatency, "--keep-latency"},
        {!parsed->outDir.empty(), "--out-dir (it analyses one file)"},
        {parsed->jobs != 0, "--jobs"},
    };
    for (const auto& conflict : conflicts) {
        if (conflict.given) {
            *error = std::string("--analyze cannot be used with ") + conflict.option;
            return false;
        }
    }
    const int32_t mode = parsed->params[kParamMode];
    if (parsed->paramGiven[kParamMode] && mode != ParamValueOf(Mode::kLrPhase) &&
        mode != ParamValueOf(Mode::kMsPhase)) {
        const ParamDescriptor& modes = kParamDescriptors[kParamMode];
        const ParamChoice& lr = modes.ChoiceOf(ParamValueOf(Mode::kLrPhase));
        const ParamChoice& ms = modes.ChoiceOf(ParamValueOf(Mode::kMsPhase));
        *error = std::string("--analyze studies ") + lr.name + " and " + ms.name + ": --mode " +
                 lr.symbol + " or " + ms.symbol;
        return false;
    }
    if (files.size() != 1) {
        *error = files.empty() ? "--analyze needs INPUT.wav (see --help)"
                               : "--analyze writes no audio: give only INPUT.wav (--plot and "
                                 "--report name the files it writes)";
        return false;
    }
    parsed->inputPath = files[0];
    return true;
}

// What a batch (--out-dir) takes: inputs only, and no option that belongs to a single render.
bool FinishBatch(const std::vector<std::string>& files, RenderOptions* parsed, std::string* error) {
    const struct {
        bool given;
        const char* option;
        const char* reason;
    } conflicts[] = {
        {parsed->edit, "--edit", "one editor cannot stand for many renders running at once"},
        {!parsed->saveStatePath.empty(), "--save-state",
         "every file would save its state into the same file"},
    };
    for (const auto& conflict : conflicts) {
        if (conflict.given) {
            *error =
                std::string(conflict.option) + " cannot be used with --out-dir: " + conflict.reason;
            return false;
        }
    }
    if (files.empty()) {
        *error = "--out-dir needs the files to render: --out-dir DIR IN1.wav IN2.wav ...";
        return false;
    }
    parsed->inputPaths = files;
    return true;
}

// The options of a render that take a number or a choice: --block, --format, --jobs.
bool ApplyRenderingOption(Option option, const std::string& name, const std::string& value,
                          RenderOptions* out, std::string* error) {
    int64_t number = 0;
    int32_t setting = 0;
    switch (option) {
        case Option::kBlock:
            if (!ParseWhole(name, value, kMinBlockFrames, kMaxBlockFrames, "frames", &number,
                            error))
                return false;
            out->blockFrames = static_cast<uint32_t>(number);
            return true;
        case Option::kFormat:
            if (!ParseChoice(name, value, kFormatChoices, &setting, error)) return false;
            out->outputTag = static_cast<uint16_t>(setting >> 8);
            out->outputBits = static_cast<uint16_t>(setting & 0xFF);
            return true;
        case Option::kJobs:
            if (!ParseWhole(name, value, 1, kMaxBatchJobs, "files", &number, error)) return false;
            out->jobs = static_cast<uint32_t>(number);
            return true;
        default:
            return false;
    }
}

// --objective, --fail-above, --fail-below: what the analysis aims at and checks.
bool ApplyAnalysisOption(Option option, const std::string& name, const std::string& value,
                         RenderOptions* out, std::string* error) {
    switch (option) {
        case Option::kObjective: {
            AnalysisMetric metric = AnalysisMetric::kMonoLoss;
            if (!ParseAnalysisMetric(value, &metric)) {
                *error =
                    name + ": '" + value + "' is not one of mono-loss, correlation, peak, crest";
                return false;
            }
            out->objective = static_cast<AnalysisObjective>(metric);
            return true;
        }
        case Option::kFailAbove:
        case Option::kFailBelow: {
            AnalysisThreshold threshold;
            if (!ParseThreshold(name, value, option == Option::kFailAbove, &threshold, error))
                return false;
            out->thresholds.push_back(threshold);
            return true;
        }
        default:
            return false;
    }
}

// The flag an option without a value raises, or null.
bool* FlagOf(Option option, RenderOptions* out) {
    switch (option) {
        case Option::kBypass: return &out->bypass;
        case Option::kListPresets: return &out->listPresets;
        case Option::kEdit: return &out->edit;
        case Option::kDither: return &out->dither;
        case Option::kKeepLatency: return &out->keepLatency;
        case Option::kAnalyze: return &out->analyze;
        case Option::kHelp: return &out->help;
        default: return nullptr;
    }
}

// The file or preset name an option keeps as given, or null.
std::string* TextOf(Option option, RenderOptions* out) {
    switch (option) {
        case Option::kPreset: return &out->presetName;
        case Option::kPresetFile: return &out->presetFilePath;
        case Option::kState: return &out->statePath;
        case Option::kSaveState: return &out->saveStatePath;
        case Option::kAutomation: return &out->automationPath;
        case Option::kOutDir: return &out->outDir;
        case Option::kPlot: return &out->plotPath;
        case Option::kReport: return &out->reportPath;
        default: return nullptr;
    }
}

bool ApplyOption(Option option, const std::string& name, const std::string& value,
                 RenderOptions* out, std::string* error) {
    if (bool* flag = FlagOf(option, out)) {
        *flag = true;
        return true;
    }
    if (std::string* text = TextOf(option, out)) {
        *text = value;
        return true;
    }
    switch (option) {
        case Option::kBlock:
        case Option::kFormat:
        case Option::kJobs:
            return ApplyRenderingOption(option, name, value, out, error);
        default:
            return ApplyAnalysisOption(option, name, value, out, error);
    }
}

const OptionName* FindOption(const std::string& name) {
    for (const OptionName& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

// The fixed text of --help, around the lines the parameter descriptors give.
constexpr char kUsageIntro[] =
    "Usage: twphase-render [options] INPUT.wav OUTPUT.wav\n"
    "       twphase-render [options] --out-dir DIR IN1.wav IN2.wav ...\n"
    "       twphase-render --list-presets [--preset-file FILE]\n"
    "       twphase-render --analyze [analysis options] INPUT.wav\n"
    "\n"
    "Renders INPUT.wav through the tw:Phase plug-in into OUTPUT.wav: stereo, in the\n"
    "input's sample format unless --format says otherwise. Input: 8-, 16-, 24- or\n"
    "32-bit PCM or 32/64-bit float, mono or stereo, plain or WAVE_FORMAT_EXTENSIBLE.\n"
    "16-bit and float files go through the plug-in as they are; the others are\n"
    "converted exactly to float for it and back.\n"
    "\n"
    "Parameters (unset ones keep the preset's, the state's or the defaults):\n";
constexpr char kUsageBypassStateAndAutomation[] =
    "  --bypass            pass the audio through unchanged\n"
    "\n"
    "State and automation:\n"
    "  --preset NAME       start from a preset: a built-in one, else one of the\n"
    "                      editor's library as \"Bank/Name\" or \"Name\"\n"
    "  --preset-file FILE  look up --preset in FILE (another library or an exported\n"
    "                      preset file) instead of the editor's library\n"
    "  --list-presets      print the built-in presets and the library's presets\n"
    "                      (banks, names and values), then stop\n"
    "  --state FILE        start from a saved plug-in state\n"
    "  --save-state FILE   save the plug-in state after rendering\n"
    "  --automation FILE   automation segments, one a line:\n"
    "                        "
    "parameter,start_seconds,end_seconds,value_start,value_end,curve\n"
    "                      parameter: 0-";
constexpr char kUsageRest[] =
    "                      values 0 to 1; curve: jump, linear, square, invsquare, sine;\n"
    "                      '#' starts a comment\n"
    "\n"
    "Rendering:\n"
    "  --block FRAMES      frames per block pushed into the plug-in, 16 to 65536\n"
    "                      (default 512)\n"
    "  --format same|pcm16|pcm24|f32|f64\n"
    "                      the output's sample format (default: the input's)\n"
    "  --dither            TPDF dither when the output is integer PCM (16-bit\n"
    "                      files are then processed in float)\n"
    "  --keep-latency      keep the FIR filter's 63-frame delay in the output (by\n"
    "                      default the output is shifted back to line up with the\n"
    "                      input, at the input's length)\n"
    "  --edit              open the plug-in's editor first; the render uses the\n"
    "                      settings it is closed with\n"
    "  --help              show this text\n"
    "  --version           show the renderer's version\n"
    "\n"
    "Batches (--out-dir):\n"
    "  --out-dir DIR       render every INPUT given into DIR (created if missing) as\n"
    "                      its base name with .wav, each with the options above,\n"
    "                      several at once; inputs that would share an output name\n"
    "                      are refused before anything renders. A line per finished\n"
    "                      file, then a table; a file that fails does not stop the\n"
    "                      others, and the exit code is 1 if any failed. --edit and\n"
    "                      --save-state belong to single renders\n"
    "  --jobs N            render N files at once, 1 to 64 (default: one per\n"
    "                      logical processor)\n"
    "\n"
    "Phase analysis (--analyze; docs/analysis.md explains the report):\n"
    "  --analyze           measure INPUT.wav (correlation, mid/side ratio, mono-sum\n"
    "                      loss, peak) and find, for LR and MS phase with each\n"
    "                      filter, the phase angle that best meets the objective;\n"
    "                      then render that setting through the plug-in and check\n"
    "                      its figures. Writes no audio. --width and --output set\n"
    "                      the fixed settings, --mode lr|ms and --filter narrow it\n"
    "  --objective mono-loss|correlation|peak|crest\n"
    "                      least mono-sum loss (default), highest correlation,\n"
    "                      lowest sample peak or lowest crest factor\n"
    "  --plot FILE.svg     draw the curves and phase scopes\n"
    "  --report FILE.json  write the figures for scripts\n"
    "  --fail-above METRIC=VALUE, --fail-below METRIC=VALUE\n"
    "                      exit with code 3 when the input's mono-loss (dB),\n"
    "                      correlation, peak (dBFS) or crest (dB) is beyond VALUE;\n"
    "                      may be repeated\n"
    "\n"
    "Options also take the form --option=value.\n";

// --help and --version win over every other problem on the line.
bool FindHelpOrVersion(const std::vector<std::string>& args, RenderOptions* parsed) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            parsed->help = arg != "--version";
            parsed->version = arg == "--version";
            return true;
        }
    }
    return false;
}

// The value of the option at args[*i], written as --name=value or as the next argument (taken
// as is, so "--phase -90" works); *i moves past a value taken from the next argument.
bool OptionValue(const std::vector<std::string>& args, size_t* i, bool takesValue,
                 std::string* value, std::string* error) {
    const std::string& arg = args[*i];
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (equals != std::string::npos) {
        if (!takesValue) {
            *error = name + " takes no value";
            return false;
        }
        *value = arg.substr(equals + 1);
    } else if (takesValue) {
        if (*i + 1 >= args.size()) {
            *error = name + " needs a value";
            return false;
        }
        *value = args[++*i];
    }
    if (takesValue && value->empty()) {
        *error = name + " needs a value";
        return false;
    }
    return true;
}

// Applies every option of the line in order; the other arguments are the files.
// analysisOption: the last option given that only --analyze takes, else empty.
bool ReadArguments(const std::vector<std::string>& args, RenderOptions* parsed,
                   std::vector<std::string>* files, std::string* analysisOption,
                   std::string* error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            files->push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::string name = arg.substr(0, arg.find('='));
        // A parameter's option takes its value; the others are in kOptions.
        const int param = ParamOfOption(name);
        const OptionName* entry = param < 0 ? FindOption(name) : nullptr;
        if (param < 0 && !entry) {
            *error = "unknown option '" + name + "' (see --help)";
            return false;
        }
        std::string value;
        if (!OptionValue(args, &i, param >= 0 || entry->takesValue, &value, error)) return false;
        if (param >= 0) {
            if (!ParseParamArgument(param, value, &parsed->params[param], error)) return false;
            parsed->paramGiven[param] = true;
            continue;
        }
        if (!ApplyOption(entry->option, name, value, parsed, error)) return false;
        if (IsAnalysisOption(entry->option)) *analysisOption = name;
    }
    return true;
}

// The options that do not go together outside --analyze.
bool CheckCombinations(const RenderOptions& parsed, const std::string& analysisOption,
                       std::string* error) {
    if (!analysisOption.empty()) {
        *error = analysisOption + " needs --analyze";
        return false;
    }
    if (parsed.jobs != 0 && parsed.outDir.empty()) {
        *error = "--jobs needs --out-dir DIR and the files to render";
        return false;
    }
    if (parsed.dither && parsed.outputTag == kWaveFormatIeeeFloat) {
        *error = "--dither applies to integer output, not to --format f32 or f64";
        return false;
    }
    if (!parsed.presetName.empty() && !parsed.statePath.empty()) {
        *error = "--preset and --state cannot be used together";
        return false;
    }
    if (!parsed.presetFilePath.empty() && parsed.presetName.empty() && !parsed.listPresets) {
        *error = "--preset-file needs --preset NAME or --list-presets";
        return false;
    }
    return true;
}

// What --list-presets takes: no files, and no batch.
bool FinishListPresets(const std::vector<std::string>& files, const RenderOptions& parsed,
                       std::string* error) {
    if (!parsed.outDir.empty()) {
        *error = "--list-presets renders nothing: it cannot be used with --out-dir";
        return false;
    }
    if (!files.empty()) {
        *error = "--list-presets renders nothing: give no INPUT.wav or OUTPUT.wav";
        return false;
    }
    return true;
}

// What a single render takes: one input and one output.
bool FinishSingleRender(const std::vector<std::string>& files, RenderOptions* parsed,
                        std::string* error) {
    if (files.size() < 2) {
        *error = files.empty() ? "missing INPUT.wav and OUTPUT.wav (see --help)"
                               : "missing OUTPUT.wav (see --help)";
        return false;
    }
    if (files.size() > 2) {
        *error = "unexpected argument '" + files[2] +
                 "': give one INPUT.wav and one OUTPUT.wav (or --out-dir DIR for several files)";
        return false;
    }
    parsed->inputPath = files[0];
    parsed->outputPath = files[1];
    return true;
}

}  // namespace

bool ParseRenderOptions(const std::vector<std::string>& args, RenderOptions* options,
                        std::string* error) {
    RenderOptions parsed;
    if (FindHelpOrVersion(args, &parsed)) {
        *options = parsed;
        return true;
    }
    std::vector<std::string> files;
    std::string analysisOption;
    if (!ReadArguments(args, &parsed, &files, &analysisOption, error)) return false;

    bool finished = false;
    if (parsed.analyze) {
        finished = FinishAnalysis(files, &parsed, error);
    } else if (!CheckCombinations(parsed, analysisOption, error)) {
        return false;
    } else if (parsed.listPresets) {
        finished = FinishListPresets(files, parsed, error);
    } else if (!parsed.outDir.empty()) {
        finished = FinishBatch(files, &parsed, error);
    } else {
        finished = FinishSingleRender(files, &parsed, error);
    }
    if (finished) *options = parsed;
    return finished;
}

const char* RenderUsage() {
    static const std::string usage = std::string(kUsageIntro) + ParamOptionsHelp() +
                                     kUsageBypassStateAndAutomation +
                                     std::to_string(kParamCount - 1) + " or " +
                                     ParamSymbolList() + ";\n" + kUsageRest;
    return usage.c_str();
}
