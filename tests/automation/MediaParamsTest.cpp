// CMediaParams under Wine: the COM identity and counts, the host-facing argument checks, the
// parameter info, time formats, and capture reports reaching the host's callback.
#include "automation/win/MediaParams.h"
#include "base/win/ComPtr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

namespace {

// Stands in for the filter: it answers the four media-parameter interfaces with the object's
// own pointers, as the filter's interface map does.
class FakeOwner : public IUnknown {
public:
    CMediaParams* target = nullptr;
    LONG refs = 1;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IMediaParams))
            *ppv = static_cast<IMediaParamsSdk*>(target);
        else if (IsEqualIID(riid, IID_IMediaParamInfo))
            *ppv = static_cast<IMediaParamInfo*>(target);
        else if (IsEqualIID(riid, IID_IMediaParamsSetUICallback))
            *ppv = static_cast<IMediaParamsSetUICallback*>(target);
        else if (IsEqualIID(riid, IID_IMediaParamsUICallback))
            *ppv = static_cast<IMediaParamsUICallback*>(target);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        target->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

// The host's receiver of capture reports.
class FakeHostCallback : public IMediaParamsUICallback {
public:
    LONG refs = 1;
    int begins = 0, ends = 0;
    std::vector<DWORD> indices;
    std::vector<float> values;
    HRESULT result = S_OK;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMediaParamsUICallback)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP CaptureBegin(DWORD* idx, DWORD count) override {
        ++begins;
        indices.assign(idx, idx + count);
        return result;
    }
    STDMETHODIMP CaptureValues(DWORD* idx, DWORD count, MP_DATA* v) override {
        indices.assign(idx, idx + count);
        values.assign(v, v + count);
        return result;
    }
    STDMETHODIMP CaptureEnd(DWORD* idx, DWORD count) override {
        ++ends;
        indices.assign(idx, idx + count);
        return result;
    }
};

const GUID kOtherFormat = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};

class MediaParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CreateMediaParams(&object, &owner));
        owner.target = object;
        params = object;
        info = object;
    }
    void TearDown() override {
        EXPECT_EQ(0u, object->Release()) << "references left on the object";
        EXPECT_EQ(1, owner.refs) << "the owner is never counted";
    }
    ULONG Count() {
        object->AddRef();
        return object->Release();
    }

    FakeOwner owner;
    CMediaParams* object = nullptr;
    IMediaParamsSdk* params = nullptr;
    IMediaParamInfo* info = nullptr;
};

}  // namespace

TEST(MediaParamsCreate, RejectsNullPointers) {
    FakeOwner owner;
    CMediaParams* object = reinterpret_cast<CMediaParams*>(1);
    EXPECT_EQ(E_POINTER, CreateMediaParams(nullptr, &owner));
    EXPECT_EQ(E_POINTER, CreateMediaParams(&object, nullptr));
    EXPECT_EQ(nullptr, object);
}

// Once its owner has detached, the object answers for itself (with an owner, its requests are
// the owner's; the plug-in's COM tests check that against the real filter).
TEST_F(MediaParamsTest, FourInterfacesReachOneObjectAndCountsReturn) {
    object->DetachOwner();
    EXPECT_EQ(1u, Count());
    ComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, params->QueryInterface(IID_IUnknown, identity.PutVoid()));
    EXPECT_EQ(2u, Count());

    const IID* iids[] = {&IID_IMediaParams, &IID_IMediaParamInfo, &IID_IMediaParamsSetUICallback,
                         &IID_IMediaParamsUICallback};
    std::vector<ComPtr<IUnknown>> held(std::size(iids));
    for (size_t i = 0; i < held.size(); ++i) {
        ASSERT_EQ(S_OK, identity.As(*iids[i], &held[i]));
        // Every interface leads back to the same IUnknown.
        ComPtr<IUnknown> back;
        ASSERT_EQ(S_OK, held[i].As(IID_IUnknown, &back));
        EXPECT_EQ(identity.Get(), back.Get());
    }
    EXPECT_EQ(6u, Count());

    void* none = &none;
    EXPECT_EQ(E_NOINTERFACE, params->QueryInterface(IID_IPersist, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, params->QueryInterface(IID_IUnknown, nullptr));

    held.clear();
    identity.Reset();
    EXPECT_EQ(1u, Count());
}

// Hosts call by slot; medparam.h from mingw-w64 orders IMediaParams differently.
TEST_F(MediaParamsTest, HostSlotOrder) {
    using SetParamSlot = HRESULT(STDMETHODCALLTYPE*)(void*, DWORD, MP_DATA);
    using GetParamSlot = HRESULT(STDMETHODCALLTYPE*)(void*, DWORD, MP_DATA*);
    using SetTimeFormatSlot = HRESULT(STDMETHODCALLTYPE*)(void*, GUID, MP_TIMEDATA);
    void** table = *reinterpret_cast<void***>(params);
    EXPECT_EQ(S_OK, reinterpret_cast<SetParamSlot>(table[4])(params, 1, 0.125f));
    MP_DATA v = 0;
    EXPECT_EQ(S_OK, reinterpret_cast<GetParamSlot>(table[3])(params, 1, &v));
    EXPECT_EQ(0.125f, v);
    EXPECT_EQ(E_INVALIDARG, reinterpret_cast<SetTimeFormatSlot>(table[7])(params, kOtherFormat, 0));
}

TEST_F(MediaParamsTest, ParamInfoAndText) {
    DWORD count = 0;
    EXPECT_EQ(S_OK, info->GetParamCount(&count));
    EXPECT_EQ(6u, count);
    EXPECT_EQ(E_POINTER, info->GetParamCount(nullptr));

    const wchar_t* labels[] = {L"Phase", L"Width",          L"Output",
                               L"Mode",  L"Meter Pre/Post", L"Filter"};
    const float neutral[] = {0.5f, 0.5f, 0.8574821949005127f, 0.0f, 1.0f, 0.0f};
    for (DWORD i = 0; i < 6; ++i) {
        MP_PARAMINFO p;
        std::memset(&p, 0xCC, sizeof(p));
        ASSERT_EQ(S_OK, info->GetParamInfo(i, &p));
        // Filter is an enumeration automated by its choice numbers, 0 to 2.
        EXPECT_EQ(i < 4 ? MPT_FLOAT : (i == 4 ? MPT_BOOL : MPT_ENUM), p.mpType);
        EXPECT_EQ(DWORD(MP_CAPS_CURVE_JUMP), p.mopCaps);
        EXPECT_EQ(0.0f, p.mpdMinValue);
        EXPECT_EQ(i == 5 ? 2.0f : 1.0f, p.mpdMaxValue);
        EXPECT_EQ(neutral[i], p.mpdNeutralValue);
        EXPECT_STREQ(labels[i], p.szLabel);
        EXPECT_STREQ(L"", p.szUnitText);
    }
    MP_PARAMINFO p;
    EXPECT_EQ(E_INVALIDARG, info->GetParamInfo(6, &p));
    EXPECT_EQ(E_INVALIDARG, info->GetParamInfo(6, nullptr));
    EXPECT_EQ(E_POINTER, info->GetParamInfo(0, nullptr));

    WCHAR* text = nullptr;
    ASSERT_EQ(S_OK, info->GetParamText(4, &text));
    EXPECT_EQ(0, std::memcmp(L"Meter Pre/Post\0\0\0", text, 17 * sizeof(WCHAR)));
    CoTaskMemFree(text);
    EXPECT_EQ(E_INVALIDARG, info->GetParamText(6, &text));
    EXPECT_EQ(E_POINTER, info->GetParamText(0, nullptr));
}

TEST_F(MediaParamsTest, OnlyReferenceTimeIsSupported) {
    DWORD formats = 0;
    EXPECT_EQ(S_OK, info->GetNumTimeFormats(&formats));
    EXPECT_EQ(1u, formats);
    EXPECT_EQ(E_POINTER, info->GetNumTimeFormats(nullptr));

    GUID format = kOtherFormat;
    EXPECT_EQ(S_OK, info->GetSupportedTimeFormat(0, &format));
    EXPECT_TRUE(IsEqualGUID(GUID_TIME_REFERENCE, format));
    EXPECT_EQ(E_INVALIDARG, info->GetSupportedTimeFormat(1, &format));
    EXPECT_EQ(E_POINTER, info->GetSupportedTimeFormat(0, nullptr));

    format = kOtherFormat;
    MP_TIMEDATA data = 1234;
    EXPECT_EQ(S_OK, info->GetCurrentTimeFormat(&format, &data));
    EXPECT_TRUE(IsEqualGUID(GUID_TIME_REFERENCE, format));
    EXPECT_EQ(1234u, data);
    EXPECT_EQ(E_POINTER, info->GetCurrentTimeFormat(nullptr, &data));

    EXPECT_EQ(S_OK, params->SetTimeFormat(GUID_TIME_REFERENCE, 0));
    EXPECT_EQ(E_INVALIDARG, params->SetTimeFormat(kOtherFormat, 0));
}

TEST_F(MediaParamsTest, ParamValuesAndEnvelopes) {
    MP_DATA v = 0;
    EXPECT_EQ(E_INVALIDARG, params->GetParam(6, &v));
    EXPECT_EQ(E_POINTER, params->GetParam(0, nullptr));
    EXPECT_EQ(E_INVALIDARG, params->SetParam(6, 0.5f));
    EXPECT_EQ(S_FALSE, object->TestAndClearChanged());
    EXPECT_EQ(S_OK, params->SetParam(2, 0.25f));
    EXPECT_EQ(S_OK, params->GetParam(2, &v));
    EXPECT_EQ(0.25f, v);
    EXPECT_EQ(S_OK, object->TestAndClearChanged());
    EXPECT_EQ(S_FALSE, object->TestAndClearChanged());

    MP_ENVELOPE_SEGMENT segment = {1000005, 2000000, 0.9f, 0.9f, MP_CURVE_JUMP, 0};
    EXPECT_EQ(E_INVALIDARG, params->AddEnvelope(6, 1, &segment));
    EXPECT_EQ(S_OK, params->AddEnvelope(0, 0, nullptr));
    EXPECT_EQ(E_POINTER, params->AddEnvelope(0, 1, nullptr));
    EXPECT_EQ(S_OK, params->AddEnvelope(0xFFFFFFFF, 1, &segment));
    for (DWORD i = 0; i < 6; ++i) {
        const auto stored = object->Envelope(i).Segments();
        ASSERT_EQ(1u, stored.size()) << "parameter " << i;
        EXPECT_EQ(1000000, stored[0].rtStart);
    }

    EXPECT_EQ(E_INVALIDARG, params->FlushEnvelope(0, 200, 100));
    EXPECT_EQ(E_INVALIDARG, params->FlushEnvelope(6, 0, 100));
    EXPECT_EQ(S_OK, params->FlushEnvelope(3, 0, 3000000));
    EXPECT_TRUE(object->Envelope(3).Segments().empty());
    EXPECT_EQ(S_OK, params->FlushEnvelope(0xFFFFFFFF, std::numeric_limits<LONGLONG>::min(),
                                          std::numeric_limits<LONGLONG>::max()));
    for (DWORD i = 0; i < 6; ++i) EXPECT_TRUE(object->Envelope(i).Segments().empty());
}

TEST_F(MediaParamsTest, UpdateToPositionMarksChangeOnlyForLastParameter) {
    IEngineAutomation* engine = object->Engine();
    MP_ENVELOPE_SEGMENT segment = {0, 10000000, 1.0f, 1.0f, MP_CURVE_JUMP, 0};
    params->AddEnvelope(0, 1, &segment);
    EXPECT_EQ(S_FALSE, engine->UpdateToPosition(441));
    EXPECT_EQ(S_FALSE, engine->TestAndClearChanged());
    EXPECT_EQ(1.0f, engine->EffectiveValue(0));

    params->AddEnvelope(5, 1, &segment);
    EXPECT_EQ(S_OK, engine->UpdateToPosition(441));
    EXPECT_EQ(S_OK, engine->TestAndClearChanged());
}

TEST_F(MediaParamsTest, EngineCapturesReachHostCallback) {
    IEngineAutomation* engine = object->Engine();
    FakeHostCallback host;
    IMediaParamsSetUICallback* setter = object;
    EXPECT_EQ(S_OK, setter->SetCallback(&host));
    EXPECT_EQ(2, host.refs);

    const uint32_t index = 1;
    const float value = 0.7f;
    EXPECT_EQ(S_OK, engine->CaptureBegin(&index, 1));
    EXPECT_EQ(1, host.begins);
    EXPECT_EQ(S_OK, engine->CaptureValues(&index, 1, &value));
    EXPECT_EQ(std::vector<DWORD>{1}, host.indices);
    EXPECT_EQ(std::vector<float>{0.7f}, host.values);
    MP_DATA v = 0;
    params->GetParam(1, &v);
    EXPECT_EQ(0.7f, v);

    // Unknown indices reach the host untouched; the host's answer is the result.
    const uint32_t unknown = 42;
    host.result = E_FAIL;
    EXPECT_EQ(E_FAIL, engine->CaptureEnd(&unknown, 1));
    EXPECT_EQ(std::vector<DWORD>{42}, host.indices);

    EXPECT_EQ(2, host.refs) << "forwarding leaves no reference behind";
    EXPECT_EQ(S_OK, setter->SetCallback(nullptr));
    EXPECT_EQ(1, host.refs);
    EXPECT_EQ(S_OK, engine->CaptureEnd(&index, 1));  // no callback: nothing to forward
}

TEST(MediaParamsLifetime, DestructionReleasesHostCallback) {
    FakeOwner owner;
    FakeHostCallback host;
    CMediaParams* object = nullptr;
    ASSERT_EQ(S_OK, CreateMediaParams(&object, &owner));
    object->SetCallback(&host);
    EXPECT_EQ(2, host.refs);
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(1, host.refs);
}
