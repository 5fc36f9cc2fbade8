// CBaseAllocator: the IMemAllocator bookkeeping shared by allocators: properties, commit
// state, the free list and GetBuffer's wait for a free sample. Derived classes supply the
// memory (Alloc/Free).
#pragma once

#include <windows.h>
#include <strmif.h>

#include "base/CritSec.h"
#include "framework/Unknown.h"

class CMediaSample;

class CBaseAllocator : public CUnknown, public IMemAllocator {
public:
    CBaseAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT* phr);
    ~CBaseAllocator() override;

    DECLARE_IUNKNOWN
    // IMemAllocator and IUnknown.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Connection threads. Fails with VFW_E_ALREADY_COMMITTED while committed and
    // VFW_E_BUFFERS_OUTSTANDING while samples are still out; the granted values go to pActual.
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                               ALLOCATOR_PROPERTIES* pActual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    // State-change threads. Commit allocates the samples (VFW_E_SIZENOTSET without
    // properties); Decommit wakes GetBuffer waiters and frees the memory once every sample
    // has come back.
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    // Streaming thread. Blocks until a sample is free unless AM_GBF_NOWAIT is given
    // (VFW_E_TIMEOUT); VFW_E_NOT_COMMITTED when decommitted, also while waiting. The sample
    // comes with one reference, the given times and no flags; it holds a reference on the
    // allocator until it returns.
    STDMETHODIMP GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                           REFERENCE_TIME* pEndTime, DWORD dwFlags) override;
    // Called by a sample of this allocator when its last reference goes (any thread).
    // E_INVALIDARG for a sample that is not this allocator's.
    STDMETHODIMP ReleaseBuffer(IMediaSample* pBuffer) override;

protected:
    // Creates m_lCount samples of m_lSize bytes and hands each to AddSample. Called under
    // m_csAllocator by Commit.
    virtual HRESULT Alloc() = 0;
    // Releases the samples (DeleteAllSamples) and their memory. Called under m_csAllocator,
    // only when every sample is free.
    virtual void Free() = 0;

    // Registers a new sample as free. Under m_csAllocator.
    void AddSample(CMediaSample* sample);
    // Deletes every sample; all must be free. Under m_csAllocator.
    void DeleteAllSamples();

    CCritSec m_csAllocator;
    LONG m_lCount;      // buffers
    LONG m_lSize;       // usable bytes per buffer
    LONG m_lAlignment;  // alignment of each buffer's data
    LONG m_lPrefix;     // bytes reserved before each buffer's data
    bool m_bCommitted;
    bool m_bDecommitPending;  // decommitted with samples still out: free when they return

private:
    CMediaSample* m_pFreeList;
    CMediaSample* m_pAllSamples;
    LONG m_lAllocated;  // samples in existence
    LONG m_lFree;       // samples on the free list
    LONG m_lWaiting;    // GetBuffer calls blocked on m_hSemaphore
    HANDLE m_hSemaphore;
};
