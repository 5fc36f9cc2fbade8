// Batches: output names from inputs typed in either path style, the refusals before anything
// renders, the worker count, and the lines and table a batch prints.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>

#include "host/render/RenderBatch.h"

namespace {

// Paths as one case-insensitive file system sees them, "./" and either separator alike.
std::string Identity(const std::string& path) {
    std::string key;
    for (char c : path) key += c == '\\' ? '/' : static_cast<char>(std::tolower(c));
    while (key.compare(0, 2, "./") == 0) key.erase(0, 2);
    return key;
}

TEST(RenderBatch, OutputPathsKeepTheBaseNameAndTheSeparatorInUse) {
    const struct {
        const char* outDir;
        const char* input;
        const char* output;  // "" when the input names no file
    } cases[] = {
        {"out/", "takes/Take 1.aif", "out/Take 1.wav"},
        {"C:\\renders", "a.b.WAV", "C:\\renders\\a.b.wav"},
        {"out", "sub\\song.flac", "out\\song.wav"},
        {"/tmp/o", "C:noext", "/tmp/o/noext.wav"},
        {"D:", "x\\.hidden", "D:.hidden.wav"},
        {"a/b\\c", "x/y.wav", "a/b\\c\\y.wav"},
        {"out", "dir/", ""},
        {"out", "..", ""},
        {"out", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.output, *c.output ? OutputPathFor(c.outDir, c.input) : OutputNameFor(c.input))
            << c.outDir << " + " << c.input;
}

TEST(RenderBatch, PlanRefusesCollidingOrReplacingOutputsNamingFilesAsTyped) {
    // clang-format off
    const struct {
        std::vector<std::string> inputs;
        const char* outDir;
        const char* error;  // how the message begins; "" for a plan
    } cases[] = {
        {{"a.wav", "sub/b.aif", "C:\\x\\c.wav"}, "out", ""},
        {{"a.wav", "b.wav", "sub/a.flac"}, "out",
         "a.wav and sub/a.flac would both be written to out/a.wav: rename one, or render them "
         "into different folders"},
        {{"Song.wav", "other\\SONG.WAV"}, "out",
         "Song.wav and other\\SONG.WAV would both be written to out\\SONG.wav: "},
        {{"a.wav", "a.wav"}, "out", "a.wav and a.wav would both be written to out/a.wav: "},
        {{"x.wav", "out/Y.WAV"}, "./out",
         "./out/Y.wav would replace the input out/Y.WAV: choose another --out-dir"},
        {{"b.wav", "dir/"}, "out", "'dir/' names no file to render"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inputs[1]);
        std::vector<BatchFile> files;
        std::string error;
        EXPECT_EQ(*c.error == '\0', PlanBatch(c.inputs, c.outDir, Identity, &files, &error));
        EXPECT_EQ(0u, error.rfind(c.error, 0)) << error;
        if (*c.error) continue;
        // A plan: the inputs in order, each to its own file in the folder.
        ASSERT_EQ(c.inputs.size(), files.size());
        std::set<std::string> outputs;
        for (size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(c.inputs[i], files[i].input);
            EXPECT_EQ(OutputPathFor(c.outDir, c.inputs[i]), files[i].output);
            outputs.insert(Identity(files[i].output));
        }
        EXPECT_EQ(files.size(), outputs.size());
    }
}

TEST(RenderBatch, WorkersNeverOutnumberFilesOrTheRequest) {
    const struct {
        size_t files;
        unsigned requested, processors, workers;
    } cases[] = {{3, 0, 2, 2}, {3, 0, 8, 3}, {10, 4, 2, 4},
                 {2, 8, 1, 2}, {1, 0, 0, 1}, {0, 0, 4, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.workers, BatchWorkerCount(c.files, c.requested, c.processors))
            << c.files << " files, " << c.requested << " asked, " << c.processors << " processors";
}

// File, ok, error, frames, rate, seconds, warnings.
const std::vector<BatchResult> kResults = {
    {{"a.wav", "out/a.wav"}, true, "", 88200, 44100, 0.5, 0},
    {{"in/broken.wav", "out/broken.wav"}, false, "in/broken.wav: not a RIFF file", 0, 0, 0.01, 0},
    {{"c.wav", "out/c.wav"}, true, "", 1234567, 48000, 0.0, 2},
};

TEST(RenderBatch, LinesNameEachFileOnceWithItsOutcome) {
    EXPECT_EQ("[1/3] a.wav -> out/a.wav: OK, 88200 frames (2.00 s) in 0.50 s",
              FormatBatchLine(1, 3, kResults[0]));
    EXPECT_EQ("[2/3] in/broken.wav: FAILED: not a RIFF file", FormatBatchLine(2, 3, kResults[1]));
    EXPECT_EQ(0u,
              FormatBatchLine(3, 3, kResults[2]).find("[3/3] c.wav -> out/c.wav: OK, 2 warnings"));

    const std::vector<BatchProgress> running = {{"a.wav", 0.456}, {"b.wav", 1.5}};
    EXPECT_EQ("1 of 4 done | a.wav 45% | b.wav 100%", FormatBatchStatus(1, 4, running, 80));
    EXPECT_EQ("1 of 4 done | a.", FormatBatchStatus(1, 4, running, 16));
}

// The table: a header, one row per file whose cells start where the header's do, and a total.
TEST(RenderBatch, TableAlignsItsColumnsAndCountsFailures) {
    std::istringstream table(FormatBatchTable(kResults));
    std::vector<std::string> lines;
    for (std::string line; std::getline(table, line);) lines.push_back(line);
    ASSERT_EQ(kResults.size() + 2, lines.size());
    EXPECT_EQ("2 of 3 files rendered, 1 failed", lines.back());

    // Names start each row, numbers end under their header's end, the status starts under its.
    const size_t framesEnd = lines[0].find("Frames") + 6, status = lines[0].find("Status");
    for (size_t i = 0; i < kResults.size(); ++i) {
        const std::string& row = lines[i + 1];
        EXPECT_EQ(0u, row.find(kResults[i].file.input + " ")) << row;
        EXPECT_EQ(std::string(" "), row.substr(framesEnd, 1)) << row;
        EXPECT_TRUE(row[status - 1] == ' ' && row[status] != ' ') << row;
    }
    EXPECT_EQ("88200", lines[1].substr(framesEnd - 5, 5));
    EXPECT_EQ("FAILED: not a RIFF file", lines[2].substr(status));
    EXPECT_EQ("OK, 2 warnings", lines[3].substr(status));
    EXPECT_NE(std::string::npos, lines[3].find("25.72 s"));  // 1234567 frames at 48 kHz
    EXPECT_NE(std::string::npos, FormatBatchTable({kResults[0]}).find("\n1 of 1 file rendered\n"));
}

}  // namespace
