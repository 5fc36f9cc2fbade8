// CPushSourceFilter: the renderer's file source. It reads a WAV file and pushes it from its
// own streaming thread in blocks of a fixed number of frames, the way a workstation's audio
// engine feeds a plug-in, converted to the format the plug-in runs in when that is not the
// file's own, then silence to flush a filter's delay if asked, then end of stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <strmif.h>

#include "framework/BaseFilter.h"
#include "host/wav/SampleConversion.h"
#include "host/wav/WavReader.h"

class CPushSourcePin;

class CPushSourceFilter : public CBaseFilter {
public:
    // Starts with no reference, like every framework object; the creator takes the first.
    explicit CPushSourceFilter(HRESULT* phr);
    ~CPushSourceFilter() override;

    // Host thread, before the filter is connected: opens the file and reads its format. False
    // with Error() naming the file and the problem.
    bool Open(const std::string& path);
    // Host thread, after Open and before connecting: offers `working` (the file's rate and
    // channels in a sample type the plug-in processes) on the output pin, in buffers of
    // blockFrames frames. The file's samples are converted to it unless they are of its type.
    bool Offer(const WaveFormat& working, uint32_t blockFrames);
    // Host thread, before running: frames of silence pushed after the file's last frame.
    void SetTailFrames(uint32_t frames) { m_tailFrames = frames; }
    // Host thread, once stopped: closes the file (so that it may be replaced).
    void Close();

    // The file's format (plain tag, as CWavReader reports it).
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
    // Streaming thread: up to maxFrames frames of the working format into data, the file's
    // first, then the tail's silence; 0 at the end or after a read error.
    size_t ReadFrames(BYTE* data, size_t maxFrames);
    void JoinStreamThread();

    CCritSec m_lock;
    CPushSourcePin* m_pPin;
    CWavReader m_reader;
    WaveFormat m_working;
    std::unique_ptr<CSampleConverter> m_converter;  // null when the file is in working format
    std::vector<uint8_t> m_fileBlock;               // one block of file frames to convert
    uint32_t m_tailFrames;
    uint32_t m_blockFrames;
    AM_MEDIA_TYPE m_type;
    std::string m_error;
    HANDLE m_thread;
    std::atomic<bool> m_stopRequested;
    std::atomic<bool> m_streamEnded;
    std::atomic<HRESULT> m_streamResult;
    std::atomic<uint64_t> m_framesDelivered;
};
