// Batches of twphase-render (--out-dir): where each input is written, the checks that no two
// files of a batch meet in one output, how many render at once, and the text a batch prints
// (a line per finished file, the terminal's status line and the closing table).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct BatchFile {
    std::string input;   // as the user typed it
    std::string output;  // the output folder as typed, a separator and OutputNameFor(input)
};

// The input's base name with its extension replaced by ".wav": "takes/Take 1.aif" gives
// "Take 1.wav". Both '/' and '\' separate folders; empty when the input names no file.
std::string OutputNameFor(const std::string& input);

// DIR joined with the name, with the separator DIR already uses (else the input's, else the
// platform's); nothing is added after a trailing separator or a bare drive ("D:").
std::string OutputPathFor(const std::string& outDir, const std::string& input);

// What a path refers to, for comparing two paths: the platform's full path, case-folded where
// the file system ignores case.
using PathIdentity = std::function<std::string(const std::string& path)>;

// The files of a batch in the order given. False, with a message naming the files as typed,
// when an input names no file, two inputs would be written to the same output or an output
// would replace an input.
bool PlanBatch(const std::vector<std::string>& inputs, const std::string& outDir,
               const PathIdentity& identity, std::vector<BatchFile>* files, std::string* error);

// Files rendered at once: the number asked for (0: one per logical processor), never more
// than there are files, at least one.
unsigned BatchWorkerCount(size_t files, unsigned requested, unsigned processors);

// How one file of a batch went.
struct BatchResult {
    BatchFile file;
    bool ok = false;
    std::string error;  // when not ok
    uint64_t frames = 0;
    uint32_t sampleRate = 0;
    double seconds = 0.0;  // wall time of the file's render
    size_t warnings = 0;
};

// "[2/5] in.wav -> out/in.wav: OK, 44100 frames (1.00 s) in 0.25 s" or
// "[3/5] bad.wav: FAILED: not a WAV file"; no line break.
std::string FormatBatchLine(size_t finished, size_t count, const BatchResult& result);

// One file being rendered: its name as typed and how far it is, 0 to 1.
struct BatchProgress {
    std::string input;
    double fraction = 0.0;
};

// The terminal's status line while a batch runs, at most `columns` characters:
// "2 of 5 done | a.wav 45% | b.wav 12%".
std::string FormatBatchStatus(size_t finished, size_t count,
                              const std::vector<BatchProgress>& running, size_t columns);

// The closing table, one row per file in the order given, its columns aligned, and a total.
std::string FormatBatchTable(const std::vector<BatchResult>& results);
