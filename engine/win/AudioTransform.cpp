// CAudioTransform: IVxPlugInProp on the parameter model and the block processor, and the
// engine's window system.
#include "engine/win/AudioTransform.h"

#include <cstring>

#include <vfwmsgs.h>

CAudioTransform::CAudioTransform(IUnknown* owner) : m_owner(owner) {
    m_params.SetEditorWindows(this);
}

CAudioTransform::~CAudioTransform() {
    m_params.SetEditorWindows(nullptr);
}

STDMETHODIMP CAudioTransform::QueryInterface(REFIID iid, void** out) {
    return m_owner->QueryInterface(iid, out);
}
STDMETHODIMP_(ULONG) CAudioTransform::AddRef() {
    return m_owner->AddRef();
}
STDMETHODIMP_(ULONG) CAudioTransform::Release() {
    return m_owner->Release();
}

STDMETHODIMP CAudioTransform::GetParams(ParamValues* values) {
    if (!values) return E_POINTER;
    *values = m_params.GetParams();
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetParams(const ParamValues* values) {
    if (!values) return E_POINTER;
    m_params.SetParams(*values);
    return S_OK;
}

STDMETHODIMP CAudioTransform::GetFormat(int which, WAVEFORMATEX* format) {
    if (!format) return E_POINTER;
    const WaveFormat* source = which == 0   ? m_processor.InputFormat()
                               : which == 1 ? m_processor.OutputFormat()
                                            : nullptr;
    if (!source) return VFW_E_NOT_CONNECTED;
    static_assert(sizeof(WAVEFORMATEX) == sizeof(WaveFormat), "format layouts differ");
    std::memcpy(format, source, sizeof(WAVEFORMATEX));
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetNotifyWindow(HWND window, int id) {
    return m_params.SetNotifyWindow(window, id);
}

HRESULT CAudioTransform::GetParamSlot(int index, int* value) {
    if (!value) return E_POINTER;
    *value = m_params.GetParam(index);
    return S_OK;
}

HRESULT CAudioTransform::SetParamSlot(int index, int value, int notify) {
    m_params.SetParam(index, value, notify != 0);
    return S_OK;
}

HRESULT CAudioTransform::SetClipSlot(Channel channel, int which, int value) {
    m_processor.SetClip(channel, CounterOf(which), value);
    return S_OK;
}

STDMETHODIMP CAudioTransform::EndCapture() {
    m_params.EndCapture();
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetCaptureHold(int hold) {
    m_params.SetCaptureHold(hold);
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetPhaseMeter(float value) {
    m_processor.SetPhaseMeter(value);
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetPresetId(int id) {
    m_params.SetPresetId(id);
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetBypass(int bypass) {
    m_processor.SetBypass(bypass);
    return S_OK;
}

STDMETHODIMP CAudioTransform::SelectSetup(int index) {
    m_params.SelectSetup(index);
    return S_OK;
}
STDMETHODIMP CAudioTransform::CopySetup(int from, int to) {
    m_params.CopySetup(from, to);
    return S_OK;
}
STDMETHODIMP CAudioTransform::MarkUndo(int controlId) {
    m_params.MarkUndo(controlId);
    return S_OK;
}
STDMETHODIMP CAudioTransform::Undo() {
    m_params.Undo();
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetEditorRefresh(int value) {
    m_params.SetEditorRefresh(value);
    return S_OK;
}

bool CAudioTransform::WindowExists(void* window) {
    return IsWindow(static_cast<HWND>(window)) != FALSE;
}

// Posted, never sent: the streaming and host threads must not wait for the editor's thread.
void CAudioTransform::PostCommand(void* window, int id, int code) {
    PostMessageW(static_cast<HWND>(window), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(code)), 0);
}
