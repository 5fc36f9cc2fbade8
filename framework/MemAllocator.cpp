// CMemAllocator: one aligned block carved into the allocator's buffers.
#include "framework/MemAllocator.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vfwmsgs.h>

#include "framework/MediaSample.h"

CMemAllocator::CMemAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT* phr)
    : CBaseAllocator(name, outer, phr), m_pMemory(nullptr) {}

CMemAllocator::~CMemAllocator() {
    // Every sample holds a reference while it is out, so all are free by now.
    CAutoLock lock(&m_csAllocator);
    m_bCommitted = false;
    Free();
}

CUnknown* WINAPI CMemAllocator::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
    CUnknown* allocator = new (std::nothrow) CMemAllocator(L"CMemAllocator", outer, phr);
    if (!allocator && phr) *phr = E_OUTOFMEMORY;
    return allocator;
}

STDMETHODIMP CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                          ALLOCATOR_PROPERTIES* pActual) {
    if (!pRequest || !pActual) return E_POINTER;
    ALLOCATOR_PROPERTIES granted = *pRequest;
    if (granted.cbAlign == 0) granted.cbAlign = 1;
    if (granted.cbAlign < 0 || (granted.cbAlign & (granted.cbAlign - 1)) != 0)
        return VFW_E_BADALIGN;
    if (granted.cBuffers < 0 || granted.cbBuffer < 0 || granted.cbPrefix < 0) return E_INVALIDARG;
    const LONGLONG slot =
        (static_cast<LONGLONG>(granted.cbPrefix) + granted.cbBuffer + granted.cbAlign - 1) /
        granted.cbAlign * granted.cbAlign;
    if (slot > LONG_MAX || slot * granted.cBuffers > static_cast<LONGLONG>(SIZE_MAX / 2))
        return E_OUTOFMEMORY;
    granted.cbBuffer = static_cast<LONG>(slot - granted.cbPrefix);
    return CBaseAllocator::SetProperties(&granted, pActual);
}

HRESULT CMemAllocator::Alloc() {
    const size_t slot = static_cast<size_t>(m_lPrefix) + static_cast<size_t>(m_lSize);
    const size_t align = static_cast<size_t>(m_lAlignment);
    m_pMemory = std::malloc(slot * static_cast<size_t>(m_lCount) + align);
    if (!m_pMemory) return E_OUTOFMEMORY;
    // Align the first buffer's data; slot is a multiple of the alignment, so the rest follow.
    const uintptr_t raw = reinterpret_cast<uintptr_t>(m_pMemory) + m_lPrefix;
    const uintptr_t firstData = (raw + align - 1) / align * align;
    BYTE* data = reinterpret_cast<BYTE*>(firstData);
    for (LONG i = 0; i < m_lCount; ++i, data += slot) {
        HRESULT hr = S_OK;
        CMediaSample* sample =
            new (std::nothrow) CMediaSample(L"CMemAllocator sample", this, &hr, data, m_lSize);
        if (!sample) return E_OUTOFMEMORY;
        AddSample(sample);
    }
    return S_OK;
}

void CMemAllocator::Free() {
    DeleteAllSamples();
    std::free(m_pMemory);
    m_pMemory = nullptr;
}
