// CAudioTransform: the engine as a COM citizen. It holds the engine's two parts, the parameter
// model and the block processor that reads it, answers IVxPlugInProp on them for the object
// that owns it (the filter), is the engine's window system (editor notifications go out as
// window messages) and runs the receive operation that turns one input media sample into
// processed output samples. The interface's plain ints become the engine's named values here.
// The owner supplies the automation object through the model (Params().SetAutomation).
#pragma once
#include <windows.h>
#include <strmif.h>

#include "engine/BlockProcessor.h"
#include "engine/ParamModel.h"
#include "engine/win/OutputDelivery.h"
#include "engine/win/VxPlugInProp.h"

class CAudioTransform : public IVxPlugInProp, private IEditorWindows {
public:
    // owner: the unknown that every IUnknown call of this interface goes to.
    explicit CAudioTransform(IUnknown* owner);
    virtual ~CAudioTransform();
    CAudioTransform(const CAudioTransform&) = delete;
    CAudioTransform& operator=(const CAudioTransform&) = delete;

    // IUnknown: delegated to the owner.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IVxPlugInProp (editor, presets, persistence and host threads).
    STDMETHODIMP GetParams(ParamValues* values) override;
    STDMETHODIMP SetParams(const ParamValues* values) override;
    STDMETHODIMP GetFormat(int which, WAVEFORMATEX* format) override;
    STDMETHODIMP SetNotifyWindow(HWND window, int id) override;
    int STDMETHODCALLTYPE GetPhaseMeter() override { return m_processor.GetPhaseMeter(); }
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
        return m_processor.GetClip(Channel::kLeft, CounterOf(which));
    }
    STDMETHODIMP SetClipLeft(int which, int value) override {
        return SetClipSlot(Channel::kLeft, which, value);
    }
    int STDMETHODCALLTYPE GetClipRight(int which) override {
        return m_processor.GetClip(Channel::kRight, CounterOf(which));
    }
    STDMETHODIMP SetClipRight(int which, int value) override {
        return SetClipSlot(Channel::kRight, which, value);
    }
    float STDMETHODCALLTYPE GetPeakLeft() override { return m_processor.GetPeak(Channel::kLeft); }
    float STDMETHODCALLTYPE GetPeakRight() override { return m_processor.GetPeak(Channel::kRight); }
    STDMETHODIMP UpdateCoefficients() override { return m_processor.UpdateCoefficients(); }
    STDMETHODIMP EndCapture() override;
    STDMETHODIMP SetCaptureHold(int hold) override;
    STDMETHODIMP SetPhaseMeter(float value) override;
    int STDMETHODCALLTYPE GetPresetId() override { return m_params.GetPresetId(); }
    STDMETHODIMP SetPresetId(int id) override;
    int STDMETHODCALLTYPE GetBypass() override { return m_processor.GetBypass(); }
    STDMETHODIMP SetBypass(int bypass) override;
    int STDMETHODCALLTYPE GetSetup() override { return m_params.GetSetup(); }
    STDMETHODIMP SelectSetup(int index) override;
    STDMETHODIMP CopySetup(int from, int to) override;
    STDMETHODIMP MarkUndo(int controlId) override;
    STDMETHODIMP Undo() override;
    int STDMETHODCALLTYPE ParamsChangedForEditor() override {
        return m_params.ParamsChangedForEditor();
    }
    STDMETHODIMP SetEditorRefresh(int value) override;

    // The engine's parts, for the owner: formats, stream start and stop, persistence and the
    // automation object go to them directly.
    CParamModel& Params() { return m_params; }
    CBlockProcessor& Processor() { return m_processor; }

    // The receive operation (streaming thread, under the filter's receive lock): processes
    // one input sample into as many output samples as the granted buffers need.
    HRESULT ReceiveSample(IMediaSample* input, IOutputDelivery* output);

    // The running stream position in frames at the input rate.
    LONGLONG SamplePosition() const { return m_samplePosition; }

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
    CParamModel m_params;
    CBlockProcessor m_processor{m_params};  // declared after the model it reads
    LONGLONG m_samplePosition = 0;
    DWORD m_positionRate = 0;  // the input rate the position was last counted in
};
