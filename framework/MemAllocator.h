// CMemAllocator: an allocator whose buffers live in one block of process memory, each
// buffer's data aligned as requested and preceded by the requested prefix.
#pragma once

#include "framework/BaseAllocator.h"

class CMemAllocator : public CBaseAllocator {
public:
    CMemAllocator(LPCTSTR name, LPUNKNOWN outer, HRESULT* phr);
    ~CMemAllocator() override;

    // Creation function for a class table, or for a filter that wants an allocator of its own.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* phr);

    // Rounds each buffer up so that prefix plus data fill whole alignment units; the extra
    // bytes are granted as usable size. VFW_E_BADALIGN unless the alignment is a power of two
    // (0 is taken as 1).
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                               ALLOCATOR_PROPERTIES* pActual) override;

protected:
    HRESULT Alloc() override;
    void Free() override;

private:
    void* m_pMemory;  // the block all buffers are carved from
};
