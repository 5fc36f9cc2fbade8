// CAudioTransform: IVxPlugInProp over the portable engine, and the engine's window system.
#include "engine/win/AudioTransform.h"

#include <cstring>

#include <vfwmsgs.h>

#include "automation/win/MediaParams.h"

CAudioTransform::CAudioTransform(IUnknown* owner, HRESULT* hr) : m_owner(owner) {
    SetEditorWindows(this);
    // The automation object asks this interface (and so the owner) for anything but IUnknown.
    const HRESULT created = CreateMediaParams(&m_mediaParams, static_cast<IVxPlugInProp*>(this));
    if (FAILED(created)) {
        m_mediaParams = nullptr;
        if (hr) *hr = created;
        return;
    }
    SetAutomation(m_mediaParams->Engine());
}

CAudioTransform::~CAudioTransform() {
    DetachAutomation();
    SetAutomation(nullptr);
    SetEditorWindows(nullptr);
    if (m_mediaParams) m_mediaParams->Release();
}

void CAudioTransform::DetachAutomation() {
    if (m_mediaParams) m_mediaParams->DetachOwner();
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
    *values = CAudioEngine::GetParams();
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetParams(const ParamValues* values) {
    if (!values) return E_POINTER;
    CAudioEngine::SetParams(*values);
    return S_OK;
}

STDMETHODIMP CAudioTransform::GetFormat(int which, WAVEFORMATEX* format) {
    if (!format) return E_POINTER;
    const WaveFormat* source = which == 0 ? InputFormat() : which == 1 ? OutputFormat() : nullptr;
    if (!source) return VFW_E_NOT_CONNECTED;
    static_assert(sizeof(WAVEFORMATEX) == sizeof(WaveFormat), "format layouts differ");
    std::memcpy(format, source, sizeof(WAVEFORMATEX));
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetNotifyWindow(HWND window, int id) {
    return CAudioEngine::SetNotifyWindow(window, id);
}

int STDMETHODCALLTYPE CAudioTransform::GetPhaseMeter() {
    return CAudioEngine::GetPhaseMeter();
}

HRESULT CAudioTransform::GetParamSlot(int index, int* value) {
    if (!value) return E_POINTER;
    *value = GetParam(index);
    return S_OK;
}

HRESULT CAudioTransform::SetParamSlot(int index, int value, int notify) {
    SetParam(index, value, notify != 0);
    return S_OK;
}

HRESULT CAudioTransform::SetClipSlot(Channel channel, int which, int value) {
    SetClip(channel, CounterOf(which), value);
    return S_OK;
}

STDMETHODIMP CAudioTransform::UpdateCoefficients() {
    return CAudioEngine::UpdateCoefficients();
}

STDMETHODIMP CAudioTransform::EndCapture() {
    CAudioEngine::EndCapture();
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetCaptureHold(int hold) {
    CAudioEngine::SetCaptureHold(hold);
    return S_OK;
}

STDMETHODIMP CAudioTransform::SetPhaseMeter(float value) {
    CAudioEngine::SetPhaseMeter(value);
    return S_OK;
}

int STDMETHODCALLTYPE CAudioTransform::GetPresetId() {
    return CAudioEngine::GetPresetId();
}
STDMETHODIMP CAudioTransform::SetPresetId(int id) {
    CAudioEngine::SetPresetId(id);
    return S_OK;
}

int STDMETHODCALLTYPE CAudioTransform::GetBypass() {
    return CAudioEngine::GetBypass();
}
STDMETHODIMP CAudioTransform::SetBypass(int bypass) {
    CAudioEngine::SetBypass(bypass);
    return S_OK;
}

int STDMETHODCALLTYPE CAudioTransform::GetSetup() {
    return CAudioEngine::GetSetup();
}
STDMETHODIMP CAudioTransform::SelectSetup(int index) {
    CAudioEngine::SelectSetup(index);
    return S_OK;
}
STDMETHODIMP CAudioTransform::CopySetup(int from, int to) {
    CAudioEngine::CopySetup(from, to);
    return S_OK;
}
STDMETHODIMP CAudioTransform::MarkUndo(int controlId) {
    CAudioEngine::MarkUndo(controlId);
    return S_OK;
}
STDMETHODIMP CAudioTransform::Undo() {
    CAudioEngine::Undo();
    return S_OK;
}

int STDMETHODCALLTYPE CAudioTransform::ParamsChangedForEditor() {
    return CAudioEngine::ParamsChangedForEditor();
}
STDMETHODIMP CAudioTransform::SetEditorRefresh(int value) {
    CAudioEngine::SetEditorRefresh(value);
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
