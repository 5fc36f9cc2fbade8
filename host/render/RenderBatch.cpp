// Batches of twphase-render: output names, the checks before rendering, and the batch's text.
#include "host/render/RenderBatch.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

#ifdef _WIN32
constexpr char kPlatformSeparator = '\\';
#else
constexpr char kPlatformSeparator = '/';
#endif

// The part after the last folder separator, or after a drive ("D:name.wav").
std::string BaseName(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (IsSeparator(path[i])) start = i + 1;
    if (start == 0 && path.size() >= 2 && path[1] == ':') start = 2;
    return path.substr(start);
}

// The last separator in the path, or 0.
char SeparatorIn(const std::string& path) {
    const size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? '\0' : path[at];
}

// The renderer's errors often begin with the file they are about; a line that names the file
// already does not repeat it.
std::string ErrorAbout(const BatchResult& result) {
    const std::string prefix = result.file.input + ": ";
    return result.error.compare(0, prefix.size(), prefix) == 0 ? result.error.substr(prefix.size())
                                                               : result.error;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f s", seconds);
    return text;
}

std::string Duration(const BatchResult& result) {
    return result.sampleRate ? Seconds(double(result.frames) / result.sampleRate) : "-";
}

std::string Status(const BatchResult& result) {
    if (!result.ok) return "FAILED: " + ErrorAbout(result);
    if (result.warnings == 0) return "OK";
    return "OK, " + std::to_string(result.warnings) +
           (result.warnings == 1 ? " warning" : " warnings");
}

}  // namespace

std::string OutputNameFor(const std::string& input) {
    std::string name = BaseName(input);
    if (name.empty() || name == "." || name == "..") return std::string();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);  // ".wav" alone is a name
    return name + ".wav";
}

std::string OutputPathFor(const std::string& outDir, const std::string& input) {
    const std::string name = OutputNameFor(input);
    if (outDir.empty()) return name;
    const char last = outDir.back();
    if (IsSeparator(last) || (outDir.size() == 2 && last == ':')) return outDir + name;
    char separator = SeparatorIn(outDir);
    if (!separator) separator = SeparatorIn(input);
    if (!separator) separator = kPlatformSeparator;
    return outDir + separator + name;
}

bool PlanBatch(const std::vector<std::string>& inputs, const std::string& outDir,
               const PathIdentity& identity, std::vector<BatchFile>* files, std::string* error) {
    std::vector<BatchFile> planned;
    std::map<std::string, size_t> outputs;  // identity of each output -> the file that makes it
    for (const std::string& input : inputs) {
        if (OutputNameFor(input).empty()) {
            *error = "'" + input + "' names no file to render";
            return false;
        }
        BatchFile file{input, OutputPathFor(outDir, input)};
        const auto made = outputs.emplace(identity(file.output), planned.size());
        if (!made.second) {
            *error = planned[made.first->second].input + " and " + input +
                     " would both be written to " + file.output +
                     ": rename one, or render them into different folders";
            return false;
        }
        planned.push_back(file);
    }
    // Rendering in place would overwrite a file the batch may still be reading.
    for (const BatchFile& file : planned) {
        const auto replaced = outputs.find(identity(file.input));
        if (replaced != outputs.end()) {
            *error = planned[replaced->second].output + " would replace the input " + file.input +
                     ": choose another --out-dir";
            return false;
        }
    }
    *files = planned;
    return true;
}

unsigned BatchWorkerCount(size_t files, unsigned requested, unsigned processors) {
    const size_t wanted = requested ? requested : std::max(processors, 1u);
    return static_cast<unsigned>(std::max<size_t>(1, std::min(files, wanted)));
}

std::string FormatBatchLine(size_t finished, size_t count, const BatchResult& result) {
    std::string line =
        "[" + std::to_string(finished) + "/" + std::to_string(count) + "] " + result.file.input;
    if (!result.ok) return line + ": " + Status(result);
    return line + " -> " + result.file.output + ": " + Status(result) + ", " +
           std::to_string(result.frames) + " frames (" + Duration(result) + ") in " +
           Seconds(result.seconds);
}

std::string FormatBatchStatus(size_t finished, size_t count,
                              const std::vector<BatchProgress>& running, size_t columns) {
    std::string line = std::to_string(finished) + " of " + std::to_string(count) + " done";
    for (const BatchProgress& file : running) {
        const int percent = static_cast<int>(std::clamp(file.fraction, 0.0, 1.0) * 100.0);
        line += " | " + file.input + " " + std::to_string(percent) + "%";
    }
    if (line.size() > columns) line.resize(columns);
    return line;
}

std::string FormatBatchTable(const std::vector<BatchResult>& results) {
    enum { kFile, kFrames, kDuration, kTime, kStatus, kColumns };
    std::vector<std::vector<std::string>> rows = {{"File", "Frames", "Duration", "Time", "Status"}};
    size_t failed = 0;
    for (const BatchResult& result : results) {
        failed += !result.ok;
        rows.push_back({result.file.input, result.ok ? std::to_string(result.frames) : "-",
                        result.ok ? Duration(result) : "-", Seconds(result.seconds),
                        Status(result)});
    }
    size_t width[kColumns] = {};
    for (const auto& row : rows)
        for (int column = 0; column < kColumns; ++column)
            width[column] = std::max(width[column], row[column].size());

    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (int column = 0; column < kColumns; ++column) {
            const std::string& cell = row[column];
            const std::string pad(width[column] - cell.size(), ' ');
            if (column == kFile)
                line += cell + pad;
            else if (column == kStatus)
                line += "  " + cell;  // the last column: no padding behind it
            else
                line += "  " + pad + cell;  // numbers align on the right
        }
        table += line + "\n";
    }
    table += std::to_string(results.size() - failed) + " of " + std::to_string(results.size()) +
             (results.size() == 1 ? " file" : " files") + " rendered";
    if (failed) table += ", " + std::to_string(failed) + " failed";
    return table + "\n";
}
