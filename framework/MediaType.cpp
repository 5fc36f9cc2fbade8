// AM_MEDIA_TYPE helpers.
#include "framework/MediaType.h"

#include <cstring>

void FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
    if (mt.pUnk) mt.pUnk->Release();
    mt.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return;
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (!target || !source) return E_POINTER;
    if (target == source) return S_OK;
    *target = *source;
    if (source->cbFormat && source->pbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (!target->pbFormat) {
            target->cbFormat = 0;
            target->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->pbFormat = nullptr;
        target->cbFormat = 0;
    }
    if (target->pUnk) target->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    if (!source) return nullptr;
    auto* pmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!pmt) return nullptr;
    if (FAILED(CopyMediaType(pmt, source))) {
        CoTaskMemFree(pmt);
        return nullptr;
    }
    return pmt;
}

bool IsPartialMediaType(const AM_MEDIA_TYPE& mt) {
    return mt.majortype == GUID_NULL || mt.subtype == GUID_NULL || mt.formattype == GUID_NULL;
}

bool MatchesPartialMediaType(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial) {
    if (partial.majortype != GUID_NULL && partial.majortype != candidate.majortype) return false;
    if (partial.subtype != GUID_NULL && partial.subtype != candidate.subtype) return false;
    if (partial.formattype != GUID_NULL) {
        if (partial.formattype != candidate.formattype) return false;
        // A partial type that names a format type and carries a format block asks for that block.
        if (partial.cbFormat &&
            (partial.cbFormat != candidate.cbFormat || !partial.pbFormat || !candidate.pbFormat ||
             std::memcmp(partial.pbFormat, candidate.pbFormat, partial.cbFormat) != 0)) {
            return false;
        }
    }
    return true;
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype)
        return false;
    if (a.bFixedSizeSamples != b.bFixedSizeSamples ||
        a.bTemporalCompression != b.bTemporalCompression || a.lSampleSize != b.lSampleSize)
        return false;
    if (a.cbFormat != b.cbFormat) return false;
    if (a.cbFormat == 0) return true;
    if (!a.pbFormat || !b.pbFormat) return a.pbFormat == b.pbFormat;
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}
