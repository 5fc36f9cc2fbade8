// Filters built on the framework for the tests: a pass-through PCM transform that counts its
// streaming calls, a source whose output pin the test drives by hand, and a sink that
// records what reaches its input pin.
#pragma once

#include <atomic>
#include <vector>

#include <dshow.h>

#include "framework/BaseFilter.h"
#include "framework/BaseInputPin.h"
#include "framework/BaseOutputPin.h"
#include "framework/TransformFilter.h"

extern const CLSID CLSID_TestPassThrough;
extern const CLSID CLSID_TestSource;
extern const CLSID CLSID_TestSink;

// A 16-bit PCM media type whose format block the record owns (freed with FreeMediaType).
AM_MEDIA_TYPE MakePcmType(WORD channels, DWORD rate);

// Copies PCM input to output unchanged.
class CPassThrough : public CTransformFilter {
public:
    explicit CPassThrough(LPUNKNOWN outer = nullptr);
    static CUnknown* WINAPI Create(LPUNKNOWN outer, HRESULT* phr);

    HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
    HRESULT CheckInputType(const AM_MEDIA_TYPE* mtIn) override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE* mtIn, const AM_MEDIA_TYPE* mtOut) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
    HRESULT GetMediaType(int iPosition, AM_MEDIA_TYPE* pMediaType) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* pmt) override;

    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
    std::atomic<int> inputTypesSet{0};
    std::atomic<int> outputTypesSet{0};
    std::atomic<long long> bytes{0};
    HRESULT startResult = S_OK;  // what StartStreaming reports
};

// A one-pin source; the test pushes samples through Pin().
class CTestSource : public CBaseFilter {
public:
    CTestSource();
    ~CTestSource() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    CBaseOutputPin* Pin();

private:
    CCritSec m_lock;
    CBaseOutputPin* m_pPin;
};

// One sample as the sink saw it.
struct ReceivedSample {
    std::vector<BYTE> data;
    HRESULT timeResult;
    REFERENCE_TIME start;
    REFERENCE_TIME stop;
    bool syncPoint;
    bool discontinuity;
};

// A one-pin sink that records samples and notifications.
class CTestSink : public CBaseFilter {
public:
    CTestSink();
    ~CTestSink() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    CBaseInputPin* Pin();

    std::vector<ReceivedSample> samples;
    int endOfStreams = 0;
    int beginFlushes = 0;
    int endFlushes = 0;
    REFERENCE_TIME segmentStart = -1;
    bool acceptStereoOnly = false;  // refuse anything but two channels

private:
    friend class CTestSinkPin;
    CCritSec m_lock;
    CBaseInputPin* m_pPin;
};
