// CWavWriterPin: type checks and the hand-over of samples to the writer filter.
#include "host/render/win/WavWriterPin.h"

#include <cstring>

#include <uuids.h>
#include <vfwmsgs.h>

#include "host/wav/WavFormat.h"
#include "host/render/win/WavWriterFilter.h"

namespace {

constexpr ULONG kWaveFormatCoreBytes = 16;  // WAVEFORMATEX up to wBitsPerSample

}  // namespace

CWavWriterPin::CWavWriterPin(CWavWriterFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin(L"WAV writer pin", filter, lock, phr, L"Input"), m_pWriter(filter) {}

CWavWriterPin::~CWavWriterPin() = default;

HRESULT CWavWriterPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (pmt->majortype != MEDIATYPE_Audio || pmt->formattype != FORMAT_WaveFormatEx ||
        pmt->cbFormat < kWaveFormatCoreBytes || !pmt->pbFormat)
        return VFW_E_TYPE_NOT_ACCEPTED;
    WaveFormat f = {};
    std::memcpy(&f, pmt->pbFormat, kWaveFormatCoreBytes);
    return f.nChannels == 2 && IsProcessableFormat(f) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

STDMETHODIMP CWavWriterPin::Receive(IMediaSample* pSample) {
    CAutoLock receiving(m_pWriter->ReceiveLock());
    HRESULT hr = CBaseInputPin::Receive(pSample);
    if (hr != S_OK) return hr;
    hr = m_pWriter->WriteSample(pSample);
    if (FAILED(hr)) m_bRunTimeError = true;
    return hr;
}

STDMETHODIMP CWavWriterPin::EndOfStream() {
    HRESULT hr = S_OK;
    {
        CAutoLock receiving(m_pWriter->ReceiveLock());
        hr = CBaseInputPin::EndOfStream();
    }
    if (hr != S_OK) return hr;
    return m_pWriter->EndOfStreamReceived();
}
