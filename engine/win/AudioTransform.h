// CAudioTransform: the engine as a COM citizen. It answers IVxPlugInProp on behalf of the
// object that owns it (the filter), is the engine's window system (editor notifications go out
// as window messages), owns the automation object and runs the receive operation that turns one
// input media sample into processed output samples. The interface's plain ints become the
// engine's named values here.
#pragma once
#include <windows.h>
#include <strmif.h>

#include "engine/AudioEngine.h"
#include "engine/win/OutputDelivery.h"
#include "engine/win/VxPlugInProp.h"

class CMediaParams;

class CAudioTransform : public IVxPlugInProp, public CAudioEngine, private IEditorWindows {
public:
    // owner: the unknown that every IUnknown call of this interface goes to. A failure to
    // create the automation object is written to *hr.
    CAudioTransform(IUnknown* owner, HRESULT* hr);
    ~CAudioTransform() override;

    // IUnknown: delegated to the owner.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IVxPlugInProp (editor, presets, persistence and host threads).
    STDMETHODIMP GetParams(ParamValues* values) override;
    STDMETHODIMP SetParams(const ParamValues* values) override;
    STDMETHODIMP GetFormat(int which, WAVEFORMATEX* format) override;
    STDMETHODIMP SetNotifyWindow(HWND window, int id) override;
    int STDMETHODCALLTYPE GetPhaseMeter() override;
    // One slot pair per parameter; they differ only in the index.
    STDMETHODIMP GetPhase(int* value) override { return GetParamSlot(kParamPhase, value); }
    STDMETHODIMP SetPhase(int value, int notify) override {
        return SetParamSlot(kParamPhase, value, notify);
    }
    STDMETHODIMP GetWidth(int* value) override { return GetParamSlot(kParamWidth, value); }
    STDMETHODIMP SetWidth(int value, int notify) override {
        return SetParamSlot(kParamWidth, value, notify);
    }
    STDMETHODIMP GetOutput(int* value) override { return GetParamSlot(kParamOutput, value); }
    STDMETHODIMP SetOutput(int value, int notify) override {
        return SetParamSlot(kParamOutput, value, notify);
    }
    STDMETHODIMP GetMode(int* value) override { return GetParamSlot(kParamMode, value); }
    STDMETHODIMP SetMode(int value, int notify) override {
        return SetParamSlot(kParamMode, value, notify);
    }
    STDMETHODIMP GetMeterPost(int* value) override { return GetParamSlot(kParamMeterPost, value); }
    STDMETHODIMP SetMeterPost(int value, int notify) override {
        return SetParamSlot(kParamMeterPost, value, notify);
    }
    STDMETHODIMP GetFilter(int* value) override { return GetParamSlot(kParamFilter, value); }
    STDMETHODIMP SetFilter(int value, int notify) override {
        return SetParamSlot(kParamFilter, value, notify);
    }
    // One slot set per channel.
    int STDMETHODCALLTYPE GetClipLeft(int which) override {
        return GetClip(Channel::kLeft, CounterOf(which));
    }
    STDMETHODIMP SetClipLeft(int which, int value) override {
        return SetClipSlot(Channel::kLeft, which, value);
    }
    int STDMETHODCALLTYPE GetClipRight(int which) override {
        return GetClip(Channel::kRight, CounterOf(which));
    }
    STDMETHODIMP SetClipRight(int which, int value) override {
        return SetClipSlot(Channel::kRight, which, value);
    }
    float STDMETHODCALLTYPE GetPeakLeft() override { return GetPeak(Channel::kLeft); }
    float STDMETHODCALLTYPE GetPeakRight() override { return GetPeak(Channel::kRight); }
    STDMETHODIMP UpdateCoefficients() override;
    STDMETHODIMP EndCapture() override;
    STDMETHODIMP SetCaptureHold(int hold) override;
    STDMETHODIMP SetPhaseMeter(float value) override;
    int STDMETHODCALLTYPE GetPresetId() override;
    STDMETHODIMP SetPresetId(int id) override;
    int STDMETHODCALLTYPE GetBypass() override;
    STDMETHODIMP SetBypass(int bypass) override;
    int STDMETHODCALLTYPE GetSetup() override;
    STDMETHODIMP SelectSetup(int index) override;
    STDMETHODIMP CopySetup(int from, int to) override;
    STDMETHODIMP MarkUndo(int controlId) override;
    STDMETHODIMP Undo() override;
    int STDMETHODCALLTYPE ParamsChangedForEditor() override;
    STDMETHODIMP SetEditorRefresh(int value) override;

    // The receive operation (streaming thread, under the filter's receive lock): processes
    // one input sample into as many output samples as the granted buffers need.
    HRESULT ReceiveSample(IMediaSample* input, IOutputDelivery* output);

    // The running stream position in frames at the input rate.
    LONGLONG SamplePosition() const { return m_samplePosition; }

    // The automation object, or null when none could be created.
    CMediaParams* MediaParams() const { return m_mediaParams; }

    // Called first thing by the owner's destructor: the automation object, which a host may
    // still hold, stops passing requests to the owner.
    void DetachAutomation();

private:
    // IEditorWindows through the window manager.
    bool WindowExists(void* window) override;
    void PostCommand(void* window, int id, int code) override;

    // The interface's "which" of a clip counter: 0 the live counter, anything else the shown.
    static ClipCounter CounterOf(int which) {
        return which != 0 ? ClipCounter::kShown : ClipCounter::kLive;
    }
    HRESULT GetParamSlot(int index, int* value);
    HRESULT SetParamSlot(int index, int value, int notify);
    HRESULT SetClipSlot(Channel channel, int which, int value);
    HRESULT ProcessChunk(const BYTE* in, int frames, BYTE* out);

    IUnknown* m_owner;
    CMediaParams* m_mediaParams = nullptr;
    LONGLONG m_samplePosition = 0;
    DWORD m_positionRate = 0;  // the input rate the position was last counted in
};
