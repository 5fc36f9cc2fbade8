// CRenderSession: one render of twphase-render. It drives the plug-in as a workstation does:
// creates it through COM by class identifier, hands it the host's UI callback, restores a
// state or a built-in preset, applies the command line's settings, connects it between the
// renderer's own source and writer in a DirectShow filter graph, writes the automation,
// opens the plug-in's editor if asked, streams the file (converted for the plug-in when it
// does not process the file's sample format, the FIR filter's delay compensated unless the
// user keeps it), stops and saves the state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <strmif.h>
#include <control.h>

#include "base/win/ComPtr.h"
#include "engine/ParamValues.h"
#include "engine/WaveFormat.h"
#include "engine/win/VxPlugInProp.h"
#include "host/cli/AutomationFile.h"
#include "host/cli/RenderOptions.h"

class CCaptureCounter;
class CPushSourceFilter;
class CWavWriterFilter;

// What a finished render reports in its summary.
struct RenderSummary {
    WaveFormat inputFormat = {};
    bool inputExtensible = false;
    uint64_t inputFrames = 0;
    WaveFormat workingFormat = {};  // what the plug-in processed
    WaveFormat outputFormat = {};
    bool dithered = false;
    uint64_t outputFrames = 0;
    ParamValues params = kDefaultParams;  // as the stream started
    bool bypass = false;
    int latencyFrames = 0;
    int compensatedFrames = 0;  // of the latency at the start; 0 with --keep-latency
    double outputPeak[2] = {};
    uint64_t clippedSamples[2] = {};
    int phaseMeter = 0;  // 0..180 at the end of the stream
    bool clipLeft = false;
    bool clipRight = false;
    double renderSeconds = 0.0;  // from Run until the graph reported completion
    long captureReports = 0;     // values the plug-in reported to the host's UI callback
    std::vector<std::string> warnings;
};

class CRenderSession {
public:
    CRenderSession();
    // Stops the graph and releases every object; an output not yet finished is dropped.
    ~CRenderSession();
    CRenderSession(const CRenderSession&) = delete;
    CRenderSession& operator=(const CRenderSession&) = delete;

    // Host thread, COM initialised. Renders options.inputPath into options.outputPath. False
    // with Error() one line naming the problem; the output is then left as it was.
    bool Render(const RenderOptions& options, RenderSummary* summary);
    const std::string& Error() const { return m_error; }
    // Before Render. While the stream runs (about every 100 ms) the handler hears the frames
    // written so far and the input's frame count, on the thread that renders; with a handler
    // the session shows no progress of its own on the terminal.
    void SetProgressHandler(std::function<void(uint64_t written, uint64_t total)> handler) {
        m_progress = std::move(handler);
    }
    // Before Render. The rendered frames go to the sink (on the thread that streams, in the
    // output's sample type, as the file would hold them) instead of into options.outputPath,
    // which then only names the output in messages.
    void SetOutputSink(std::function<void(const void*, size_t, const WaveFormat&)> sink) {
        m_sink = std::move(sink);
    }
    // Host thread, COM initialised. The built-in presets and the user presets of the editor's
    // library (or of options.presetFilePath) as text, for --list-presets.
    bool ListPresets(const RenderOptions& options, std::string* text);

private:
    bool Fail(const std::string& message);
    bool FailHr(const std::string& what, HRESULT hr);

    bool CreatePlugIn();
    bool LoadState(const std::string& path);
    // The built-in preset options.presetName names, else the user preset of the editor's
    // library (or of --preset-file); what reading the library had to say goes to warnings.
    bool ApplyPreset(const RenderOptions& options, std::vector<std::string>* warnings);
    bool BuiltInPresetNames(std::vector<std::string>* names);
    bool ApplySettings(const RenderOptions& options);
    // The output's format (--format) and the one the plug-in runs in, from the input's.
    bool ChooseFormats(const RenderOptions& options, RenderSummary* summary);
    // Before streaming: the source flushes the FIR filter's delay and the writer drops it.
    bool CompensateLatency(RenderSummary* summary);
    // Sets the values whose `given` entry is set (all of them for null), as the setters clamp.
    bool ApplyValues(const ParamValues& values, const bool* given);
    bool BuildGraph();
    bool AddAutomation(const std::vector<AutomationSegment>& segments);
    bool Stream(RenderSummary* summary);
    bool SaveState(const std::string& path);
    void StopGraph();

    std::string m_error;
    std::function<void(uint64_t, uint64_t)> m_progress;
    std::function<void(const void*, size_t, const WaveFormat&)> m_sink;
    ComPtr<CCaptureCounter> m_captures;
    ComPtr<IBaseFilter> m_plugIn;
    ComPtr<IVxPlugInProp> m_prop;
    CPushSourceFilter* m_source = nullptr;  // owned through m_sourceFilter
    ComPtr<IBaseFilter> m_sourceFilter;
    CWavWriterFilter* m_writer = nullptr;  // owned through m_writerFilter
    ComPtr<IBaseFilter> m_writerFilter;
    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IMediaControl> m_control;
    bool m_running = false;
};
