// CRenderSession: the host's side of one render, in the order a workstation drives a plug-in.
#include "host/render/win/RenderSession.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>

#include <evcode.h>
#include <io.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "automation/win/MediaParamsInterfaces.h"
#include "engine/ParamValues.h"
#include "engine/PhaseProcessor.h"
#include "host/render/win/CaptureCounter.h"
#include "host/cli/UserPresets.h"
#include "host/wav/WholeFile.h"
#include "host/render/win/EditorFrame.h"
#include "host/wav/FileSystem.h"
#include "host/render/win/HResultText.h"
#include "host/render/win/PushSourceFilter.h"
#include "host/wav/SampleConversion.h"
#include "host/wav/WavFormat.h"
#include "host/wav/WavWriter.h"
#include "host/cli/win/UserLibrary.h"
#include "presets/PresetData.h"
#include "host/render/win/WavWriterFilter.h"
#include "plugin/PluginGuids.h"
#include "plugin/StaticFilterPreset.h"

namespace {

// How often the wait for completion looks at the stream's progress and failures.
constexpr DWORD kPollIntervalMs = 100;
// Progress appears only for renders that take longer than this.
constexpr DWORD kProgressDelayMs = 1000;
// After the writer has seen the end of the stream, the graph has this long to report it.
constexpr DWORD kCompletionGraceMs = 5000;
// Preset names are 64 8-bit characters at most, terminator included.
constexpr int kPresetNameChars = 64;

std::string Narrow(const WCHAR* text) {
    char buffer[kPresetNameChars * 4] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
    return buffer;
}

// Frames by which the plug-in delays its output with these settings: only the FIR filter has
// any, and bypass passes the input straight through.
int LatencyFramesOf(const ParamValues& params, bool bypass) {
    return !bypass && FilterOf(params) == QuadratureFilter::kFir ? kFirLatencyFrames : 0;
}

void ShowProgress(uint64_t frames, uint64_t total, uint32_t rate) {
    const double percent = total ? 100.0 * double(frames) / double(total) : 100.0;
    std::fprintf(stderr, "\rrendering %5.1f%%  (%.1f of %.1f s)", percent,
                 double(frames) / rate, double(total) / rate);
    std::fflush(stderr);
}

void ClearProgress() {
    std::fprintf(stderr, "\r%60s\r", "");
    std::fflush(stderr);
}

}  // namespace

CRenderSession::CRenderSession() = default;

CRenderSession::~CRenderSession() {
    StopGraph();
    if (m_source) m_source->Close();
    if (m_writer) m_writer->AbandonOutput();
    if (m_plugIn) {
        // The plug-in's automation object holds the callback; hand it back explicitly.
        ComPtr<IMediaParamsSetUICallback> setCallback;
        if (SUCCEEDED(m_plugIn.As(IID_IMediaParamsSetUICallback, &setCallback)))
            setCallback->SetCallback(nullptr);
    }
    // The graph first, which lets go of the three filters; the callback last.
    ResetAll(m_control, m_graph, m_prop, m_plugIn, m_sourceFilter, m_writerFilter);
    m_source = nullptr;
    m_writer = nullptr;
    m_captures.Reset();
}

bool CRenderSession::Fail(const std::string& message) {
    m_error = message;
    return false;
}

bool CRenderSession::FailHr(const std::string& what, HRESULT hr) {
    return Fail(what + ": " + HResultText(hr));
}

bool CRenderSession::Render(const RenderOptions& options, RenderSummary* summary) {
    *summary = RenderSummary();

    // Everything the user can get wrong in files comes first, before the plug-in is loaded.
    std::vector<AutomationSegment> automation;
    std::string problem;
    if (!options.automationPath.empty() &&
        !LoadAutomationFile(options.automationPath, &automation, &problem))
        return Fail(problem);

    HRESULT hr = S_OK;
    m_source = new (std::nothrow) CPushSourceFilter(&hr);
    if (!m_source) return Fail("out of memory");
    m_source->NonDelegatingQueryInterface(IID_IBaseFilter, m_sourceFilter.PutVoid());
    if (!m_source->Open(options.inputPath)) return Fail(m_source->Error());
    if (m_source->IsTruncated())
        summary->warnings.push_back(options.inputPath +
                                    ": the data chunk is cut short; rendering the frames present");
    if (!ChooseFormats(options, summary)) return false;
    if (!m_source->Offer(summary->workingFormat, options.blockFrames))
        return Fail(m_source->Error());

    if (!CreatePlugIn()) return false;
    if (!options.statePath.empty() && !LoadState(options.statePath)) return false;
    if (!options.presetName.empty() && !ApplyPreset(options, &summary->warnings)) return false;
    if (!ApplySettings(options)) return false;

    if (!BuildGraph()) return false;
    if (m_sink) m_writer->SetOutputSink(m_sink);
    if (!m_writer->OpenOutput(options.outputPath, summary->outputFormat, summary->dithered))
        return Fail(m_writer->Error());
    if (!AddAutomation(automation)) return false;
    // The user's edits come last: the render uses what the editor is closed with.
    if (options.edit && !ShowEditorFrame(m_plugIn.Get(), nullptr, &problem)) return Fail(problem);
    if (!options.keepLatency && !CompensateLatency(summary)) return false;

    if (!Stream(summary)) return false;

    // The settings as the render left them, automation included (what --save-state saves).
    hr = m_prop->GetParams(&summary->params);
    if (FAILED(hr)) return FailHr("reading the plug-in's settings failed", hr);
    summary->bypass = m_prop->GetBypass() != 0;
    summary->latencyFrames = LatencyFramesOf(summary->params, summary->bypass);
    if (!options.keepLatency && summary->latencyFrames != summary->compensatedFrames)
        summary->warnings.push_back("the automation switched the filter: the output is shifted by "
                                    "the latency at the start (" +
                                    std::to_string(summary->compensatedFrames) + " frames)");

    if (!options.saveStatePath.empty() && !SaveState(options.saveStatePath)) return false;
    m_source->Close();
    if (!m_writer->FinishOutput()) return Fail(m_writer->Error());

    summary->inputFormat = m_source->Format();
    summary->inputExtensible = m_source->IsExtensible();
    summary->inputFrames = m_source->FrameCount();
    summary->outputFormat = m_writer->OutputFormat();
    const CRenderStats& stats = m_writer->Stats();
    summary->outputFrames = stats.Frames();
    for (int channel = 0; channel < 2 && channel < stats.Channels(); ++channel) {
        summary->outputPeak[channel] = stats.Peak(channel);
        summary->clippedSamples[channel] = stats.ClippedSamples(channel);
    }
    if (summary->outputFrames != summary->inputFrames)
        summary->warnings.push_back("the plug-in delivered " +
                                    std::to_string(summary->outputFrames) + " frames for " +
                                    std::to_string(summary->inputFrames));
    summary->captureReports = m_captures ? m_captures->ValuesReported() : 0;
    return true;
}

bool CRenderSession::ChooseFormats(const RenderOptions& options, RenderSummary* summary) {
    const WaveFormat& file = m_source->Format();
    const bool keepType = options.outputTag == 0;
    summary->outputFormat =
        MakeWaveFormat(keepType ? file.wFormatTag : options.outputTag, 2, file.nSamplesPerSec,
                       keepType ? file.wBitsPerSample : options.outputBits);
    summary->dithered = options.dither && summary->outputFormat.wFormatTag == kWaveFormatPcm;
    if (options.dither && !summary->dithered)
        summary->warnings.push_back("--dither does nothing: the output is float");
    summary->workingFormat = WorkingFormatFor(file, summary->outputFormat, summary->dithered);
    // Refused now rather than after rendering 4 GiB.
    if (m_source->FrameCount() > CWavWriter::MaxFrames(summary->outputFormat))
        return Fail(options.outputPath + ": " + std::to_string(m_source->FrameCount()) +
                    " frames of " + DescribeSampleType(summary->outputFormat) +
                    " stereo exceed the 4 GiB size limit of a WAV file");
    return true;
}

// The FIR filter delays the output by kFirLatencyFrames: the source pushes that much silence
// after the file to flush the filter, and the writer drops as many frames at the start, so
// that the output lines up with the input at the input's length.
bool CRenderSession::CompensateLatency(RenderSummary* summary) {
    ParamValues params = {};
    const HRESULT hr = m_prop->GetParams(&params);
    if (FAILED(hr)) return FailHr("reading the plug-in's settings failed", hr);
    summary->compensatedFrames = LatencyFramesOf(params, m_prop->GetBypass() != 0);
    m_source->SetTailFrames(static_cast<uint32_t>(summary->compensatedFrames));
    m_writer->SetLeadingFrames(static_cast<uint32_t>(summary->compensatedFrames));
    return true;
}

bool CRenderSession::CreatePlugIn() {
    HRESULT hr = CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  m_plugIn.PutVoid());
    if (hr == REGDB_E_CLASSNOTREG)
        return Fail("twPhaseDX.dll is not registered (run regsvr32 twPhaseDX.dll)");
    if (FAILED(hr)) return FailHr("cannot create the tw:Phase plug-in (twPhaseDX.dll)", hr);
    hr = m_plugIn.As(IID_IVxPlugInProp, &m_prop);
    if (FAILED(hr)) return FailHr("the plug-in does not offer IVxPlugInProp", hr);

    // A workstation hands over its UI callback first, so that it hears of every change.
    ComPtr<IMediaParamsSetUICallback> setCallback;
    hr = m_plugIn.As(IID_IMediaParamsSetUICallback, &setCallback);
    if (FAILED(hr)) return FailHr("the plug-in does not offer IMediaParamsSetUICallback", hr);
    m_captures = ComPtr<CCaptureCounter>(new (std::nothrow) CCaptureCounter());
    hr = m_captures ? setCallback->SetCallback(m_captures.Get()) : E_OUTOFMEMORY;
    if (FAILED(hr)) return FailHr("handing the plug-in the host's callback failed", hr);
    return true;
}

bool CRenderSession::LoadState(const std::string& path) {
    std::string bytes, problem;
    if (!ReadWholeFile(path, &bytes, &problem)) return Fail(problem);

    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    if (FAILED(hr)) return FailHr("cannot create a memory stream", hr);
    ULONG written = 0;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start = {};
    if (SUCCEEDED(hr)) hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ComPtr<IPersistStream> persist;
    if (SUCCEEDED(hr)) hr = m_plugIn.As(IID_IPersistStream, &persist);
    if (FAILED(hr)) return FailHr(path + ": cannot hand the state to the plug-in", hr);
    hr = persist->Load(stream.Get());
    if (FAILED(hr))
        return FailHr(path + ": not a tw:Phase state (" + std::to_string(bytes.size()) +
                          " bytes); the plug-in refused it",
                      hr);
    return true;
}

bool CRenderSession::BuiltInPresetNames(std::vector<std::string>* names) {
    ComPtr<IStaticFilterPreset> presets;
    HRESULT hr = m_plugIn.As(IID_IStaticFilterPreset, &presets);
    if (FAILED(hr)) return FailHr("the plug-in offers no built-in presets", hr);
    INT32 count = 0;
    hr = presets->GetPresetCount(&count);
    if (FAILED(hr)) return FailHr("the plug-in did not count its built-in presets", hr);
    for (INT32 index = 0; index < count; ++index) {
        WCHAR wide[kPresetNameChars] = {};
        hr = presets->GetPresetName(index, wide, kPresetNameChars);
        names->push_back(SUCCEEDED(hr) ? Narrow(wide) : std::string());
    }
    return true;
}

bool CRenderSession::ApplyPreset(const RenderOptions& options, std::vector<std::string>* warnings) {
    const std::string& name = options.presetName;
    std::vector<std::string> builtIn;
    if (!BuiltInPresetNames(&builtIn)) return false;
    // Built-in presets come first, unless the user named a preset file to look in.
    if (options.presetFilePath.empty()) {
        for (size_t index = 0; index < builtIn.size(); ++index) {
            if (builtIn[index] != name) continue;
            ComPtr<IStaticFilterPreset> presets;
            HRESULT hr = m_plugIn.As(IID_IStaticFilterPreset, &presets);
            if (SUCCEEDED(hr)) hr = presets->ApplyPreset(static_cast<INT32>(index));
            if (FAILED(hr)) return FailHr("applying the preset \"" + name + "\" failed", hr);
            return true;
        }
    }

    CUserLibrary library;
    std::string problem;
    if (!library.Load(options.presetFilePath, &problem)) return Fail(problem);
    for (const std::string& warning : library.Warnings()) warnings->push_back(warning);
    const PresetRecord* record = FindUserPreset(library.Library(), name, &problem);
    if (!record) {
        if (!options.presetFilePath.empty()) return Fail(problem + " in " + library.Source());
        std::string available;
        for (const std::string& builtInName : builtIn)
            available += (available.empty() ? "\"" : ", \"") + builtInName + "\"";
        const std::string where = library.Source().empty()
                                      ? "the editor has no preset library"
                                      : "the editor's library " + library.Source();
        return Fail(problem + " (built-in presets: " + available + "; " + where + ")");
    }
    // The preset's text as the editor applies it: fields a damaged text lacks stay as they are.
    ParamValues values = {};
    HRESULT hr = m_prop->GetParams(&values);
    if (FAILED(hr)) return FailHr("reading the plug-in's settings failed", hr);
    ParsePresetData(record->data.c_str(), &values);
    return ApplyValues(values, nullptr);
}

bool CRenderSession::ListPresets(const RenderOptions& options, std::string* text) {
    if (!CreatePlugIn()) return false;
    std::vector<std::string> builtIn;
    if (!BuiltInPresetNames(&builtIn)) return false;
    CUserLibrary library;
    std::string problem;
    if (!library.Load(options.presetFilePath, &problem)) return Fail(problem);
    if (options.presetFilePath.empty()) {
        *text += "Built-in presets:\n";
        for (const std::string& name : builtIn) *text += "  " + name + "\n";
    }
    *text += library.Source().empty() ? "The editor has no preset library.\n"
                                      : "Presets in " + library.Source() + ":\n";
    const std::string list = FormatPresetList(library.Library());
    if (list.empty() && !library.Source().empty()) *text += "  (none)\n";
    for (size_t start = 0; start < list.size();) {
        const size_t end = list.find('\n', start);
        *text += "  " + list.substr(start, end - start + 1);
        start = end + 1;
    }
    for (const std::string& warning : library.Warnings()) *text += "warning: " + warning + "\n";
    return true;
}

bool CRenderSession::ApplyValues(const ParamValues& values, const bool* given) {
    using Setter = HRESULT (STDMETHODCALLTYPE IVxPlugInProp::*)(int, int);
    static const Setter kSetters[kParamCount] = {
        &IVxPlugInProp::SetPhase, &IVxPlugInProp::SetWidth,     &IVxPlugInProp::SetOutput,
        &IVxPlugInProp::SetMode,  &IVxPlugInProp::SetMeterPost, &IVxPlugInProp::SetFilter,
    };
    for (int index = 0; index < kParamCount; ++index) {
        if (given && !given[index]) continue;
        // Not a user's edit in the plug-in's window: no notification of editor windows.
        const HRESULT hr = (m_prop.Get()->*kSetters[index])(values[index], FALSE);
        if (FAILED(hr))
            return FailHr(std::string("setting --") + kParamDescriptors[index].symbol + " failed", hr);
    }
    return true;
}

bool CRenderSession::ApplySettings(const RenderOptions& options) {
    if (!ApplyValues(options.params, options.paramGiven)) return false;
    if (options.bypass) {
        const HRESULT hr = m_prop->SetBypass(TRUE);
        if (FAILED(hr)) return FailHr("setting --bypass failed", hr);
    }
    return true;
}

bool CRenderSession::BuildGraph() {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGraphBuilder, m_graph.PutVoid());
    if (FAILED(hr)) return FailHr("cannot create the DirectShow filter graph", hr);
    hr = m_graph.As(IID_IMediaControl, &m_control);
    if (FAILED(hr)) return FailHr("the filter graph offers no IMediaControl", hr);

    m_writer = new (std::nothrow) CWavWriterFilter(&hr);
    if (!m_writer) return Fail("out of memory");
    m_writer->NonDelegatingQueryInterface(IID_IBaseFilter, m_writerFilter.PutVoid());

    hr = m_graph->AddFilter(m_sourceFilter.Get(), L"Source");
    if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_plugIn.Get(), L"Corvane:tw Phase");
    if (SUCCEEDED(hr)) hr = m_graph->AddFilter(m_writerFilter.Get(), L"WAV writer");
    if (FAILED(hr)) return FailHr("adding the filters to the graph failed", hr);

    ComPtr<IPin> plugInInput, plugInOutput;
    hr = m_plugIn->FindPin(L"In", plugInInput.Put());
    if (SUCCEEDED(hr)) hr = m_plugIn->FindPin(L"Out", plugInOutput.Put());
    if (FAILED(hr)) return FailHr("the plug-in has no pins \"In\" and \"Out\"", hr);
    // The source's own type in full, so that a refusal comes back with the plug-in's reason.
    hr = m_graph->ConnectDirect(m_source->OutputPin(), plugInInput.Get(), &m_source->OfferedType());
    if (FAILED(hr)) return FailHr("the plug-in does not accept the input's format", hr);
    hr = m_graph->ConnectDirect(plugInOutput.Get(), m_writer->InputPin(), nullptr);
    if (FAILED(hr)) return FailHr("connecting the plug-in's output to the writer failed", hr);
    return true;
}

bool CRenderSession::AddAutomation(const std::vector<AutomationSegment>& segments) {
    if (segments.empty()) return true;
    ComPtr<IMediaParamsSdk> params;
    HRESULT hr = m_plugIn.As(IID_IMediaParams, &params);
    if (FAILED(hr)) return FailHr("the plug-in offers no IMediaParams", hr);
    for (size_t i = 0; i < segments.size() && SUCCEEDED(hr); ++i) {
        const AutomationSegment& s = segments[i];
        MP_ENVELOPE_SEGMENT segment = {};
        segment.rtStart = s.rtStart;
        segment.rtEnd = s.rtEnd;
        segment.valStart = s.valStart;
        segment.valEnd = s.valEnd;
        segment.iCurve = static_cast<MP_CURVE_TYPE>(s.curve);
        segment.flags = 0;
        hr = params->AddEnvelope(s.param, 1, &segment);
        if (FAILED(hr))
            return FailHr("automation segment " + std::to_string(i + 1) + " (parameter " +
                              std::to_string(s.param) + "): AddEnvelope failed",
                          hr);
    }
    return true;
}

bool CRenderSession::Stream(RenderSummary* summary) {
    ComPtr<IMediaEvent> events;
    HRESULT hr = m_graph.As(IID_IMediaEvent, &events);
    if (FAILED(hr)) return FailHr("the filter graph offers no IMediaEvent", hr);

    const bool terminal = _isatty(_fileno(stderr)) != 0;
    bool progressShown = false;
    LARGE_INTEGER frequency, started, finished;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    const DWORD startTicks = GetTickCount();
    DWORD endSeenTicks = 0;

    hr = m_control->Run();
    if (FAILED(hr)) {
        m_running = true;  // some filters may be running: stop them all
        return FailHr("starting the graph failed", hr);
    }
    m_running = true;

    bool ok = true;
    for (;;) {
        long code = 0;
        hr = events->WaitForCompletion(kPollIntervalMs, &code);
        if (hr == S_OK) {
            if (code != EC_COMPLETE)
                ok = Fail("the graph ended the stream with event " + std::to_string(code));
            break;
        }
        if (hr != E_ABORT && hr != VFW_E_WRONG_STATE) {
            ok = FailHr("waiting for the graph failed", hr);
            break;
        }
        if (FAILED(m_writer->StreamResult())) {
            ok = Fail("writing the output failed: " + m_writer->Error());
            break;
        }
        if (m_source->StreamEnded() && m_source->StreamResult() != S_OK) {
            const HRESULT result = m_source->StreamResult();
            ok = !m_source->Error().empty()
                     ? Fail(m_source->Error())
                     : FailHr("the plug-in stopped the stream",
                              result == S_FALSE ? VFW_E_RUNTIME_ERROR : result);
            break;
        }
        if (m_writer->EndOfStreamSeen()) {
            if (!endSeenTicks) endSeenTicks = GetTickCount();
            if (GetTickCount() - endSeenTicks > kCompletionGraceMs) {
                ok = Fail("the filter graph did not report the end of the stream");
                break;
            }
        }
        if (m_progress) {
            m_progress(m_writer->FramesWritten(), m_source->FrameCount());
        } else if (terminal && GetTickCount() - startTicks > kProgressDelayMs) {
            ShowProgress(m_writer->FramesWritten(), m_source->FrameCount(),
                         m_source->Format().nSamplesPerSec);
            progressShown = true;
        }
    }
    QueryPerformanceCounter(&finished);
    if (progressShown) ClearProgress();

    // The meters as the stream ended: stopping clears them.
    summary->phaseMeter = m_prop->GetPhaseMeter();
    summary->clipLeft = m_prop->GetClipLeft(0) != 0;
    summary->clipRight = m_prop->GetClipRight(0) != 0;
    summary->renderSeconds =
        double(finished.QuadPart - started.QuadPart) / double(frequency.QuadPart);

    StopGraph();
    return ok;
}

bool CRenderSession::SaveState(const std::string& path) {
    ComPtr<IPersistStream> persist;
    HRESULT hr = m_plugIn.As(IID_IPersistStream, &persist);
    if (FAILED(hr)) return FailHr("the plug-in offers no IPersistStream", hr);
    // As a workstation saving its project: is there anything new, then the record itself.
    persist->IsDirty();
    ComPtr<IStream> stream;
    hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    if (SUCCEEDED(hr)) hr = persist->Save(stream.Get(), TRUE);
    if (FAILED(hr)) return FailHr("saving the plug-in's state failed", hr);
    ULARGE_INTEGER size = {};
    LARGE_INTEGER zero = {};
    HGLOBAL memory = nullptr;
    hr = stream->Seek(zero, STREAM_SEEK_CUR, &size);
    if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream.Get(), &memory);
    if (FAILED(hr)) return FailHr("reading the saved state failed", hr);
    const void* bytes = GlobalLock(memory);
    std::string problem;
    const bool written = bytes && WriteWholeFile(path, bytes, size_t(size.QuadPart), &problem);
    if (bytes) GlobalUnlock(memory);
    if (!written) return Fail(problem.empty() ? "cannot read the saved state" : problem);
    return true;
}

void CRenderSession::StopGraph() {
    if (!m_running || !m_control) return;
    m_control->Stop();
    m_running = false;
}
