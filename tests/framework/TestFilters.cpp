// Test filters built on the framework.
#include "tests/framework/TestFilters.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/MediaType.h"
#include "framework/TransformInputPin.h"

const CLSID CLSID_TestPassThrough = {
    0x8d2f3c71, 0x0a4e, 0x4b6b, {0x93, 0x1e, 0x5c, 0x7d, 0x22, 0x10, 0xa1, 0x01}};
const CLSID CLSID_TestSource = {
    0x8d2f3c71, 0x0a4e, 0x4b6b, {0x93, 0x1e, 0x5c, 0x7d, 0x22, 0x10, 0xa1, 0x02}};
const CLSID CLSID_TestSink = {
    0x8d2f3c71, 0x0a4e, 0x4b6b, {0x93, 0x1e, 0x5c, 0x7d, 0x22, 0x10, 0xa1, 0x03}};

namespace {

const WAVEFORMATEX* Wave(const AM_MEDIA_TYPE* mt) {
    if (mt->formattype != FORMAT_WaveFormatEx || mt->cbFormat < 16 || !mt->pbFormat) return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
}

bool IsPcm16(const AM_MEDIA_TYPE* mt) {
    const WAVEFORMATEX* wfx = Wave(mt);
    return mt->majortype == MEDIATYPE_Audio && mt->subtype == MEDIASUBTYPE_PCM && wfx &&
           wfx->wFormatTag == WAVE_FORMAT_PCM && wfx->wBitsPerSample == 16;
}

}  // namespace

AM_MEDIA_TYPE MakePcmType(WORD channels, DWORD rate) {
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = channels * 2;
    auto* wfx = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
    wfx->wFormatTag = WAVE_FORMAT_PCM;
    wfx->nChannels = channels;
    wfx->nSamplesPerSec = rate;
    wfx->nBlockAlign = static_cast<WORD>(channels * 2);
    wfx->nAvgBytesPerSec = rate * wfx->nBlockAlign;
    wfx->wBitsPerSample = 16;
    wfx->cbSize = 0;
    mt.cbFormat = sizeof(WAVEFORMATEX);
    mt.pbFormat = reinterpret_cast<BYTE*>(wfx);
    return mt;
}

// CPassThrough ---------------------------------------------------------------------------

CPassThrough::CPassThrough(LPUNKNOWN outer)
    : CTransformFilter(L"CPassThrough", outer, CLSID_TestPassThrough) {}

CUnknown* WINAPI CPassThrough::Create(LPUNKNOWN outer, HRESULT* phr) {
    CUnknown* filter = new (std::nothrow) CPassThrough(outer);
    if (!filter) *phr = E_OUTOFMEMORY;
    return filter;
}

HRESULT CPassThrough::Transform(IMediaSample* pIn, IMediaSample* pOut) {
    BYTE* source = nullptr;
    BYTE* target = nullptr;
    pIn->GetPointer(&source);
    pOut->GetPointer(&target);
    const LONG length = pIn->GetActualDataLength();
    if (length > pOut->GetSize()) return VFW_E_BUFFER_OVERFLOW;
    std::memcpy(target, source, static_cast<size_t>(length));
    bytes += length;
    return pOut->SetActualDataLength(length);
}

HRESULT CPassThrough::CheckInputType(const AM_MEDIA_TYPE* mtIn) {
    return IsPcm16(mtIn) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPassThrough::CheckTransform(const AM_MEDIA_TYPE* mtIn, const AM_MEDIA_TYPE* mtOut) {
    if (!IsPcm16(mtIn) || !IsPcm16(mtOut)) return VFW_E_TYPE_NOT_ACCEPTED;
    // Only the 16 bytes every PCM format block has are compared.
    return std::memcmp(mtIn->pbFormat, mtOut->pbFormat, 16) == 0 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPassThrough::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    ALLOCATOR_PROPERTIES request = *pProp;
    request.cBuffers = std::max<LONG>(request.cBuffers, 4);
    LONG inputSize = 4096;
    IMemAllocator* upstream = m_pInput->Allocator();
    ALLOCATOR_PROPERTIES inputProps{};
    if (upstream && SUCCEEDED(upstream->GetProperties(&inputProps)))
        inputSize = std::max<LONG>(inputSize, inputProps.cbBuffer);
    request.cbBuffer = std::max<LONG>(request.cbBuffer, inputSize);
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = pAlloc->SetProperties(&request, &actual);
    if (FAILED(hr)) return hr;
    *pProp = actual;
    return actual.cbBuffer >= request.cbBuffer ? S_OK : E_FAIL;
}

HRESULT CPassThrough::GetMediaType(int iPosition, AM_MEDIA_TYPE* pMediaType) {
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
    return CopyMediaType(pMediaType, &m_pInput->CurrentMediaType());
}

HRESULT CPassThrough::StartStreaming() {
    ++starts;
    return startResult;
}

HRESULT CPassThrough::StopStreaming() {
    ++stops;
    return S_OK;
}

HRESULT CPassThrough::SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* pmt) {
    ++(direction == PINDIR_INPUT ? inputTypesSet : outputTypesSet);
    return CTransformFilter::SetMediaType(direction, pmt);
}

// CTestSource ----------------------------------------------------------------------------

namespace {

class CTestSourcePin : public CBaseOutputPin {
public:
    CTestSourcePin(CBaseFilter* filter, CCritSec* lock, HRESULT* phr)
        : CBaseOutputPin(L"source pin", filter, lock, phr, L"Source") {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
        return IsPcm16(pmt) ? S_OK : S_FALSE;
    }
    // Proposes mono first, then stereo.
    HRESULT GetMediaType(int iPosition, AM_MEDIA_TYPE* pmt) override {
        if (iPosition < 0) return E_INVALIDARG;
        if (iPosition > 1) return VFW_S_NO_MORE_ITEMS;
        *pmt = MakePcmType(static_cast<WORD>(iPosition + 1), 44100);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override {
        ALLOCATOR_PROPERTIES request = *pProp, actual{};
        request.cBuffers = 2;
        request.cbBuffer = 1024;
        return pAlloc->SetProperties(&request, &actual);
    }
};

}  // namespace

CTestSource::CTestSource()
    : CBaseFilter(L"CTestSource", nullptr, &m_lock, CLSID_TestSource), m_pPin(nullptr) {}

CTestSource::~CTestSource() {
    delete m_pPin;
}

CBasePin* CTestSource::GetPin(int n) {
    if (!m_pPin) {
        HRESULT hr = S_OK;
        m_pPin = new CTestSourcePin(this, &m_lock, &hr);
    }
    return n == 0 ? m_pPin : nullptr;
}

CBaseOutputPin* CTestSource::Pin() {
    GetPin(0);
    return m_pPin;
}

// CTestSink ------------------------------------------------------------------------------

class CTestSinkPin : public CBaseInputPin {
public:
    CTestSinkPin(CTestSink* filter, CCritSec* lock, HRESULT* phr)
        : CBaseInputPin(L"sink pin", filter, lock, phr, L"Sink"), m_pSink(filter) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
        if (!IsPcm16(pmt)) return S_FALSE;
        if (m_pSink->acceptStereoOnly && Wave(pmt)->nChannels != 2) return S_FALSE;
        return S_OK;
    }
    STDMETHODIMP Receive(IMediaSample* pSample) override {
        HRESULT hr = CBaseInputPin::Receive(pSample);
        if (hr != S_OK) return hr;
        ReceivedSample record;
        BYTE* data = nullptr;
        pSample->GetPointer(&data);
        record.data.assign(data, data + pSample->GetActualDataLength());
        record.timeResult = pSample->GetTime(&record.start, &record.stop);
        record.syncPoint = pSample->IsSyncPoint() == S_OK;
        record.discontinuity = pSample->IsDiscontinuity() == S_OK;
        m_pSink->samples.push_back(std::move(record));
        return S_OK;
    }
    STDMETHODIMP EndOfStream() override {
        HRESULT hr = CBaseInputPin::EndOfStream();
        if (hr == S_OK) ++m_pSink->endOfStreams;
        return hr;
    }
    STDMETHODIMP BeginFlush() override {
        ++m_pSink->beginFlushes;
        return CBaseInputPin::BeginFlush();
    }
    STDMETHODIMP EndFlush() override {
        ++m_pSink->endFlushes;
        return CBaseInputPin::EndFlush();
    }
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override {
        m_pSink->segmentStart = tStart;
        return CBaseInputPin::NewSegment(tStart, tStop, dRate);
    }

private:
    CTestSink* const m_pSink;
};

CTestSink::CTestSink()
    : CBaseFilter(L"CTestSink", nullptr, &m_lock, CLSID_TestSink), m_pPin(nullptr) {}

CTestSink::~CTestSink() {
    delete m_pPin;
}

CBasePin* CTestSink::GetPin(int n) {
    if (!m_pPin) {
        HRESULT hr = S_OK;
        m_pPin = new CTestSinkPin(this, &m_lock, &hr);
    }
    return n == 0 ? m_pPin : nullptr;
}

CBaseInputPin* CTestSink::Pin() {
    GetPin(0);
    return m_pPin;
}
