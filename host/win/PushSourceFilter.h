// CPushSourceFilter: the renderer's file source. It reads a WAV file and pushes it from its
// own streaming thread in blocks of a fixed number of frames, the way a workstation's audio
// engine feeds a plug-in, then sends end of stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <windows.h>
#include <strmif.h>

#include "framework/BaseFilter.h"
#include "host/WavReader.h"

class CPushSourcePin;

class CPushSourceFilter : public CBaseFilter {
public:
    // Starts with no reference, like every framework object; the creator takes the first.
    explicit CPushSourceFilter(HRESULT* phr);
    ~CPushSourceFilter() override;

    // Host thread, before the filter is connected: opens the file and offers its format on
    // the output pin. False with Error() naming the file and the problem.
    bool Open(const std::string& path, uint32_t blockFrames);
    // Host thread, once stopped: closes the file (so that it may be replaced).
    void Close();

    const WaveFormat& Format() const { return m_reader.Format(); }
    bool IsExtensible() const { return m_reader.IsExtensible(); }
    bool IsTruncated() const { return m_reader.IsTruncated(); }
    uint64_t FrameCount() const { return m_reader.FrameCount(); }
    // The media type the output pin offers (valid after Open).
    const AM_MEDIA_TYPE& OfferedType() const { return m_type; }
    IPin* OutputPin();

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    // Graph thread, filter lock. Pause from Stopped starts the streaming thread; Stop ends
    // it (the allocator's decommit releases a thread waiting for a buffer) and waits for it.
    // A file is pushed once: after the end of stream a new run delivers only the end again.
    STDMETHODIMP Pause() override;
    STDMETHODIMP Stop() override;

    // Any thread: progress and outcome of the streaming thread.
    uint64_t FramesDelivered() const { return m_framesDelivered.load(); }
    // True once the thread has sent end of stream or given up.
    bool StreamEnded() const { return m_streamEnded.load(); }
    // S_OK after a complete stream; otherwise the failure that ended it early, or S_FALSE
    // when downstream stopped taking samples without an error.
    HRESULT StreamResult() const { return m_streamResult.load(); }
    // Open's problem, or a read error met while streaming.
    const std::string& Error() const { return m_error; }

private:
    static DWORD WINAPI StreamThread(void* self);
    // Streaming thread: the block loop, then end of stream.
    HRESULT Stream();
    void JoinStreamThread();

    CCritSec m_lock;
    CPushSourcePin* m_pPin;
    CWavReader m_reader;
    uint32_t m_blockFrames;
    AM_MEDIA_TYPE m_type;
    std::string m_error;
    HANDLE m_thread;
    std::atomic<bool> m_stopRequested;
    std::atomic<bool> m_streamEnded;
    std::atomic<HRESULT> m_streamResult;
    std::atomic<uint64_t> m_framesDelivered;
};
