// CAudioTransform: the engine as a COM citizen. It answers IVxPlugInProp on behalf of the
// object that owns it (the filter), posts editor notifications as window messages, owns the
// automation object and runs the receive operation that turns one input media sample into
// processed output samples.
#pragma once
#include <windows.h>
#include <strmif.h>

#include "engine/AudioEngine.h"
#include "engine/win/OutputDelivery.h"
#include "engine/win/VxPlugInProp.h"

class CMediaParams;

class CAudioTransform : public IVxPlugInProp, public CAudioEngine {
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
    STDMETHODIMP GetPhase(int* value) override;
    STDMETHODIMP SetPhase(int value, int notify) override;
    STDMETHODIMP GetWidth(int* value) override;
    STDMETHODIMP SetWidth(int value, int notify) override;
    STDMETHODIMP GetOutput(int* value) override;
    STDMETHODIMP SetOutput(int value, int notify) override;
    STDMETHODIMP GetMode(int* value) override;
    STDMETHODIMP SetMode(int value, int notify) override;
    STDMETHODIMP GetMeterPost(int* value) override;
    STDMETHODIMP SetMeterPost(int value, int notify) override;
    STDMETHODIMP GetFilter(int* value) override;
    STDMETHODIMP SetFilter(int value, int notify) override;
    int STDMETHODCALLTYPE GetClipLeft(int which) override;
    STDMETHODIMP SetClipLeft(int which, int value) override;
    int STDMETHODCALLTYPE GetClipRight(int which) override;
    STDMETHODIMP SetClipRight(int which, int value) override;
    float STDMETHODCALLTYPE GetPeakLeft() override;
    float STDMETHODCALLTYPE GetPeakRight() override;
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

protected:
    bool WindowExists(void* window) override;
    void PostCommand(void* window, int id, int code) override;

private:
    HRESULT GetParamOut(int index, int* value);
    HRESULT ProcessChunk(const BYTE* in, int frames, BYTE* out);

    IUnknown* m_owner;
    CMediaParams* m_mediaParams = nullptr;
    LONGLONG m_samplePosition = 0;
};
