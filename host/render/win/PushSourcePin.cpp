// CPushSourcePin: one media type on offer, buffers of one block.
#include "host/render/win/PushSourcePin.h"

#include <algorithm>

#include <vfwmsgs.h>

#include "framework/MediaType.h"

namespace {

// Enough to keep the plug-in busy while the source reads the next block from the file.
constexpr LONG kSourceBuffers = 4;

}  // namespace

CPushSourcePin::CPushSourcePin(CBaseFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin(L"Push source pin", filter, lock, phr, L"Output"),
      m_offer(),
      m_bufferBytes(0) {}

CPushSourcePin::~CPushSourcePin() {
    FreeMediaType(m_offer);
}

HRESULT CPushSourcePin::SetOffer(const AM_MEDIA_TYPE* type, LONG bufferBytes) {
    if (!type) return E_POINTER;
    if (bufferBytes <= 0) return E_INVALIDARG;
    CAutoLock lock(m_pLock);
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    FreeMediaType(m_offer);
    const HRESULT hr = CopyMediaType(&m_offer, type);
    if (FAILED(hr)) return hr;
    m_bufferBytes = bufferBytes;
    return S_OK;
}

HRESULT CPushSourcePin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (m_offer.majortype == GUID_NULL) return VFW_E_NO_TYPES;
    return MediaTypesEqual(*pmt, m_offer) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPushSourcePin::GetMediaType(int iPosition, AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0 || m_offer.majortype == GUID_NULL) return VFW_S_NO_MORE_ITEMS;
    return CopyMediaType(pmt, &m_offer);
}

HRESULT CPushSourcePin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    if (!pAlloc || !pProp) return E_POINTER;
    ALLOCATOR_PROPERTIES request = *pProp;
    request.cBuffers = std::max(request.cBuffers, kSourceBuffers);
    request.cbBuffer = std::max(request.cbBuffer, m_bufferBytes);
    request.cbAlign = std::max<LONG>(request.cbAlign, 1);
    ALLOCATOR_PROPERTIES granted = {};
    const HRESULT hr = pAlloc->SetProperties(&request, &granted);
    if (FAILED(hr)) return hr;
    *pProp = granted;
    return granted.cbBuffer < m_bufferBytes || granted.cBuffers < 1 ? E_FAIL : S_OK;
}
