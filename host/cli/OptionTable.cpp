// The renderer's option table: how each option's value applies, and its lines of --help.
#include "host/cli/OptionTable.h"

#include "host/cli/ParamArguments.h"
#include "host/cli/TextParse.h"

namespace {

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

// An option without a value that raises a flag.
template <bool RenderOptions::*kFlag>
bool SetFlag(const std::string&, const std::string&, OptionLine* line, std::string*) {
    line->options.*kFlag = true;
    return true;
}

// An option that keeps its value as given: a file or a preset's name.
template <std::string RenderOptions::*kText>
bool SetText(const std::string&, const std::string& value, OptionLine* line, std::string*) {
    line->options.*kText = value;
    return true;
}

// The same for a file that only --analyze writes.
template <std::string RenderOptions::*kText>
bool SetAnalysisText(const std::string& name, const std::string& value, OptionLine* line,
                     std::string*) {
    line->options.*kText = value;
    line->analysisOption = name;
    return true;
}

bool ShowHelp(const std::string&, const std::string&, OptionLine* line, std::string*) {
    line->options.help = true;
    return true;
}

bool ShowVersion(const std::string&, const std::string&, OptionLine* line, std::string*) {
    line->options.version = true;
    return true;
}

bool SetBlock(const std::string& name, const std::string& value, OptionLine* line,
              std::string* error) {
    int64_t frames = 0;
    if (!ParseWhole(name, value, kMinBlockFrames, kMaxBlockFrames, "frames", &frames, error))
        return false;
    line->options.blockFrames = static_cast<uint32_t>(frames);
    return true;
}

bool SetFormat(const std::string& name, const std::string& value, OptionLine* line,
               std::string* error) {
    int32_t format = 0;
    if (!ParseChoice(name, value, kFormatChoices, &format, error)) return false;
    line->options.outputTag = static_cast<uint16_t>(format >> 8);
    line->options.outputBits = static_cast<uint16_t>(format & 0xFF);
    return true;
}

bool SetJobs(const std::string& name, const std::string& value, OptionLine* line,
             std::string* error) {
    int64_t jobs = 0;
    if (!ParseWhole(name, value, 1, kMaxBatchJobs, "files", &jobs, error)) return false;
    line->options.jobs = static_cast<uint32_t>(jobs);
    return true;
}

bool SetObjective(const std::string& name, const std::string& value, OptionLine* line,
                  std::string* error) {
    AnalysisMetric metric = AnalysisMetric::kMonoLoss;
    if (!ParseAnalysisMetric(value, &metric)) {
        *error = name + ": '" + value + "' is not one of mono-loss, correlation, peak, crest";
        return false;
    }
    line->options.objective = static_cast<AnalysisObjective>(metric);
    line->analysisOption = name;
    return true;
}

// --fail-above / --fail-below METRIC=VALUE: mono-loss and crest in dB, peak in dBFS,
// correlation from -1 to 1.
template <bool kAbove>
bool AddThreshold(const std::string& name, const std::string& value, OptionLine* line,
                  std::string* error) {
    const size_t equals = value.find('=');
    AnalysisMetric metric = AnalysisMetric::kMonoLoss;
    if (equals == std::string::npos || !ParseAnalysisMetric(value.substr(0, equals), &metric)) {
        *error = name + ": '" + value +
                 "' is not METRIC=VALUE with METRIC mono-loss, correlation, peak or crest";
        return false;
    }
    constexpr int kDigits = 6;
    int64_t scaled = 0;
    const std::string number = value.substr(equals + 1);
    if (!ParseScaledDecimal(number, kDigits, &scaled)) {
        *error = name + ": '" + number + "' is not a number";
        return false;
    }
    const double limit = static_cast<double>(scaled) / 1e6;
    std::string range;
    if (!MetricLimitInRange(metric, limit, &range)) {
        *error = name + ": " + number + " is outside what " + value.substr(0, equals) +
                 " can be (" + range + ")";
        return false;
    }
    line->options.thresholds.push_back({metric, kAbove, limit});
    line->analysisOption = name;
    return true;
}

// A section of --help.
constexpr OptionRow Heading(const char* text) {
    return {nullptr, nullptr, nullptr, text};
}

}  // namespace

// In the order of --help, after the parameters' own options.
const OptionRow kOptionRows[] = {
    {"--bypass", nullptr, SetFlag<&RenderOptions::bypass>, "pass the audio through unchanged"},

    Heading("State and automation:"),
    {"--preset", "NAME", SetText<&RenderOptions::presetName>,
     "start from a preset: a built-in one, else one of the\n"
     "editor's library as \"Bank/Name\" or \"Name\""},
    {"--preset-file", "FILE", SetText<&RenderOptions::presetFilePath>,
     "look up --preset in FILE (another library or an exported\n"
     "preset file) instead of the editor's library"},
    {"--list-presets", nullptr, SetFlag<&RenderOptions::listPresets>,
     "print the built-in presets and the library's presets\n"
     "(banks, names and values), then stop"},
    {"--state", "FILE", SetText<&RenderOptions::statePath>, "start from a saved plug-in state"},
    {"--save-state", "FILE", SetText<&RenderOptions::saveStatePath>,
     "save the plug-in state after rendering"},
    {"--automation", "FILE", SetText<&RenderOptions::automationPath>,
     "automation segments, one a line:\n"
     "  parameter,start_seconds,end_seconds,value_start,value_end,curve\n"
     "parameter: {parameters};\n"
     "values 0 to 1, filter 0 to 2 (iir, fir, precise);\n"
     "curve: jump, linear, square, invsquare, sine;\n"
     "'#' starts a comment"},

    Heading("Rendering:"),
    {"--block", "FRAMES", SetBlock,
     "frames per block pushed into the plug-in, 16 to 65536\n"
     "(default 512)"},
    {"--format", "same|pcm16|pcm24|f32|f64", SetFormat,
     "the output's sample format (default: the input's)"},
    {"--dither", nullptr, SetFlag<&RenderOptions::dither>,
     "TPDF dither when the output is integer PCM (16-bit\n"
     "files are then processed in float)"},
    {"--keep-latency", nullptr, SetFlag<&RenderOptions::keepLatency>,
     "keep the FIR filter's 63-frame delay in the output (by\n"
     "default the output is shifted back to line up with the\n"
     "input, at the input's length)"},
    {"--edit", nullptr, SetFlag<&RenderOptions::edit>,
     "open the plug-in's editor first; the render uses the\n"
     "settings it is closed with"},
    {"--help", nullptr, ShowHelp, "show this text"},
    {"-h", nullptr, ShowHelp, kUnlisted},
    {"--version", nullptr, ShowVersion, "show the renderer's version"},

    Heading("Batches (--out-dir):"),
    {"--out-dir", "DIR", SetText<&RenderOptions::outDir>,
     "render every INPUT given into DIR (created if missing) as\n"
     "its base name with .wav, each with the options above,\n"
     "several at once; inputs that would share an output name\n"
     "are refused before anything renders. A line per finished\n"
     "file, then a table; a file that fails does not stop the\n"
     "others, and the exit code is 1 if any failed. --edit and\n"
     "--save-state belong to single renders"},
    {"--jobs", "N", SetJobs,
     "render N files at once, 1 to 64 (default: one per\n"
     "logical processor)"},

    Heading("Phase analysis (--analyze; docs/analysis.md explains the report):"),
    {"--analyze", nullptr, SetFlag<&RenderOptions::analyze>,
     "measure INPUT.wav (correlation, mid/side ratio, mono-sum\n"
     "loss, peak) and find, for LR and MS phase with each\n"
     "filter, the phase angle that best meets the objective;\n"
     "then render that setting through the plug-in and check\n"
     "its figures. Writes no audio. --width and --output set\n"
     "the fixed settings, --mode lr|ms and --filter narrow it"},
    {"--objective", "mono-loss|correlation|peak|crest", SetObjective,
     "least mono-sum loss (default), highest correlation,\n"
     "lowest sample peak or lowest crest factor"},
    {"--plot", "FILE.svg", SetAnalysisText<&RenderOptions::plotPath>,
     "draw the curves and phase scopes"},
    {"--report", "FILE.json", SetAnalysisText<&RenderOptions::reportPath>,
     "write the figures for scripts"},
    {"--fail-above", "METRIC=VALUE", AddThreshold<true>, kListedWithNext},
    {"--fail-below", "METRIC=VALUE", AddThreshold<false>,
     "exit with code 3 when the input's mono-loss (dB),\n"
     "correlation, peak (dBFS) or crest (dB) is beyond VALUE;\n"
     "may be repeated"},
};
const size_t kOptionRowCount = sizeof(kOptionRows) / sizeof(kOptionRows[0]);

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& row : kOptionRows)
        if (row.name && name == row.name) return &row;
    return nullptr;
}

bool ShowsTextOnly(const OptionRow& row) {
    return row.apply == ShowHelp || row.apply == ShowVersion;
}

std::string OptionsHelp() {
    const std::string parameters =
        "0-" + std::to_string(kParamCount - 1) + " or " + ParamSymbolList();
    std::string help;
    std::string heading;  // options listed together on one line, so far
    for (const OptionRow& row : kOptionRows) {
        if (!row.name) {
            help += std::string("\n") + row.help + "\n";
            continue;
        }
        if (row.help && *row.help == '\0') continue;  // an alias --help leaves out
        heading += (heading.empty() ? "" : ", ") + std::string(row.name) +
                   (row.argument ? std::string(" ") + row.argument : "");
        if (row.help == kListedWithNext) continue;
        std::string text = row.help;
        const size_t mark = text.find("{parameters}");
        if (mark != std::string::npos) text.replace(mark, sizeof("{parameters}") - 1, parameters);
        help += HelpEntry(heading, text);
        heading.clear();
    }
    return help;
}
