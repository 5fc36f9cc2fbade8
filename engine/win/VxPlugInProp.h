// IVxPlugInProp: the plug-in's private interface, through which the editor, the presets,
// persistence and the filter read and write the engine. Callers use its slots in this order.
#pragma once
#include <windows.h>
#include <mmreg.h>

#include "engine/ParamValues.h"

// {3BFC40C3-90BB-41BA-8C42-93F78D403142}; also the tag of the persisted state record.
extern "C" const IID IID_IVxPlugInProp;

struct IVxPlugInProp : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParams(ParamValues* values) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParams(const ParamValues* values) = 0;
    // which: 0 input, 1 output; VFW_E_NOT_CONNECTED before that pin has a media type.
    virtual HRESULT STDMETHODCALLTYPE GetFormat(int which, WAVEFORMATEX* format) = 0;
    // Adds the window with the id, or removes it when the id is 0.
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindow(HWND window, int id) = 0;
    virtual int STDMETHODCALLTYPE GetPhaseMeter() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPhase(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPhase(int value, int notify) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWidth(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWidth(int value, int notify) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOutput(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOutput(int value, int notify) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMode(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMode(int value, int notify) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMeterPost(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMeterPost(int value, int notify) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFilter(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFilter(int value, int notify) = 0;
    // which: 0 the live counter, 1 the editor's shown copy.
    virtual int STDMETHODCALLTYPE GetClipLeft(int which) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipLeft(int which, int value) = 0;
    virtual int STDMETHODCALLTYPE GetClipRight(int which) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClipRight(int which, int value) = 0;
    // The held peak of an output channel; reading marks it read.
    virtual float STDMETHODCALLTYPE GetPeakLeft() = 0;
    virtual float STDMETHODCALLTYPE GetPeakRight() = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateCoefficients() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndCapture() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCaptureHold(int hold) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPhaseMeter(float value) = 0;
    virtual int STDMETHODCALLTYPE GetPresetId() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPresetId(int id) = 0;
    virtual int STDMETHODCALLTYPE GetBypass() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBypass(int bypass) = 0;
    virtual int STDMETHODCALLTYPE GetSetup() = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectSetup(int index) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopySetup(int from, int to) = 0;
    virtual HRESULT STDMETHODCALLTYPE MarkUndo(int controlId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Undo() = 0;
    virtual int STDMETHODCALLTYPE OwnerQuery() = 0;
    // 0 when parameters changed since the editor last refreshed, 1 otherwise.
    virtual int STDMETHODCALLTYPE ParamsChangedForEditor() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEditorRefresh(int value) = 0;
};
