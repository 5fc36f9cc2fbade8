// Helpers for tests in Wine's filter graph.
#include "tests/support/WineGraph.h"

#include <cstdint>
#include <cstdio>

#include <gtest/gtest.h>

namespace twtest {

const CLSID kWaveParser = {
    0xd51bd5a1, 0x7548, 0x11cf, {0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a}};
const CLSID kSampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
const CLSID kNullRenderer = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
const IID kIID_ISampleGrabber = {
    0x6b652fff, 0x11fe, 0x4fce, {0x92, 0xad, 0x02, 0x66, 0xb5, 0xd7, 0xc7, 0x8f}};
const IID kIID_ISampleGrabberCB = {
    0x0579154a, 0x2b53, 0x4994, {0xb0, 0xd0, 0xe7, 0x73, 0x14, 0x8e, 0xff, 0x85}};

std::wstring WriteWave(const WAVEFORMATEX& format, const std::vector<BYTE>& data) {
    WCHAR folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"twg", 0, path);
    FILE* file = _wfopen(path, L"wb");
    if (!file) return path;
    WAVEFORMATEX f = format;
    f.cbSize = 0;
    const uint32_t formatBytes = f.wFormatTag == WAVE_FORMAT_PCM ? 16 : 18;
    auto put32 = [&](uint32_t v) { fwrite(&v, 4, 1, file); };
    fwrite("RIFF", 1, 4, file);
    put32(static_cast<uint32_t>(4 + 8 + formatBytes + 8 + data.size()));
    fwrite("WAVEfmt ", 1, 8, file);
    put32(formatBytes);
    fwrite(&f, 1, formatBytes, file);
    fwrite("data", 1, 4, file);
    put32(static_cast<uint32_t>(data.size()));
    fwrite(data.data(), 1, data.size(), file);
    fclose(file);
    return path;
}

ComPtr<IBaseFilter> Create(REFCLSID clsid) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     filter.PutVoid()));
    return filter;
}

IBaseFilter* AddWine(IGraphBuilder* graph, REFCLSID clsid, const WCHAR* name) {
    const ComPtr<IBaseFilter> filter = Create(clsid);
    if (filter) {
        EXPECT_EQ(S_OK, graph->AddFilter(filter.Get(), name));
    }
    return filter.Get();  // the graph holds it
}

ComPtr<IPin> AddWaveFile(IGraphBuilder* graph, const std::wstring& path) {
    IBaseFilter* reader = AddWine(graph, CLSID_AsyncReader, L"Reader");
    IBaseFilter* parser = AddWine(graph, kWaveParser, L"Parser");
    if (!reader || !parser) return nullptr;
    ComPtr<IFileSourceFilter> source;
    EXPECT_EQ(S_OK, reader->QueryInterface(IID_IFileSourceFilter, source.PutVoid()));
    if (!source) return nullptr;
    EXPECT_EQ(S_OK, source->Load(path.c_str(), nullptr));
    EXPECT_EQ(S_OK, graph->ConnectDirect(PinOf(reader, PINDIR_OUTPUT).Get(),
                                         PinOf(parser, PINDIR_INPUT).Get(), nullptr));
    return PinOf(parser, PINDIR_OUTPUT);
}

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put()))) return nullptr;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        pin->QueryDirection(&direction);
        if (direction == wanted) return pin;
    }
    return nullptr;
}

// CGrabberCallback -------------------------------------------------------------------------

CGrabberCallback::~CGrabberCallback() { Detach(); }

HRESULT CGrabberCallback::Attach(IBaseFilter* grabber) {
    Detach();
    HRESULT hr = grabber->QueryInterface(kIID_ISampleGrabber, grabber_.PutVoid());
    if (FAILED(hr)) return hr;
    grabber_->SetBufferSamples(FALSE);
    grabber_->SetOneShot(FALSE);
    return grabber_->SetCallback(this, 0);
}

void CGrabberCallback::Detach() {
    if (!grabber_) return;
    grabber_->SetCallback(nullptr, 0);
    grabber_.Reset();
}

STDMETHODIMP CGrabberCallback::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == kIID_ISampleGrabberCB) {
        *out = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CGrabberCallback::SampleCB(double, IMediaSample* sample) {
    std::lock_guard<std::mutex> guard(lock);
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    data.insert(data.end(), p, p + sample->GetActualDataLength());
    REFERENCE_TIME start = 0, stop = 0;
    if (sample->GetTime(&start, &stop) == S_OK) {
        times.push_back({start, stop});
    } else {
        ++untimed;
    }
    return S_OK;
}

// GraphRun ---------------------------------------------------------------------------------

GraphRun::GraphRun(IGraphBuilder* graph) {
    ComPtr<IMediaFilter> graphFilter;
    graph->QueryInterface(IID_IMediaFilter, graphFilter.PutVoid());
    EXPECT_EQ(S_OK, graphFilter->SetSyncSource(nullptr));
    graph->QueryInterface(IID_IMediaControl, control_.PutVoid());
    graph->QueryInterface(IID_IMediaEvent, events_.PutVoid());
    const HRESULT ran = control_->Run();
    EXPECT_TRUE(SUCCEEDED(ran)) << std::hex << ran;
}

HRESULT GraphRun::WaitForCompletion(DWORD timeoutMs) {
    long code = 0;
    const HRESULT hr = events_->WaitForCompletion(timeoutMs, &code);
    // A wait that runs out of time (E_ABORT) has no event; a stream that ended says how.
    if (hr == S_OK) {
        EXPECT_EQ(EC_COMPLETE, code);
    }
    return hr;
}

HRESULT GraphRun::Stop() { return control_->Stop(); }

}  // namespace twtest
