// CPushSourcePin: the output pin of the renderer's file source. It offers exactly one media
// type (the file's) and sizes the allocator so that one block of frames fits one sample.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/BaseOutputPin.h"

class CPushSourcePin : public CBaseOutputPin {
public:
    CPushSourcePin(CBaseFilter* filter, CCritSec* lock, HRESULT* phr);
    ~CPushSourcePin() override;

    // Graph thread, before connecting: the type to offer (copied) and the bytes one delivery
    // buffer must hold.
    HRESULT SetOffer(const AM_MEDIA_TYPE* type, LONG bufferBytes);

    // Connection (filter lock): the offered type and nothing else.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int iPosition, AM_MEDIA_TYPE* pmt) override;
    // At least kSourceBuffers buffers of the block size; fails when the allocator grants less.
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;

private:
    AM_MEDIA_TYPE m_offer;
    LONG m_bufferBytes;
};
