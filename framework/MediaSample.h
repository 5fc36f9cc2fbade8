// CMediaSample: one buffer of an allocator, with the time stamps and flags that travel with
// it. Releasing the last reference returns the sample to its allocator instead of deleting it.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/BaseObject.h"

class CBaseAllocator;

class CMediaSample : public IMediaSample, public CBaseObject {
public:
    // allocator: the owner the sample returns to, or null for a free-standing sample that
    // deletes itself. buffer/length: the memory the sample describes (not owned).
    CMediaSample(LPCTSTR name, CBaseAllocator* allocator, HRESULT* phr, LPBYTE buffer = nullptr,
                 LONG length = 0);
    ~CMediaSample() override;

    // IUnknown (any thread): IMediaSample and IUnknown; the count is interlocked.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMediaSample: called by whoever holds the sample, normally one streaming thread.
    STDMETHODIMP GetPointer(BYTE** ppBuffer) override;
    STDMETHODIMP_(LONG) GetSize() override;
    STDMETHODIMP GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP IsSyncPoint() override;
    STDMETHODIMP SetSyncPoint(BOOL bIsSyncPoint) override;
    STDMETHODIMP IsPreroll() override;
    STDMETHODIMP SetPreroll(BOOL bIsPreroll) override;
    STDMETHODIMP_(LONG) GetActualDataLength() override;
    STDMETHODIMP SetActualDataLength(LONG length) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    STDMETHODIMP IsDiscontinuity() override;
    STDMETHODIMP SetDiscontinuity(BOOL bDiscontinuity) override;
    STDMETHODIMP GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    STDMETHODIMP SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

    // Points the sample at other memory; used by allocators. E_INVALIDARG for a negative length.
    HRESULT SetPointer(BYTE* buffer, LONG length);

private:
    friend class CBaseAllocator;

    enum : DWORD {
        kSyncPoint = 0x01,
        kPreroll = 0x02,
        kDiscontinuity = 0x04,
        kTypeChanged = 0x08,
        kStartValid = 0x10,
        kStopValid = 0x20,
        kMediaTimeValid = 0x40,
    };

    // Clears flags, times and media type for the sample's next use.
    void ResetProperties();

    volatile LONG m_cRef;
    CBaseAllocator* const m_pAllocator;
    BYTE* m_pBuffer;
    LONG m_cbBuffer;
    LONG m_lActual;
    DWORD m_dwFlags;
    REFERENCE_TIME m_tStart;
    REFERENCE_TIME m_tStop;
    LONGLONG m_llMediaStart;
    LONGLONG m_llMediaStop;
    AM_MEDIA_TYPE* m_pMediaType;
    CMediaSample* m_pNextFree;  // link in the allocator's free list
    CMediaSample* m_pNextAll;   // link in the allocator's list of all its samples
    bool m_bFree;               // on the allocator's free list
};
