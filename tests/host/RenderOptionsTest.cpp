// The renderer's command line: values in internal units, both option forms, and one clear
// line for each kind of mistake.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/cli/OptionTable.h"
#include "host/cli/ParamArguments.h"
#include "host/cli/RenderOptions.h"

namespace {

bool Parse(std::vector<std::string> args, RenderOptions* options, std::string* error) {
    return ParseRenderOptions(args, options, error);
}

TEST(RenderOptions, FilesAloneKeepEveryDefault) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"in.wav", "out.wav"}, &options, &error)) << error;
    EXPECT_EQ("in.wav", options.inputPath);
    EXPECT_EQ("out.wav", options.outputPath);
    EXPECT_EQ(kDefaultParams, options.params);
    for (bool given : options.paramGiven) EXPECT_FALSE(given);
    EXPECT_EQ(kDefaultBlockFrames, options.blockFrames);
    EXPECT_FALSE(options.bypass);
    EXPECT_FALSE(options.edit);
    EXPECT_EQ(0, options.outputTag);  // the input's sample format
    EXPECT_FALSE(options.dither);
    EXPECT_FALSE(options.keepLatency);
    ASSERT_TRUE(Parse({"--format=f64", "--format=same", "in.wav", "out.wav"}, &options, &error));
    EXPECT_EQ(0, options.outputTag) << "the last one counts";
}

TEST(RenderOptions, ValuesBecomeInternalUnits) {
    const struct {
        std::vector<std::string> args;
        int param;
        int32_t internal;
    } cases[] = {
        {{"--phase", "-90"}, kParamPhase, -90},      {{"--phase=180"}, kParamPhase, 180},
        {{"--width", "0"}, kParamWidth, 0},          {{"--width=200.0"}, kParamWidth, 200},
        {{"--output", "-3.5"}, kParamOutput, -35},   {{"--output=6"}, kParamOutput, 60},
        {{"--output", "-36.0"}, kParamOutput, -360}, {{"--output", "-inf"}, kParamOutput, -361},
        {{"--output=-INF"}, kParamOutput, -361},     {{"--output", "+.1"}, kParamOutput, 1},
        {{"--mode", "sc"}, kParamMode, 3},           {{"--mode=MS"}, kParamMode, 1},
        {{"--meter", "pre"}, kParamMeterPost, 0},    {{"--filter", "fir"}, kParamFilter, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"in.wav", "out.wav"});
        RenderOptions options;
        std::string error;
        ASSERT_TRUE(Parse(args, &options, &error)) << c.args[0] << ": " << error;
        EXPECT_EQ(c.internal, options.params[c.param]) << c.args[0];
        for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(i == c.param, options.paramGiven[i]);
    }
}

// Every value of every parameter, written as the value of its option (as --list-presets writes
// it), reads back as itself; --help has a line for each parameter's option with every word it
// takes.
TEST(RenderOptions, EveryParameterValueReadsBackFromItsOption) {
    const std::string usage = RenderUsage();
    for (int param = 0; param < kParamCount; ++param) {
        const ParamDescriptor& d = kParamDescriptors[param];
        const std::string option = std::string("--") + d.symbol;
        for (int32_t v = d.min; v <= d.max; ++v) {
            RenderOptions options;
            std::string error;
            const std::string text = ParamArgumentText(param, v);
            ASSERT_TRUE(Parse({option, text, "a", "b"}, &options, &error)) << error;
            ASSERT_EQ(v, options.params[param]) << option << " " << text;
            if (d.HasChoices()) {
                EXPECT_EQ(text, d.ChoiceOf(v).symbol);
            }
        }
        const size_t line = usage.find("\n  " + option + " ");
        ASSERT_NE(std::string::npos, line) << option;
        const std::string help = usage.substr(line, usage.find('\n', line + 1) - line);
        for (int32_t v = d.min; d.HasChoices() && v <= d.max; ++v)
            EXPECT_NE(std::string::npos, help.find(d.ChoiceOf(v).symbol)) << help;
    }
}

// Whether --help has an entry for `heading` ("--jobs N"): at a line's start or after the
// option listed with it, and followed by its text or the next option.
bool ListedInHelp(const std::string& usage, const std::string& heading) {
    for (size_t at = usage.find(heading); at != std::string::npos; at = usage.find(heading, at + 1)) {
        const std::string before = usage.substr(at < 2 ? 0 : at - 2, 2);
        const char after = usage[at + heading.size()];
        if ((before == "  " || before == ", ") && (after == ' ' || after == ',' || after == '\n'))
            return true;
    }
    return false;
}

// Every row of the option table: found by its name, listed in --help as it is written, taking
// a value exactly when it names one, and accepting each word its argument offers.
TEST(RenderOptions, EveryOptionOfTheTableIsListedAndTakesWhatItNames) {
    const std::string usage = RenderUsage();
    for (size_t i = 0; i < kOptionRowCount; ++i) {
        const OptionRow& row = kOptionRows[i];
        if (!row.name) continue;  // a heading
        const std::string name = row.name;
        EXPECT_EQ(&row, FindOption(name)) << name;
        const std::string heading = name + (row.argument ? std::string(" ") + row.argument : "");
        if (row.help != kUnlisted) {
            EXPECT_TRUE(ListedInHelp(usage, heading)) << heading;
        }
        RenderOptions options;
        std::string error;
        const std::vector<std::string> wrong = {name + (row.argument ? "=" : "=x"), "a", "b"};
        EXPECT_FALSE(Parse(wrong, &options, &error));
        EXPECT_EQ(name + (row.argument ? " needs a value" : " takes no value"), error);
        const std::string words = row.argument ? row.argument : "";
        for (size_t start = 0; words.find('|') != std::string::npos && start <= words.size();) {
            const size_t end = std::min(words.find('|', start), words.size());
            OptionLine line;
            EXPECT_TRUE(row.apply(name, words.substr(start, end - start), &line, &error)) << error;
            start = end + 1;
        }
    }
}

TEST(RenderOptions, OtherOptionsAndFileNamesThatLookLikeOptions) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--bypass", "--preset", "Wide", "--save-state=s.bin", "--automation",
                       "a.txt", "--block", "64", "--edit", "--format", "PCM24", "--dither",
                       "--keep-latency", "--", "-in.wav", "--out.wav"},
                      &options, &error))
        << error;
    EXPECT_EQ(kWaveFormatPcm, options.outputTag);
    EXPECT_EQ(24, options.outputBits);
    EXPECT_TRUE(options.dither);
    EXPECT_TRUE(options.keepLatency);
    EXPECT_TRUE(options.bypass);
    EXPECT_EQ("Wide", options.presetName);
    EXPECT_EQ("s.bin", options.saveStatePath);
    EXPECT_EQ("a.txt", options.automationPath);
    EXPECT_EQ(64u, options.blockFrames);
    EXPECT_TRUE(options.edit);
    EXPECT_EQ("-in.wav", options.inputPath);
    EXPECT_EQ("--out.wav", options.outputPath);

    // --help is honoured even on a line that is otherwise wrong.
    ASSERT_TRUE(Parse({"--phase", "999", "--help"}, &options, &error));
    EXPECT_TRUE(options.help);
    ASSERT_TRUE(Parse({"--phase", "999", "--version"}, &options, &error));
    EXPECT_TRUE(options.version && !options.help);

    // Listing presets needs no files, and reads the library --preset-file names.
    ASSERT_TRUE(Parse({"--list-presets", "--preset-file", "lib.ini"}, &options, &error)) << error;
    EXPECT_TRUE(options.listPresets);
    EXPECT_EQ("lib.ini", options.presetFilePath);
    ASSERT_TRUE(Parse({"--preset", "Keys/Pad", "--preset-file=x.ini", "a", "b"}, &options, &error));
    EXPECT_EQ("Keys/Pad", options.presetName);
}

// A batch takes every file as an input and every render option for all of them.
TEST(RenderOptions, OutDirMakesEveryFileAnInput) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"a.wav", "--out-dir", "rendered", "--phase", "30", "--preset", "Wide",
                       "--automation", "a.txt", "--format", "pcm16", "--dither", "--keep-latency",
                       "--jobs=3", "b.wav", "--", "-c.wav"},
                      &options, &error))
        << error;
    EXPECT_EQ("rendered", options.outDir);
    EXPECT_EQ((std::vector<std::string>{"a.wav", "b.wav", "-c.wav"}), options.inputPaths);
    EXPECT_TRUE(options.inputPath.empty() && options.outputPath.empty());
    EXPECT_EQ(3u, options.jobs);
    EXPECT_TRUE(options.paramGiven[kParamPhase] && options.dither && options.keepLatency);
    // One file is a batch too.
    ASSERT_TRUE(Parse({"--out-dir", "o", "a.wav"}, &options, &error)) << error;
    EXPECT_EQ(1u, options.inputPaths.size());
    EXPECT_EQ(0u, options.jobs);
}

TEST(RenderOptions, MistakesAreRefusedNotClamped) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--phase", "181", "a", "b"}, "--phase: 181 is out of range (-180 to 180 degrees)"},
        {{"--phase", "45.5", "a", "b"}, "--phase: 45.5 is not a whole number of degrees"},
        {{"--width", "ten", "a", "b"}, "--width: 'ten' is not a number"},
        {{"--width", "-1", "a", "b"}, "--width: -1 is out of range (0 to 200 percent)"},
        {{"--output", "-3.55", "a", "b"}, "--output: -3.55 is not a multiple of 0.1 dB"},
        {{"--output", "-36.1", "a", "b"},
         "--output: -36.1 is out of range (-36.0 to 6.0 dB, or -inf)"},
        {{"--output", "6.1", "a", "b"}, "--output: 6.1 is out of range (-36.0 to 6.0 dB, or -inf)"},
        {{"--output", "1e1", "a", "b"}, "--output: '1e1' is not a number of dB or -inf"},
        {{"--mode", "xy", "a", "b"}, "--mode: 'xy' is not one of lr, ms, cs, sc"},
        {{"--filter", "fft", "a", "b"}, "--filter: 'fft' is not one of iir, fir, precise"},
        {{"--format", "pcm32", "a", "b"},
         "--format: 'pcm32' is not one of same, pcm16, pcm24, f32, f64"},
        {{"--dither", "--format", "f32", "a", "b"},
         "--dither applies to integer output, not to --format f32 or f64"},
        {{"--block", "8", "a", "b"}, "--block: 8 is out of range (16 to 65536 frames)"},
        {{"--block", "100000", "a", "b"}, "--block: 100000 is out of range (16 to 65536 frames)"},
        {{"a", "b", "--phase"}, "--phase needs a value"},
        {{"--preset=", "a", "b"}, "--preset needs a value"},
        {{"--bypass=yes", "a", "b"}, "--bypass takes no value"},
        {{"--version=1", "a", "b"}, "--version takes no value"},
        {{"--phaze", "10", "a", "b"}, "unknown option '--phaze' (see --help)"},
        {{"--preset", "X", "--state", "s", "a", "b"},
         "--preset and --state cannot be used together"},
        {{"--preset-file", "x.ini", "a", "b"}, "--preset-file needs --preset NAME or --list-presets"},
        {{"--list-presets", "a"}, "--list-presets renders nothing: give no INPUT.wav or OUTPUT.wav"},
        {{}, "missing INPUT.wav and OUTPUT.wav (see --help)"},
        {{"a"}, "missing OUTPUT.wav (see --help)"},
        {{"a", "b", "c"},
         "unexpected argument 'c': give one INPUT.wav and one OUTPUT.wav (or --out-dir DIR for "
         "several files)"},
        // Batches.
        {{"--out-dir", "o"},
         "--out-dir needs the files to render: --out-dir DIR IN1.wav IN2.wav ..."},
        {{"--out-dir", "o", "--edit", "a"},
         "--edit cannot be used with --out-dir: one editor cannot stand for many renders running "
         "at once"},
        {{"--out-dir", "o", "--save-state", "s", "a"},
         "--save-state cannot be used with --out-dir: every file would save its state into the "
         "same file"},
        {{"--out-dir", "o", "--analyze", "a"},
         "--analyze cannot be used with --out-dir (it analyses one file)"},
        {{"--out-dir", "o", "--list-presets"},
         "--list-presets renders nothing: it cannot be used with --out-dir"},
        {{"--jobs", "2", "a", "b"}, "--jobs needs --out-dir DIR and the files to render"},
        {{"--out-dir", "o", "--jobs", "0", "a"}, "--jobs: 0 is out of range (1 to 64 files)"},
    };
    for (const auto& c : cases) {
        RenderOptions options;
        std::string error;
        EXPECT_FALSE(Parse(c.args, &options, &error));
        EXPECT_EQ(c.error, error);
    }
}

}  // namespace
