// A batch: worker threads take the files in order, each rendering one file at a time in a
// session of its own; the main thread prints what they finish, and keeps a status line of the
// files in progress when standard output is a console.
#include "host/render/win/BatchRun.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <windows.h>
#include <io.h>
#include <objbase.h>

#include "host/render/RenderBatch.h"
#include "host/render/win/RenderSession.h"
#include "host/wav/win/SystemErrorText.h"

namespace {

// How often the status line is brought up to date.
constexpr std::chrono::milliseconds kStatusInterval(200);
constexpr size_t kDefaultColumns = 80;

// The full path, upper-cased as NTFS compares names, so that "out/a.wav" and ".\OUT\A.WAV"
// are seen to be one file.
std::string FullPathIdentity(const std::string& path) {
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(wideLength > 0 ? wideLength : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], wideLength);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed ? needed : 1, L'\0');
    const DWORD length = needed ? GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr) : 0;
    if (length > 0 && length < needed) {
        full.resize(length);
    } else {
        full = wide.c_str();
    }
    if (!full.empty()) CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, full.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string identity(bytes > 0 ? bytes : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, full.c_str(), -1, &identity[0], bytes, nullptr, nullptr);
    return identity.c_str();
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the folder and the folders above it that are missing.
bool MakeFolder(const std::string& path, std::string* error) {
    if (IsFolder(path)) return true;
    DWORD failure = ERROR_SUCCESS;
    for (size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/' && path[end] != '\\') continue;
        const std::string part = path.substr(0, end);
        if (part.back() == ':' || IsFolder(part)) continue;
        // Parts of a network path (\\server) cannot be made; what counts is the last one.
        failure = CreateDirectoryA(part.c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
    }
    if (IsFolder(path)) return true;
    *error = path + ": cannot make the output folder (" +
             (failure == ERROR_ALREADY_EXISTS ? "a file of that name is in the way"
                                              : SystemErrorText(failure)) +
             ")";
    return false;
}

size_t ConsoleColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return kDefaultColumns;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 1 ? static_cast<size_t>(columns) : kDefaultColumns;
}

class CBatchRunner {
public:
    CBatchRunner(const RenderOptions& options, std::vector<BatchFile> files)
        : m_options(options),
          m_files(std::move(files)),
          m_slots(new Slot[m_files.size()]),
          m_terminal(_isatty(_fileno(stdout)) != 0) {}

    // Renders every file with `workers` threads; the results in the order of the files.
    std::vector<BatchResult> Run(unsigned workers) {
        std::vector<std::thread> threads;
        for (unsigned i = 0; i < workers; ++i) {
            try {
                threads.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;  // fewer workers do the same work
            }
        }
        if (threads.empty()) Work();  // not even one thread: the files render one by one here

        size_t reported = 0;
        while (reported < m_files.size()) {
            std::vector<size_t> finished;
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_finishedSignal.wait_for(lock, kStatusInterval,
                                          [this] { return !m_finished.empty(); });
                finished.swap(m_finished);
            }
            for (size_t index : finished) Report(index, ++reported);
            if (m_terminal && reported < m_files.size()) ShowStatus(reported);
        }
        for (std::thread& thread : threads) thread.join();

        std::vector<BatchResult> results;
        for (size_t i = 0; i < m_files.size(); ++i) results.push_back(m_slots[i].result);
        return results;
    }

private:
    // One file: written by the worker that renders it; the result is read by the main
    // thread once the file is in m_finished, the progress at any time.
    struct Slot {
        std::atomic<bool> running{false};
        std::atomic<uint64_t> written{0};
        std::atomic<uint64_t> total{0};
        BatchResult result;
        std::vector<std::string> warnings;
    };

    // A worker thread: a COM apartment of its own, then files until none is left.
    void Work() {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (size_t index = m_next++; index < m_files.size(); index = m_next++)
            RenderFile(index, SUCCEEDED(hr));
        if (SUCCEEDED(hr)) CoUninitialize();
    }

    void RenderFile(size_t index, bool comReady) {
        Slot& slot = m_slots[index];
        BatchResult& result = slot.result;
        result.file = m_files[index];
        slot.running = true;
        const auto started = std::chrono::steady_clock::now();
        if (!comReady) {
            result.error = "COM cannot be initialised";
        } else {
            RenderOptions options = m_options;
            options.inputPath = result.file.input;
            options.outputPath = result.file.output;
            RenderSummary summary;
            CRenderSession session;
            session.SetProgressHandler([&slot](uint64_t written, uint64_t total) {
                slot.written = written;
                slot.total = total;
            });
            result.ok = session.Render(options, &summary);
            if (result.ok) {
                result.frames = summary.inputFrames;
                result.sampleRate = summary.inputFormat.nSamplesPerSec;
                result.warnings = summary.warnings.size();
                slot.warnings = summary.warnings;
            } else {
                result.error = session.Error();
            }
        }
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        slot.running = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_finished.push_back(index);
        }
        m_finishedSignal.notify_one();
    }

    // Main thread: the line of a finished file, its warnings on the error stream.
    void Report(size_t index, size_t reported) {
        ClearStatus();
        const Slot& slot = m_slots[index];
        std::printf("%s\n", FormatBatchLine(reported, m_files.size(), slot.result).c_str());
        std::fflush(stdout);
        for (const std::string& warning : slot.warnings)
            std::fprintf(stderr, "twphase-render: warning: %s: %s\n",
                         slot.result.file.input.c_str(), warning.c_str());
    }

    void ShowStatus(size_t reported) {
        std::vector<BatchProgress> running;
        for (size_t i = 0; i < m_files.size(); ++i) {
            const Slot& slot = m_slots[i];
            if (!slot.running) continue;
            const uint64_t total = slot.total;
            running.push_back(
                {m_files[i].input, total ? double(slot.written) / double(total) : 0.0});
        }
        const std::string line =
            FormatBatchStatus(reported, m_files.size(), running, ConsoleColumns() - 1);
        // Spaces over what is left of a longer line before.
        const size_t pad = m_statusLength > line.size() ? m_statusLength - line.size() : 0;
        std::printf("\r%s%s", line.c_str(), std::string(pad, ' ').c_str());
        std::fflush(stdout);
        m_statusLength = line.size();
    }

    void ClearStatus() {
        if (!m_statusLength) return;
        std::printf("\r%s\r", std::string(m_statusLength, ' ').c_str());
        m_statusLength = 0;
    }

    const RenderOptions& m_options;
    const std::vector<BatchFile> m_files;
    const std::unique_ptr<Slot[]> m_slots;
    const bool m_terminal;
    std::atomic<size_t> m_next{0};
    std::mutex m_lock;
    std::condition_variable m_finishedSignal;
    std::vector<size_t> m_finished;  // guarded by m_lock: files not yet reported
    size_t m_statusLength = 0;       // of the status line on the console; 0 when none shows
};

unsigned LogicalProcessors() {
    const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    if (count) return count;
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

}  // namespace

BatchOutcome RunBatch(const RenderOptions& options, std::string* error) {
    std::vector<BatchFile> files;
    if (!PlanBatch(options.inputPaths, options.outDir, FullPathIdentity, &files, error))
        return BatchOutcome::kRefused;
    if (!MakeFolder(options.outDir, error)) return BatchOutcome::kFailed;

    const unsigned workers = BatchWorkerCount(files.size(), options.jobs, LogicalProcessors());
    CBatchRunner runner(options, files);
    const std::vector<BatchResult> results = runner.Run(workers);
    std::printf("\n%s", FormatBatchTable(results).c_str());
    std::fflush(stdout);
    const bool allRendered = std::all_of(results.begin(), results.end(),
                                         [](const BatchResult& result) { return result.ok; });
    return allRendered ? BatchOutcome::kAllRendered : BatchOutcome::kSomeFailed;
}
