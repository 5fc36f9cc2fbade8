// CWavWriterFilter: the renderer's sink. It writes every sample that reaches its input pin
// to a WAV file through CWavWriter (a temporary file renamed into place when complete),
// converted to the file's sample format when the connection carries another, keeps the
// summary's statistics of what the plug-in delivered, and reports EC_COMPLETE to the graph at
// the end of the stream. Leading frames can be dropped (a filter's delay, compensated).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <strmif.h>

#include "framework/BaseFilter.h"
#include "host/render/RenderStats.h"
#include "host/wav/SampleConversion.h"
#include "host/wav/WavWriter.h"

class CWavWriterPin;

class CWavWriterFilter : public CBaseFilter, public IAMFilterMiscFlags {
public:
    // Starts with no reference, like every framework object; the creator takes the first.
    explicit CWavWriterFilter(HRESULT* phr);
    ~CWavWriterFilter() override;

    DECLARE_IUNKNOWN
    // IAMFilterMiscFlags, then CBaseFilter's interfaces.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Any thread. The graph counts its renderers by this flag and reports completion once
    // each has sent EC_COMPLETE.
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* InputPin();

    // Host thread, once the input pin is connected and before running: creates the output
    // (its temporary file) with the connection's channels and rate in the sample type of
    // `sampleType` (tag and bits), converting with TPDF dither on integer output if asked.
    // False with Error().
    bool OpenOutput(const std::string& path, const WaveFormat& sampleType, bool dither);
    // Frames as the file would hold them (interleaved, in the output's sample type).
    typedef std::function<void(const void* frames, size_t count, const WaveFormat& format)>
        OutputSink;
    // Host thread, before OpenOutput: the frames go to `sink`, on the streaming thread, instead
    // of into a file; OpenOutput's path is then not used and no file is made.
    void SetOutputSink(OutputSink sink) { m_sink = std::move(sink); }
    // Host thread, before running: the first frames of the stream that are not written.
    void SetLeadingFrames(uint32_t frames) { m_leadingFrames = frames; }
    // Host thread, once stopped: completes the file and renames it over the target, or
    // drops it and leaves the target as it was. False with Error() when finishing fails.
    bool FinishOutput();
    void AbandonOutput();
    // The file's format (valid after OpenOutput).
    const WaveFormat& OutputFormat() const { return m_format; }

    // Graph thread. Stop waits for a Receive in progress; Run reports an end of stream that
    // arrived while paused, since the graph counts EC_COMPLETE only from running renderers.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;

    // Streaming thread, from the input pin: Receive's work (under the receive lock), and the
    // end of stream (EC_COMPLETE now when running, otherwise at Run).
    HRESULT WriteSample(IMediaSample* sample);
    HRESULT EndOfStreamReceived();
    CCritSec* ReceiveLock() { return &m_receiveLock; }

    // Any thread: progress and outcome of the stream (frames written, dropped ones not counted).
    uint64_t FramesWritten() const { return m_framesWritten.load(); }
    bool EndOfStreamSeen() const { return m_endOfStream.load(); }
    // S_OK, or the failure with which writing stopped (Error() says why).
    HRESULT StreamResult() const { return m_streamResult.load(); }
    // Host thread, once stopped: what the plug-in delivered for the frames written, before
    // any conversion (so clipping by the conversion to integer shows).
    const CRenderStats& Stats() const { return m_stats; }
    const std::string& Error() const { return m_error; }

private:
    HRESULT FailStream(HRESULT hr, const std::string& problem);
    // Frames in the output's sample type to the file or the sink.
    bool Put(const void* frames, size_t count);

    OutputSink m_sink;
    CCritSec m_lock;
    CCritSec m_receiveLock;
    CWavWriterPin* m_pPin;
    CWavWriter m_writer;
    WaveFormat m_format;
    WaveFormat m_connection;                        // the stream's format
    std::unique_ptr<CSampleConverter> m_converter;  // null when the file takes it as it is
    std::vector<uint8_t> m_converted;               // kConvertFrames frames of the file
    uint32_t m_leadingFrames;
    bool m_open;
    bool m_completePending;  // end of stream seen while paused; filter lock
    CRenderStats m_stats;
    std::string m_error;
    std::atomic<uint64_t> m_framesWritten;
    std::atomic<bool> m_endOfStream;
    std::atomic<HRESULT> m_streamResult;
};
