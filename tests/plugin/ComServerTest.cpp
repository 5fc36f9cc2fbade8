// The built DLL as an in-process COM server under Wine: what DllRegisterServer writes and the
// filter mapper lists, what DllUnregisterServer removes, the class factory's rules,
// aggregation, and when the DLL may be unloaded.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>

#include "engine/VxPlugInProp.h"
#include "tests/plugin/PlugInComSupport.h"

namespace {

using twtest::PlugInComTest;
using twtest::RefCount;

const CLSID kUnknownClass = {
    0x5b1e08c4, 0x2f0d, 0x4a77, {0x9d, 0x61, 0x0e, 0x3a, 0x55, 0x8c, 0x41, 0x7f}};

std::wstring GuidText(REFGUID guid) {
    WCHAR text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

const std::wstring kClassKey = L"CLSID\\" + GuidText(CLSID_TwPhase);
const std::wstring kFilterKey = L"Filter\\" + GuidText(CLSID_TwPhase);
// Where Wine's mapper keeps filters registered without a category.
const std::wstring kMapperKey =
    L"CLSID\\" + GuidText(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" + GuidText(CLSID_TwPhase);

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A REG_SZ value, or "<missing>".
std::wstring StringValue(const std::wstring& path, const WCHAR* name) {
    WCHAR text[MAX_PATH] = {};
    DWORD bytes = sizeof text;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_ANY, &type, text, &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return L"<missing>";
    return text;
}

// A REG_DWORD value, or ~0u.
DWORD DwordValue(const std::wstring& path, const WCHAR* name) {
    DWORD value = 0, bytes = sizeof value, type = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_ANY, &type, &value, &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return ~0u;
    return value;
}

// Whether the filter mapper offers the plug-in for a pin of the major type in and a pin of
// the major type out; the friendly name it lists comes with it.
bool MapperFinds(REFGUID majorType, std::wstring* friendlyName = nullptr) {
    IFilterMapper2* mapper = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper))))
        return false;
    const GUID types[2] = {majorType, GUID_NULL};
    IEnumMoniker* found = nullptr;
    bool listed = false;
    if (mapper->EnumMatchingFilters(&found, 0, FALSE, 0, TRUE, 1, types, nullptr, nullptr,
                                    FALSE, TRUE, 1, types, nullptr, nullptr) == S_OK) {
        IMoniker* moniker = nullptr;
        while (!listed && found->Next(1, &moniker, nullptr) == S_OK) {
            IPropertyBag* bag = nullptr;
            if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                                 reinterpret_cast<void**>(&bag)))) {
                VARIANT value;
                VariantInit(&value);
                CLSID clsid = GUID_NULL;
                if (SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR)
                    CLSIDFromString(value.bstrVal, &clsid);
                VariantClear(&value);
                listed = clsid == CLSID_TwPhase;
                if (listed && friendlyName &&
                    SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR)
                    *friendlyName = value.bstrVal;
                VariantClear(&value);
                bag->Release();
            }
            moniker->Release();
        }
        found->Release();
    }
    mapper->Release();
    return listed;
}

HRESULT CoCreatePlugIn(IBaseFilter** filter) {
    *filter = nullptr;
    return CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(filter));
}

void ExpectNothingRegistered() {
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kFilterKey));
    EXPECT_FALSE(KeyExists(kMapperKey));
    EXPECT_FALSE(MapperFinds(MEDIATYPE_Audio));
    IBaseFilter* filter = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreatePlugIn(&filter));
}

// A controlling unknown on the test's stack that counts the references it is given.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner) return inner->QueryInterface(iid, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    ULONG refs = 1;
    IUnknown* inner = nullptr;  // the plug-in's non-delegating unknown
};

class ComServer : public PlugInComTest {
protected:
    IClassFactory* Factory() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK, dll_.GetClassObject(CLSID_TwPhase, IID_IClassFactory,
                                            reinterpret_cast<void**>(&factory)));
        return factory;
    }
};

TEST_F(ComServer, RegistrationWritesTheClassPinAndFilterKeysAndTheMapperRecord) {
    ASSERT_EQ(S_OK, dll_.Unregister());
    ExpectNothingRegistered();
    ASSERT_EQ(S_OK, dll_.Register());

    EXPECT_EQ(L"Corvane:tw Phase", StringValue(kClassKey, nullptr));
    const std::wstring server = kClassKey + L"\\InprocServer32";
    EXPECT_EQ(0, lstrcmpiW(twtest::PlugInDllPath().c_str(), StringValue(server, nullptr).c_str()))
        << "InprocServer32 holds the module path";
    EXPECT_EQ(L"Both", StringValue(server, L"ThreadingModel"));
    EXPECT_EQ(L"Corvane:tw Phase", StringValue(kFilterKey, nullptr));

    const WCHAR* pins[2] = {L"\\Pins\\In", L"\\Pins\\Out"};
    for (DWORD direction = 0; direction < 2; ++direction) {
        const std::wstring pin = kClassKey + pins[direction];
        EXPECT_EQ(direction, DwordValue(pin, L"Direction")) << pins[direction];
        EXPECT_EQ(0u, DwordValue(pin, L"AllowedMany"));
        EXPECT_EQ(0u, DwordValue(pin, L"AllowedZero"));
        EXPECT_EQ(0u, DwordValue(pin, L"IsRendered"));
        EXPECT_TRUE(KeyExists(pin + L"\\Types\\" + GuidText(MEDIATYPE_Audio) + L"\\" +
                              GuidText(GUID_NULL)));
    }

    std::wstring listedName;
    EXPECT_TRUE(MapperFinds(MEDIATYPE_Audio, &listedName));
    EXPECT_EQ(L"Corvane:tw Phase", listedName);
    EXPECT_FALSE(MapperFinds(MEDIATYPE_Video));  // the pins take audio only

    // Registering again replaces everything without complaint.
    EXPECT_EQ(S_OK, dll_.Register());
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, CoCreatePlugIn(&filter));
    CLSID clsid = GUID_NULL;
    EXPECT_EQ(S_OK, filter->GetClassID(&clsid));
    EXPECT_EQ(CLSID_TwPhase, clsid);
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(ComServer, UnregistrationRemovesEverythingAlsoWhenRepeatedOrUnknownToTheMapper) {
    ASSERT_EQ(S_OK, dll_.Unregister());
    ExpectNothingRegistered();
    EXPECT_EQ(S_OK, dll_.Unregister());  // nothing left to remove
    ExpectNothingRegistered();

    // The mapper has lost its record but the class and filter keys are still there.
    ASSERT_EQ(S_OK, dll_.Register());
    IFilterMapper2* mapper = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IFilterMapper2, reinterpret_cast<void**>(&mapper)));
    EXPECT_EQ(S_OK, mapper->UnregisterFilter(nullptr, nullptr, CLSID_TwPhase));
    mapper->Release();
    ASSERT_TRUE(KeyExists(kClassKey));
    EXPECT_EQ(S_OK, dll_.Unregister());
    ExpectNothingRegistered();

    EXPECT_EQ(S_OK, dll_.Register());  // the other tests create the plug-in through COM
}

TEST_F(ComServer, ClassObjectsAreFactoriesForTheTableClassesOnly) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, dll_.GetClassObject(CLSID_TwPhase, IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);
    // The interface is checked before the class.
    EXPECT_EQ(E_NOINTERFACE, dll_.GetClassObject(kUnknownClass, IID_IBaseFilter, &out));
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              dll_.GetClassObject(kUnknownClass, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, dll_.GetClassObject(CLSID_TwPhase, IID_IClassFactory, nullptr));

    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, dll_.GetClassObject(CLSID_TwPhase, IID_IUnknown,
                                        reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(1u, RefCount(unknown));
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(2u, RefCount(unknown));
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, factory->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(1u, factory->Release());
    EXPECT_EQ(0u, unknown->Release());
}

TEST_F(ComServer, CreateInstanceChecksItsArgumentsAndDestroysWhatItCannotHandOut) {
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    Outer outer;
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr));
    EXPECT_EQ(E_POINTER, factory->CreateInstance(&outer, IID_IUnknown, nullptr));
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);
    // An interface the object lacks: the object made for the request is gone again.
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(1u, outer.refs);

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(1u, RefCount(filter));
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(ComServer, AggregatedInterfacesDelegateToTheOuterUnknown) {
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    Outer outer;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown,
                                            reinterpret_cast<void**>(&outer.inner)));
    factory->Release();
    EXPECT_EQ(1u, outer.refs) << "the inner object holds no reference on its outer";
    EXPECT_EQ(1u, RefCount(outer.inner));

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(2u, outer.refs);
    EXPECT_EQ(1u, RefCount(outer.inner));
    IVxPlugInProp* prop = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IVxPlugInProp, reinterpret_cast<void**>(&prop)));
    EXPECT_EQ(3u, outer.refs);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, prop->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();

    // Pins count on the filter, so on the outer unknown as well.
    IPin* pin = nullptr;
    ASSERT_EQ(S_OK, filter->FindPin(L"In", &pin));
    EXPECT_EQ(4u, outer.refs);
    PIN_INFO info = {};
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    EXPECT_EQ(filter, info.pFilter);
    EXPECT_STREQ(L"Input", info.achName);
    info.pFilter->Release();
    pin->Release();
    prop->Release();
    filter->Release();
    EXPECT_EQ(1u, outer.refs);

    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(0u, outer.inner->Release());
}

TEST_F(ComServer, UnloadingWaitsForLiveObjectsAndServerLocks) {
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());  // the factory itself is alive

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    filter->Release();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow()) << "still locked";

    factory = Factory();
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());

    // An object COM made, with its pins and their enumerator, also holds the DLL.
    ASSERT_EQ(S_OK, CoCreatePlugIn(&filter));
    IEnumPins* pins = nullptr;
    ASSERT_EQ(S_OK, filter->EnumPins(&pins));
    EXPECT_EQ(2u, RefCount(filter)) << "the enumerator holds the filter";
    EXPECT_EQ(1u, filter->Release());
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    pins->Release();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

}  // namespace
