// Command-line parsing for twphase-render.
#include "host/cli/RenderOptions.h"

#include "host/cli/OptionTable.h"
#include "host/cli/ParamArguments.h"

namespace {

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

// The fixed text of --help, around the lines of the parameters and the option table.
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
constexpr char kUsageOutro[] = "\nOptions also take the form --option=value.\n";

// --help and --version win over every other problem on the line.
bool FindHelpOrVersion(const std::vector<std::string>& args, OptionLine* line) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        const OptionRow* row = FindOption(arg);
        if (row && ShowsTextOnly(*row)) return row->apply(arg, std::string(), line, nullptr);
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
bool ReadArguments(const std::vector<std::string>& args, OptionLine* line,
                   std::vector<std::string>* files, std::string* error) {
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
        // A parameter's option takes its value; the others are in the option table.
        const int param = ParamOfOption(name);
        const OptionRow* row = param < 0 ? FindOption(name) : nullptr;
        if (param < 0 && !row) {
            *error = "unknown option '" + name + "' (see --help)";
            return false;
        }
        std::string value;
        if (!OptionValue(args, &i, param >= 0 || row->argument != nullptr, &value, error))
            return false;
        if (param >= 0) {
            RenderOptions& options = line->options;
            if (!ParseParamArgument(param, value, &options.params[param], error)) return false;
            options.paramGiven[param] = true;
        } else if (!row->apply(name, value, line, error)) {
            return false;
        }
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
    OptionLine line;
    RenderOptions& parsed = line.options;
    if (FindHelpOrVersion(args, &line)) {
        *options = parsed;
        return true;
    }
    std::vector<std::string> files;
    if (!ReadArguments(args, &line, &files, error)) return false;

    bool finished = false;
    if (parsed.analyze) {
        finished = FinishAnalysis(files, &parsed, error);
    } else if (!CheckCombinations(parsed, line.analysisOption, error)) {
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
    static const std::string usage =
        std::string(kUsageIntro) + ParamOptionsHelp() + OptionsHelp() + kUsageOutro;
    return usage.c_str();
}
