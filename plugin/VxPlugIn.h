// CVxPlugIn: the plug-in object. One COM identity that is at once a DirectShow audio
// transform filter (one input, one stereo output) and the engine, with property pages,
// state persistence and built-in presets. It creates the automation object and hands it to
// the engine.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include "automation/win/MediaParams.h"
#include "base/win/ComPtr.h"
#include "engine/win/AnalysisTapPort.h"
#include "engine/win/AudioTransform.h"
#include "framework/TransformFilter.h"
#include "plugin/StaticFilterPreset.h"

class CVxPlugIn : public CTransformFilter,
                  public CAudioTransform,
                  public ISpecifyPropertyPages,
                  public IPersistStream,
                  public IStaticFilterPreset,
                  private IOutputDelivery {
public:
    // The class-table creation function: E_OUTOFMEMORY in *hr when allocation fails.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* hr);

    DECLARE_IUNKNOWN
    // The interface map: the engine's interface, the analysis tap's, property pages,
    // persistence, presets, the automation object's four interfaces (with its own count), then
    // the filter's.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID iid, void** out) override;

    // IPersist (through IBaseFilter and IPersistStream).
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // ISpecifyPropertyPages: the editor page; the array belongs to the caller.
    STDMETHODIMP GetPages(CAUUID* pages) override;
    // IPersistStream: the 44-byte state record (host thread).
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    // IStaticFilterPreset (host thread).
    STDMETHODIMP GetPresetCount(INT32* count) override;
    STDMETHODIMP GetPresetName(INT32 index, WCHAR* name, INT32 length) override;
    STDMETHODIMP ApplyPreset(INT32 index) override;
    // IVxPlugInProp: the filter owns the engine.
    int STDMETHODCALLTYPE OwnerQuery() override { return 1; }

    // The filter's side of the transform framework (filter lock unless noted).
    CBasePin* GetPin(int n) override;
    const AMOVIESETUP_FILTER* GetSetupData() override;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
    HRESULT CheckInputType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type) override;
    HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin) override;
    // Streaming thread, under the receive lock: the engine's receive operation.
    HRESULT Receive(IMediaSample* sample) override;

    // The stereo version of a media type: what the output proposes for an input type.
    static HRESULT MakeStereoVariant(const AM_MEDIA_TYPE* source, AM_MEDIA_TYPE* stereo);

    // The automation object, or null when none could be created.
    CMediaParams* MediaParams() const { return m_mediaParams.Get(); }

private:
    CVxPlugIn(LPUNKNOWN outer, HRESULT* hr);
    ~CVxPlugIn() override;

    // IOutputDelivery through the output pin.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                              REFERENCE_TIME* stop, DWORD flags) override;
    HRESULT Deliver(IMediaSample* sample) override;

    // A type carried on an input sample while streaming (the input pin has checked it): when
    // the output connection cannot carry it, the output takes its stereo version, which the
    // next delivered sample carries downstream.
    HRESULT FollowInputType(const AM_MEDIA_TYPE* type);
    void DropTypeToDeliver();

    // Counted; a host may hold it after the filter is gone, so the filter detaches it first.
    ComPtr<CMediaParams> m_mediaParams;
    // IPhaseAnalysisTap; gone before the engine it feeds from.
    CAnalysisTapPort m_analysisTap{GetOwner(), Processor()};
    WaveFormat m_inputFormat = {};
    WaveFormat m_outputFormat = {};
    AM_MEDIA_TYPE m_typeToDeliver = {};  // streaming thread; valid while m_deliverType
    bool m_deliverType = false;
};
