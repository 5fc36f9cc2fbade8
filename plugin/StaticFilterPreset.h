// IStaticFilterPreset: the host interface through which a plug-in offers built-in presets.
// Hosts call by slot, so the order of the three operations is binding.
#pragma once
#include <windows.h>

// {36A22460-0CC9-11D0-8574-00A0C9053912}
extern "C" const IID IID_IStaticFilterPreset;

struct IStaticFilterPreset : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPresetCount(INT32* count) = 0;
    // Writes the name (zero-terminated) into a buffer of `length` wide characters.
    virtual HRESULT STDMETHODCALLTYPE GetPresetName(INT32 index, WCHAR* name, INT32 length) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyPreset(INT32 index) = 0;
};
