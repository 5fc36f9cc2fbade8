// CWavWriterFilter: the output file, the samples written to it and completion.
#include "host/render/win/WavWriterFilter.h"

#include <algorithm>
#include <new>

#include <evcode.h>
#include <vfwmsgs.h>

#include "framework/PinCreation.h"
#include "host/wav/WavFormat.h"
#include "host/render/win/WavWriterPin.h"

namespace {

// {5C1E6A41-2F7B-4D8E-9B34-6A0D2E71C3F5}: identifies the writer in its graph; never registered.
const CLSID CLSID_TwWavWriter = {
    0x5c1e6a41, 0x2f7b, 0x4d8e, {0x9b, 0x34, 0x6a, 0x0d, 0x2e, 0x71, 0xc3, 0xf5}};

// Samples are converted for the file in pieces of this many frames.
constexpr size_t kConvertFrames = 4096;

}  // namespace

CWavWriterFilter::CWavWriterFilter(HRESULT* phr)
    : CBaseFilter(L"WAV writer", nullptr, &m_lock, CLSID_TwWavWriter, phr),
      m_pPin(nullptr),
      m_format(),
      m_connection(),
      m_leadingFrames(0),
      m_open(false),
      m_completePending(false),
      m_framesWritten(0),
      m_endOfStream(false),
      m_streamResult(S_OK) {}

CWavWriterFilter::~CWavWriterFilter() {
    delete m_pPin;  // m_writer drops an unfinished file on its own
}

STDMETHODIMP CWavWriterFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IAMFilterMiscFlags)
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CWavWriterFilter::GetMiscFlags() {
    return AM_FILTER_MISC_FLAGS_IS_RENDERER;
}

CBasePin* CWavWriterFilter::GetPin(int n) {
    CreatePinOnce(m_pPin, [this](HRESULT* hr) {
        return new (std::nothrow) CWavWriterPin(this, &m_lock, hr);
    });
    return n == 0 ? m_pPin : nullptr;
}

IPin* CWavWriterFilter::InputPin() {
    return static_cast<IPin*>(static_cast<CWavWriterPin*>(GetPin(0)));
}

bool CWavWriterFilter::OpenOutput(const std::string& path, const WaveFormat& sampleType,
                                  bool dither) {
    CAutoLock lock(&m_lock);
    if (!m_pPin || !m_pPin->IsConnected()) {
        m_error = "the writer is not connected";
        return false;
    }
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(m_pPin->CurrentMediaType().pbFormat);
    m_connection = MakeWaveFormat(wave->wFormatTag, wave->nChannels, wave->nSamplesPerSec,
                                  wave->wBitsPerSample);
    m_format = MakeWaveFormat(sampleType.wFormatTag, wave->nChannels, wave->nSamplesPerSec,
                              sampleType.wBitsPerSample);
    m_converter.reset();
    m_converted.clear();
    if (!SameSampleType(m_connection, m_format)) {
        m_converter = std::make_unique<CSampleConverter>(m_connection, m_format, dither);
        m_converted.resize(kConvertFrames * m_format.nBlockAlign);
    }
    if (!m_sink && !m_writer.Open(path, m_format)) {
        m_error = m_writer.Error();
        return false;
    }
    m_stats.Reset(m_format.nChannels);
    m_framesWritten = 0;
    m_open = true;
    return true;
}

bool CWavWriterFilter::FinishOutput() {
    CAutoLock lock(&m_lock);
    if (!m_open) {
        m_error = "no output file is open";
        return false;
    }
    m_open = false;
    if (!m_sink && !m_writer.Finish()) {
        m_error = m_writer.Error();
        return false;
    }
    return true;
}

void CWavWriterFilter::AbandonOutput() {
    CAutoLock lock(&m_lock);
    m_writer.Abandon();
    m_open = false;
}

STDMETHODIMP CWavWriterFilter::Stop() {
    HRESULT hr = S_OK;
    {
        CAutoLock lock(&m_lock);
        hr = CBaseFilter::Stop();
        m_completePending = false;
    }
    // New samples are refused now; wait for one being written.
    CAutoLock receiving(&m_receiveLock);
    return hr;
}

STDMETHODIMP CWavWriterFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(&m_lock);
    const HRESULT hr = CBaseFilter::Run(tStart);
    if (SUCCEEDED(hr) && m_completePending) {
        m_completePending = false;
        NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    }
    return hr;
}

HRESULT CWavWriterFilter::FailStream(HRESULT hr, const std::string& problem) {
    if (m_streamResult == S_OK) {
        m_error = problem;
        m_streamResult = hr;
        NotifyEvent(EC_ERRORABORT, hr, 0);
    }
    return hr;
}

HRESULT CWavWriterFilter::WriteSample(IMediaSample* sample) {
    if (!m_open)
        return FailStream(VFW_E_WRONG_STATE, "a sample arrived before the output was open");
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return FailStream(hr, "a sample without data");
    const long bytes = sample->GetActualDataLength();
    const size_t frameBytes = m_connection.nBlockAlign;
    if (bytes < 0 || bytes % frameBytes != 0)
        return FailStream(VFW_E_INVALIDMEDIATYPE, "a sample of " + std::to_string(bytes) +
                                                      " bytes holds no whole number of frames");
    size_t frames = static_cast<size_t>(bytes) / frameBytes;
    const size_t dropped = std::min<size_t>(frames, m_leadingFrames);
    m_leadingFrames -= static_cast<uint32_t>(dropped);
    data += dropped * frameBytes;
    frames -= dropped;

    if (!m_converter) {
        if (!Put(data, frames)) return FailStream(E_FAIL, m_writer.Error());
    } else {
        for (size_t done = 0; done < frames;) {
            const size_t piece = std::min(kConvertFrames, frames - done);
            m_converter->Convert(data + done * frameBytes, m_converted.data(),
                                 piece * m_connection.nChannels);
            if (!Put(m_converted.data(), piece)) return FailStream(E_FAIL, m_writer.Error());
            done += piece;
        }
    }
    m_stats.AddBuffer(m_connection, data, frames * frameBytes);
    m_framesWritten += frames;
    return S_OK;
}

bool CWavWriterFilter::Put(const void* frames, size_t count) {
    if (!m_sink) return m_writer.Write(frames, count);
    m_sink(frames, count, m_format);
    return true;
}

HRESULT CWavWriterFilter::EndOfStreamReceived() {
    CAutoLock lock(&m_lock);
    m_endOfStream = true;
    if (m_state == State_Running)
        return NotifyEvent(EC_COMPLETE, S_OK,
                           reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    m_completePending = true;
    return S_OK;
}
