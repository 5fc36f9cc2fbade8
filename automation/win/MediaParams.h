// CMediaParams: the automation object as the host sees it, IMediaParams, IMediaParamInfo and
// the two capture interfaces around the portable CAutomationCore. The plug-in creates and
// owns it; the engine drives it through its IEngineAutomation.
#pragma once
#include "automation/AutomationCore.h"
#include "automation/win/MediaParamsInterfaces.h"
#include "base/CritSec.h"
#include "base/win/ComPtr.h"
#include "framework/BaseObject.h"

class CMediaParams : public IMediaParamsSdk,
                     public IMediaParamInfo,
                     public IMediaParamsSetUICallback,
                     public IMediaParamsUICallback,
                     public CAutomationCore,
                     public CBaseObject {  // counted as live, so the DLL stays loaded
public:
    // IUnknown, shared by the four interfaces. The object keeps its own count. While the owner
    // lives, every request goes to it, so IUnknown gives the owner's identity and the owner's
    // interface map answers (it must not ask this object back). Once the owner has detached,
    // the object answers its four interfaces and IUnknown itself and refuses the rest.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMediaParams; host threads.
    STDMETHODIMP GetParam(DWORD dwParamIndex, MP_DATA* pValue) override;
    STDMETHODIMP SetParam(DWORD dwParamIndex, MP_DATA value) override;
    STDMETHODIMP AddEnvelope(DWORD dwParamIndex, DWORD cSegments,
                             MP_ENVELOPE_SEGMENT* pEnvelopeSegments) override;
    STDMETHODIMP FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart,
                               REFERENCE_TIME refTimeEnd) override;
    STDMETHODIMP SetTimeFormat(GUID guidTimeFormat, MP_TIMEDATA mpTimeData) override;

    // IMediaParamInfo; host threads, constant data.
    STDMETHODIMP GetParamCount(DWORD* pdwParams) override;
    STDMETHODIMP GetParamInfo(DWORD dwParamIndex, MP_PARAMINFO* pInfo) override;
    STDMETHODIMP GetParamText(DWORD dwParamIndex, WCHAR** ppwchText) override;
    STDMETHODIMP GetNumTimeFormats(DWORD* pdwNumTimeFormats) override;
    STDMETHODIMP GetSupportedTimeFormat(DWORD dwFormatIndex, GUID* pguidTimeFormat) override;
    STDMETHODIMP GetCurrentTimeFormat(GUID* pguidTimeFormat, MP_TIMEDATA* pTimeData) override;

    // IMediaParamsSetUICallback; host thread. Null clears the callback.
    STDMETHODIMP SetCallback(IMediaParamsUICallback* callback) override;

    // IMediaParamsUICallback: the engine's capture reports (editor or host threads), applied
    // to the envelopes and handed on to the host's callback.
    STDMETHODIMP CaptureBegin(DWORD* indices, DWORD count) override;
    STDMETHODIMP CaptureValues(DWORD* indices, DWORD count, MP_DATA* values) override;
    STDMETHODIMP CaptureEnd(DWORD* indices, DWORD count) override;
    using CAutomationCore::CaptureBegin;
    using CAutomationCore::CaptureEnd;
    using CAutomationCore::CaptureValues;

    // The engine's view of this object; valid while the engine holds its reference.
    IEngineAutomation* Engine() { return this; }

    // The owner is going away (called from its destructor, while it is still whole): requests
    // are no longer passed to it. A host may keep these interfaces after releasing the owner.
    void DetachOwner();

private:
    friend HRESULT CreateMediaParams(CMediaParams** out, IUnknown* owner);
    explicit CMediaParams(IUnknown* owner);
    ~CMediaParams() override;

    // A counted reference to the current host callback, or null.
    ComPtr<IMediaParamsUICallback> AcquireCallback();

    tw::Result ForwardCaptureBegin(const uint32_t* indices, uint32_t count) override;
    tw::Result ForwardCaptureValues(const uint32_t* indices, uint32_t count,
                                    const float* values) override;
    tw::Result ForwardCaptureEnd(const uint32_t* indices, uint32_t count) override;

    // Answers the requests a detached object still can.
    HRESULT QueryOwnInterface(REFIID riid, void** ppv);

    IUnknown* m_owner;  // not counted; guarded by m_ownerLock, null once detached
    CCritSec m_ownerLock;
    ComPtr<IMediaParamsUICallback> m_hostCallback;  // guarded by m_callbackLock
    CCritSec m_callbackLock;
    volatile LONG m_refCount;
};

// Creates the object with one reference, which the caller owns (release it with Release()).
// E_POINTER for a null out pointer or owner, E_OUTOFMEMORY when it cannot be allocated.
HRESULT CreateMediaParams(CMediaParams** out, IUnknown* owner);
