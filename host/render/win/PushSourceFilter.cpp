// CPushSourceFilter: the file source's states and its streaming thread.
#include "host/render/win/PushSourceFilter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <evcode.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include "base/win/ComPtr.h"
#include "framework/MediaType.h"
#include "framework/PinCreation.h"
#include "host/render/win/PushSourcePin.h"

namespace {

// {5C1E6A40-2F7B-4D8E-9B34-6A0D2E71C3F5}: identifies the source in its graph; never registered.
const CLSID CLSID_TwPushSource = {
    0x5c1e6a40, 0x2f7b, 0x4d8e, {0x9b, 0x34, 0x6a, 0x0d, 0x2e, 0x71, 0xc3, 0xf5}};

constexpr LONGLONG kUnitsPerSecond = 10000000;  // 100-ns reference time
// The plug-in refuses output buffers under 512 bytes and sizes its own from ours, so even a
// 16-frame mono block gets buffers of that size.
constexpr LONG kMinBufferBytes = 512;

// The reference time of a frame position, exact for any length a WAV file can have.
REFERENCE_TIME TimeOfFrame(uint64_t frame, uint32_t samplesPerSec) {
    const LONGLONG f = static_cast<LONGLONG>(frame);
    return f / samplesPerSec * kUnitsPerSecond + f % samplesPerSec * kUnitsPerSecond / samplesPerSec;
}

}  // namespace

CPushSourceFilter::CPushSourceFilter(HRESULT* phr)
    : CBaseFilter(L"Push source", nullptr, &m_lock, CLSID_TwPushSource, phr),
      m_pPin(nullptr),
      m_working(),
      m_tailFrames(0),
      m_blockFrames(0),
      m_type(),
      m_thread(nullptr),
      m_stopRequested(false),
      m_streamEnded(false),
      m_streamResult(S_OK),
      m_framesDelivered(0) {}

CPushSourceFilter::~CPushSourceFilter() {
    JoinStreamThread();
    delete m_pPin;
    FreeMediaType(m_type);
}

CBasePin* CPushSourceFilter::GetPin(int n) {
    CreatePinOnce(m_pPin, [this](HRESULT* hr) {
        return new (std::nothrow) CPushSourcePin(this, &m_lock, hr);
    });
    return n == 0 ? m_pPin : nullptr;
}

IPin* CPushSourceFilter::OutputPin() {
    return static_cast<IPin*>(static_cast<CPushSourcePin*>(GetPin(0)));
}

bool CPushSourceFilter::Open(const std::string& path) {
    CAutoLock lock(&m_lock);
    m_error.clear();
    if (!GetPin(0)) {
        m_error = "out of memory";
        return false;
    }
    if (!m_reader.Open(path)) {
        m_error = m_reader.Error();
        return false;
    }
    return true;
}

bool CPushSourceFilter::Offer(const WaveFormat& working, uint32_t blockFrames) {
    CAutoLock lock(&m_lock);
    const WaveFormat& file = m_reader.Format();
    m_working = working;
    m_converter.reset();
    m_fileBlock.clear();
    if (!SameSampleType(file, working)) {
        m_converter = std::make_unique<CSampleConverter>(file, working, false);
        m_fileBlock.resize(static_cast<size_t>(blockFrames) * file.nBlockAlign);
    }
    const WaveFormat& format = working;
    FreeMediaType(m_type);
    auto* wave = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    if (!wave) {
        m_error = "out of memory";
        return false;
    }
    static_assert(sizeof(WaveFormat) == sizeof(WAVEFORMATEX), "same record");
    CopyMemory(wave, &format, sizeof(WAVEFORMATEX));
    m_type.majortype = MEDIATYPE_Audio;
    m_type.subtype =
        format.wFormatTag == kWaveFormatIeeeFloat ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
    m_type.bFixedSizeSamples = TRUE;
    m_type.bTemporalCompression = FALSE;
    m_type.lSampleSize = format.nBlockAlign;
    m_type.formattype = FORMAT_WaveFormatEx;
    m_type.cbFormat = sizeof(WAVEFORMATEX);
    m_type.pbFormat = reinterpret_cast<BYTE*>(wave);

    m_blockFrames = blockFrames;
    const LONG bufferBytes =
        std::max(static_cast<LONG>(blockFrames * format.nBlockAlign), kMinBufferBytes);
    const HRESULT hr = m_pPin->SetOffer(&m_type, bufferBytes);
    if (FAILED(hr)) {
        m_error = "the source pin refused the file's format";
        return false;
    }
    return true;
}

void CPushSourceFilter::Close() {
    JoinStreamThread();
    m_reader.Close();
}

STDMETHODIMP CPushSourceFilter::Pause() {
    CAutoLock lock(&m_lock);
    const bool starting = m_state == State_Stopped;
    HRESULT hr = CBaseFilter::Pause();
    if (FAILED(hr) || !starting || !m_pPin || !m_pPin->IsConnected()) return hr;

    // A thread of an earlier run has ended by now (Stop joined it).
    m_stopRequested = false;
    m_streamEnded = false;
    m_streamResult = S_OK;
    m_thread = CreateThread(nullptr, 0, StreamThread, this, 0, nullptr);
    if (!m_thread) {
        hr = HRESULT_FROM_WIN32(GetLastError());
        CBaseFilter::Stop();
        return hr;
    }
    return S_OK;
}

STDMETHODIMP CPushSourceFilter::Stop() {
    HRESULT hr = S_OK;
    {
        CAutoLock lock(&m_lock);
        m_stopRequested = true;
        hr = CBaseFilter::Stop();
    }
    // Outside the lock: the thread never takes it, but a caller asking for pins may.
    JoinStreamThread();
    return hr;
}

void CPushSourceFilter::JoinStreamThread() {
    HANDLE thread = nullptr;
    {
        CAutoLock lock(&m_lock);
        thread = m_thread;
        m_thread = nullptr;
    }
    if (!thread) return;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

DWORD WINAPI CPushSourceFilter::StreamThread(void* self) {
    auto* source = static_cast<CPushSourceFilter*>(self);
    const HRESULT hr = source->Stream();
    // A stop asked for is no failure; anything else ends the graph's run with an error.
    if (!source->m_stopRequested) {
        source->m_streamResult = hr;
        if (FAILED(hr)) source->NotifyEvent(EC_ERRORABORT, hr, 0);
    }
    source->m_streamEnded = true;
    return 0;
}

size_t CPushSourceFilter::ReadFrames(BYTE* data, size_t maxFrames) {
    size_t frames = 0;
    if (!m_converter) {
        frames = m_reader.Read(data, maxFrames);
    } else {
        frames = m_reader.Read(m_fileBlock.data(), maxFrames);
        m_converter->Convert(m_fileBlock.data(), data, frames * m_working.nChannels);
    }
    if (frames == 0 && m_tailFrames > 0 && m_reader.Error().empty()) {
        // All-zero bytes are silence in every working format.
        frames = std::min<size_t>(maxFrames, m_tailFrames);
        std::memset(data, 0, frames * m_working.nBlockAlign);
        m_tailFrames -= static_cast<uint32_t>(frames);
    }
    return frames;
}

HRESULT CPushSourceFilter::Stream() {
    const WaveFormat& format = m_working;
    bool first = true;
    while (!m_stopRequested) {
        ComPtr<IMediaSample> sample;
        HRESULT hr = m_pPin->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;  // also how a Stop (decommit) ends a wait for a buffer

        BYTE* data = nullptr;
        hr = sample->GetPointer(&data);
        const size_t capacity = SUCCEEDED(hr) ? sample->GetSize() / format.nBlockAlign : 0;
        const size_t frames = ReadFrames(data, std::min<size_t>(m_blockFrames, capacity));
        if (frames == 0) {
            sample.Reset();  // back to the allocator before the end of stream goes out
            if (FAILED(hr)) return hr;
            if (!m_reader.Error().empty()) {
                m_error = m_reader.Error();
                return E_FAIL;
            }
            return m_pPin->DeliverEndOfStream();
        }

        const uint64_t position = m_framesDelivered;
        REFERENCE_TIME start = TimeOfFrame(position, format.nSamplesPerSec);
        REFERENCE_TIME stop = TimeOfFrame(position + frames, format.nSamplesPerSec);
        LONGLONG mediaStart = static_cast<LONGLONG>(position);
        LONGLONG mediaStop = static_cast<LONGLONG>(position + frames);
        sample->SetTime(&start, &stop);
        sample->SetMediaTime(&mediaStart, &mediaStop);
        sample->SetActualDataLength(static_cast<LONG>(frames * format.nBlockAlign));
        sample->SetSyncPoint(TRUE);
        sample->SetPreroll(FALSE);
        sample->SetDiscontinuity(first ? TRUE : FALSE);
        hr = m_pPin->Deliver(sample.Get());
        sample.Reset();
        if (hr != S_OK) return hr;  // S_FALSE: downstream takes no more (flushing)
        m_framesDelivered += frames;
        first = false;
    }
    return S_OK;
}
