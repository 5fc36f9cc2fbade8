// Helpers for tests that run filters in Wine's own DirectShow filter graph: the class ids of
// the Wine filters they use, WAV files for File Source (Async) → WAVE Parser, a Sample
// Grabber callback that records what arrives, filter and pin look-ups, and a run without a
// clock to the end of the stream. Failed steps are reported as test failures where they
// happen; callers check what the helpers hand back.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include "base/win/ComPtr.h"

namespace twtest {

extern const CLSID kWaveParser;
extern const CLSID kSampleGrabber;
extern const CLSID kNullRenderer;
extern const IID kIID_ISampleGrabber;
extern const IID kIID_ISampleGrabberCB;

// Writes a WAV file with the format and data in the temp folder and returns its path (delete
// it with DeleteFileW). PCM gets the 16-byte format chunk, other tags all 18 bytes with
// cbSize 0.
std::wstring WriteWave(const WAVEFORMATEX& format, const std::vector<BYTE>& data);

// A filter made by CoCreateInstance, empty on failure.
ComPtr<IBaseFilter> Create(REFCLSID clsid);

// A filter made by CoCreateInstance and added to the graph under the name. The graph holds
// the only reference: the pointer is good while the filter is in the graph.
IBaseFilter* AddWine(IGraphBuilder* graph, REFCLSID clsid, const WCHAR* name);

// File Source (Async) "Reader" → WAVE Parser "Parser" for the file, added and connected; the
// parser's output pin, or empty.
ComPtr<IPin> AddWaveFile(IGraphBuilder* graph, const std::wstring& path);

// The filter's first pin in the direction, or empty.
ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION wanted);

// Records what reaches a Sample Grabber, on the streaming thread: the bytes, the times of the
// timed samples and the count of untimed ones. It lives on the test's stack.
class CGrabberCallback : public ISampleGrabberCB {
public:
    CGrabberCallback() = default;
    CGrabberCallback(const CGrabberCallback&) = delete;
    CGrabberCallback& operator=(const CGrabberCallback&) = delete;
    ~CGrabberCallback();

    // Makes this the grabber's callback, with no buffering and no one-shot; the first failure.
    HRESULT Attach(IBaseFilter* grabber);
    // Takes this off the grabber again (also done when it goes).
    void Detach();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }

    std::mutex lock;
    std::vector<BYTE> data;
    std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> times;
    int untimed = 0;

private:
    ComPtr<ISampleGrabber> grabber_;
};

// The graph running without a reference clock, as fast as its filters go: the clock is
// removed and Run called when it is made; its control interfaces go with it.
class GraphRun {
public:
    explicit GraphRun(IGraphBuilder* graph);
    GraphRun(const GraphRun&) = delete;
    GraphRun& operator=(const GraphRun&) = delete;

    // What IMediaEvent::WaitForCompletion reports; the event must be EC_COMPLETE.
    HRESULT WaitForCompletion(DWORD timeoutMs);
    HRESULT Stop();

private:
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEvent> events_;
};

}  // namespace twtest
