// CWavWriterPin: the input pin of the renderer's WAV writer. It takes stereo audio in the
// sample formats the renderer writes and hands every sample and the end of stream to its
// filter.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/BaseInputPin.h"

class CWavWriterFilter;

class CWavWriterPin : public CBaseInputPin {
public:
    CWavWriterPin(CWavWriterFilter* filter, CCritSec* lock, HRESULT* phr);
    ~CWavWriterPin() override;

    // Connection (filter lock): audio with a WAVEFORMATEX of 16-bit PCM or 32/64-bit float,
    // two channels, a rate above 0 and the block alignment those imply.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;

    // Upstream streaming thread. Receive writes the sample under the filter's receive lock;
    // a failure to write stops the stream (VFW_E_RUNTIME_ERROR for every later sample).
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP EndOfStream() override;

private:
    CWavWriterFilter* const m_pWriter;
};
