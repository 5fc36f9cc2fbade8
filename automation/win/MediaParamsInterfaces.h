// The media-parameter interfaces as hosts call them. mingw-w64's medparam.h supplies the MP_*
// types and IMediaParamInfo, but lists IMediaParams' methods alphabetically (AddEnvelope
// first) where the platform SDK, and so every host, has GetParam first; the host-SDK capture
// interfaces and GUID_TIME_REFERENCE are missing altogether. They are declared here.
#pragma once
#include <windows.h>
#include <medparam.h>

// IMediaParams ({6D6CBB61-A223-44AA-842F-A2F06750BE6E}, IID_IMediaParams from dmoguids) in
// the SDK's slot order. Use this, never medparam.h's IMediaParams, to implement or call it.
struct IMediaParamsSdk : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParam(DWORD dwParamIndex, MP_DATA* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParam(DWORD dwParamIndex, MP_DATA value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddEnvelope(DWORD dwParamIndex, DWORD cSegments,
                                                  MP_ENVELOPE_SEGMENT* pEnvelopeSegments) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart,
                                                    REFERENCE_TIME refTimeEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTimeFormat(GUID guidTimeFormat,
                                                    MP_TIMEDATA mpTimeData) = 0;
};

// The host's receiver of user-interface edits: a drag starts, values move, the drag ends.
struct IMediaParamsUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CaptureBegin(DWORD* indices, DWORD count) = 0;
    virtual HRESULT STDMETHODCALLTYPE CaptureValues(DWORD* indices, DWORD count,
                                                    MP_DATA* values) = 0;
    virtual HRESULT STDMETHODCALLTYPE CaptureEnd(DWORD* indices, DWORD count) = 0;
};

// Through this the host hands the plug-in its IMediaParamsUICallback.
struct IMediaParamsSetUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetCallback(IMediaParamsUICallback* callback) = 0;
};

extern "C" {
extern const IID IID_IMediaParamsUICallback;     // {B8E0480A-E08D-4A5D-9228-248017032368}
extern const IID IID_IMediaParamsSetUICallback;  // {F5011136-C416-48B9-8C35-E7C5F9AA6FDF}
extern const GUID GUID_TIME_REFERENCE;           // {93AD712B-DAA0-4FFE-BC81-B0CE500FCDD9}
}
