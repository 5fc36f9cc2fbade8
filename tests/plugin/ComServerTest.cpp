// The built DLL as an in-process COM server under Wine: what DllRegisterServer writes and the
// filter mapper lists, what DllUnregisterServer removes, the class factory's rules,
// aggregation, when the DLL may be unloaded, and registration of a copy in a folder whose
// path is outside the ANSI code page or longer than MAX_PATH.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>

#include "automation/win/MediaParamsInterfaces.h"
#include "engine/win/VxPlugInProp.h"
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
// The property pages: COM servers only, with their display names.
const struct {
    const CLSID& clsid;
    const WCHAR* name;
} kPages[] = {{CLSID_TwPhasePropertyPage, L"Corvane:tw Phase Property Page"},
              {CLSID_TwPhaseAnalysisPage, L"Corvane:tw Phase Analysis Page"}};
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

// A REG_SZ value of any length a path can have, or "<missing>".
std::wstring StringValue(const std::wstring& path, const WCHAR* name) {
    std::vector<WCHAR> text(32768);
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(WCHAR));
    DWORD type = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_ANY, &type, text.data(),
                     &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return L"<missing>";
    return text.data();
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
    ComPtr<IFilterMapper2> mapper;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, mapper.PutVoid())))
        return false;
    const GUID types[2] = {majorType, GUID_NULL};
    ComPtr<IEnumMoniker> found;
    if (mapper->EnumMatchingFilters(found.Put(), 0, FALSE, 0, TRUE, 1, types, nullptr, nullptr,
                                    FALSE, TRUE, 1, types, nullptr, nullptr) != S_OK)
        return false;
    bool listed = false;
    ComPtr<IMoniker> moniker;
    while (!listed && found->Next(1, moniker.Put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())))
            continue;
        VARIANT value;
        VariantInit(&value);
        CLSID clsid = GUID_NULL;
        if (SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR)
            CLSIDFromString(value.bstrVal, &clsid);
        VariantClear(&value);
        listed = clsid == CLSID_TwPhase;
        if (listed && friendlyName && SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) &&
            value.vt == VT_BSTR)
            *friendlyName = value.bstrVal;
        VariantClear(&value);
    }
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
    for (const auto& page : kPages) EXPECT_FALSE(KeyExists(L"CLSID\\" + GuidText(page.clsid)));
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
    ComPtr<IClassFactory> Factory() {
        ComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, dll_.GetClassObject(CLSID_TwPhase, IID_IClassFactory, factory.PutVoid()));
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

    // The pages are COM servers only: no filter record and no pin keys.
    for (const auto& page : kPages) {
        const std::wstring key = L"CLSID\\" + GuidText(page.clsid);
        EXPECT_EQ(page.name, StringValue(key, nullptr));
        EXPECT_EQ(0, lstrcmpiW(twtest::PlugInDllPath().c_str(),
                               StringValue(key + L"\\InprocServer32", nullptr).c_str()));
        EXPECT_EQ(L"Both", StringValue(key + L"\\InprocServer32", L"ThreadingModel"));
        EXPECT_FALSE(KeyExists(key + L"\\Pins"));
        EXPECT_FALSE(KeyExists(L"Filter\\" + GuidText(page.clsid)));
    }

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
    ComPtr<IFilterMapper2> mapper;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IFilterMapper2, mapper.PutVoid()));
    EXPECT_EQ(S_OK, mapper->UnregisterFilter(nullptr, nullptr, CLSID_TwPhase));
    mapper.Reset();
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
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
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
    EXPECT_EQ(0u, factory.Detach()->Release());
    EXPECT_EQ(0u, filter->Release());
}

TEST_F(ComServer, AggregatedInterfacesDelegateToTheOuterUnknown) {
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    Outer outer;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown,
                                            reinterpret_cast<void**>(&outer.inner)));
    factory.Reset();
    EXPECT_EQ(1u, outer.refs) << "the inner object holds no reference on its outer";
    EXPECT_EQ(1u, RefCount(outer.inner));

    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IBaseFilter, filter.PutVoid()));
    EXPECT_EQ(2u, outer.refs);
    EXPECT_EQ(1u, RefCount(outer.inner));
    ComPtr<IVxPlugInProp> prop;
    ASSERT_EQ(S_OK, filter.As(IID_IVxPlugInProp, &prop));
    EXPECT_EQ(3u, outer.refs);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, prop->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();

    // Pins count on the filter, so on the outer unknown as well.
    ComPtr<IPin> pin;
    ASSERT_EQ(S_OK, filter->FindPin(L"In", pin.Put()));
    EXPECT_EQ(4u, outer.refs);
    PIN_INFO info = {};
    ASSERT_EQ(S_OK, pin->QueryPinInfo(&info));
    EXPECT_EQ(filter.Get(), info.pFilter);
    EXPECT_STREQ(L"Input", info.achName);
    info.pFilter->Release();
    ResetAll(pin, prop, filter);
    EXPECT_EQ(1u, outer.refs);

    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(0u, outer.inner->Release());
}

TEST_F(ComServer, UnloadingWaitsForLiveObjectsAndServerLocks) {
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());  // the factory itself is alive

    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBaseFilter, filter.PutVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    filter.Reset();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow()) << "still locked";

    EXPECT_EQ(S_OK, Factory()->LockServer(FALSE));
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());

    // An object COM made, with its pins and their enumerator, also holds the DLL.
    ASSERT_EQ(S_OK, CoCreatePlugIn(filter.Put()));
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(S_OK, filter->EnumPins(pins.Put()));
    EXPECT_EQ(2u, RefCount(filter.Get())) << "the enumerator holds the filter";
    EXPECT_EQ(1u, filter.Detach()->Release());
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    pins.Reset();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

// A copy of the built DLL in folders below the temp folder, loaded from there with its
// registration exports; the destructor unloads it and removes the copy and the folders.
class DllCopy {
public:
    // levels: the folder names, outermost first; extended: use the "\\?\" form of the path,
    // which the platform needs beyond MAX_PATH.
    DllCopy(const std::vector<std::wstring>& levels, bool extended) {
        WCHAR temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        path_.assign(temp, length > 0 ? length - 1 : 0);  // without the trailing backslash
        if (extended) path_ = L"\\\\?\\" + path_;
        for (const std::wstring& level : levels) {
            path_ += L"\\" + level;
            CreateDirectoryW(path_.c_str(), nullptr);
            folders_.insert(folders_.begin(), path_);
        }
        path_ += L"\\twPhaseDX.dll";
        if (!CopyFileW(twtest::PlugInDllPath().c_str(), path_.c_str(), FALSE)) return;
        module_ = LoadLibraryW(path_.c_str());
    }
    ~DllCopy() {
        if (module_) FreeLibrary(module_);
        DeleteFileW(path_.c_str());
        for (const std::wstring& folder : folders_) RemoveDirectoryW(folder.c_str());
    }
    DllCopy(const DllCopy&) = delete;
    DllCopy& operator=(const DllCopy&) = delete;

    HMODULE Module() const { return module_; }
    // The copy's path without the "\\?\" prefix.
    std::wstring Path() const {
        return path_.compare(0, 4, L"\\\\?\\") == 0 ? path_.substr(4) : path_;
    }
    HRESULT Call(const char* exportName) const {
        using Fn = HRESULT(STDAPICALLTYPE*)();
        auto fn =
            reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, exportName)));
        return fn ? fn() : E_NOTIMPL;
    }

private:
    std::wstring path_;
    std::vector<std::wstring> folders_;  // innermost first
    HMODULE module_ = nullptr;
};

// InprocServer32 names the copy by its full wide path, however the folder is named and
// however long the path is, and COM creates the filter from that copy.
TEST_F(ComServer, RegistrationFromAFolderOutsideTheAnsiCodePageOrBeyondMaxPath) {
    const std::wstring nonAnsi = L"\u0442\u0435\u0441\u0442-\u30c6\u30b9\u30c8";  // "тест-テスト"
    const std::wstring deep(90, L'd');
    struct Case {
        const char* name;
        std::vector<std::wstring> levels;
        bool extended;
    } const cases[] = {
        {"Cyrillic and Japanese folder", {nonAnsi}, false},
        {"path beyond MAX_PATH", {nonAnsi, deep, deep, deep}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DllCopy copy(c.levels, c.extended);
        ASSERT_NE(nullptr, copy.Module()) << "cannot load the copy, error " << GetLastError();
        ASSERT_NE(GetModuleHandleW(twtest::PlugInDllPath().c_str()), copy.Module());
        if (c.extended) {
            ASSERT_GT(copy.Path().size(), size_t{MAX_PATH});
        }

        ASSERT_EQ(S_OK, copy.Call("DllRegisterServer"));
        const std::wstring server = StringValue(kClassKey + L"\\InprocServer32", nullptr);
        EXPECT_EQ(0, lstrcmpiW(copy.Path().c_str(), server.c_str())) << "registered: " << server;
        EXPECT_NE(INVALID_FILE_ATTRIBUTES,
                  GetFileAttributesW(((c.extended ? L"\\\\?\\" : L"") + server).c_str()))
            << "InprocServer32 names a file that does not exist";

        if (!c.extended) {
            // The object COM makes comes from the copy, not from the DLL the fixture loaded.
            IBaseFilter* filter = nullptr;
            EXPECT_EQ(S_OK, CoCreatePlugIn(&filter));
            if (filter) {
                EXPECT_EQ(S_FALSE, copy.Call("DllCanUnloadNow"));
                EXPECT_EQ(S_OK, dll_.CanUnloadNow());
                EXPECT_EQ(0u, filter->Release());
                CoFreeUnusedLibrariesEx(0, 0);  // COM's own hold on the copy, without delay
            }
        }
        EXPECT_EQ(S_OK, copy.Call("DllUnregisterServer"));
        EXPECT_FALSE(KeyExists(kClassKey));
    }
    EXPECT_EQ(S_OK, dll_.Register());  // the other tests create the plug-in through COM
}

}  // namespace

// A host may keep the automation interfaces after releasing the filter: they then answer for
// themselves, refuse the filter's interfaces and keep the DLL loaded until released.
TEST_F(ComServer, AutomationInterfacesOutliveTheFilterWithoutReachingIt) {
    ComPtr<IBaseFilter> filter = CreatePlugIn();
    ASSERT_TRUE(filter);
    ComPtr<IMediaParamsSdk> params;
    ASSERT_EQ(S_OK, filter.As(IID_IMediaParams, &params));

    // While the filter lives, IUnknown through any automation interface is the filter's identity.
    {
        ComPtr<IUnknown> filterIdentity, viaParams;
        ASSERT_EQ(S_OK, filter.As(IID_IUnknown, &filterIdentity));
        ASSERT_EQ(S_OK, params.As(IID_IUnknown, &viaParams));
        EXPECT_EQ(filterIdentity.Get(), viaParams.Get());
    }

    EXPECT_EQ(0u, filter.Detach()->Release());
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow()) << "the automation object is still held";

    const struct {
        const IID* iid;
        HRESULT expected;
    } requests[] = {
        {&IID_IUnknown, S_OK},         {&IID_IMediaParams, S_OK},
        {&IID_IMediaParamInfo, S_OK},  {&IID_IMediaParamsSetUICallback, S_OK},
        {&IID_IMediaParamsUICallback, S_OK}, {&IID_IBaseFilter, E_NOINTERFACE},
        {&IID_IVxPlugInProp, E_NOINTERFACE}, {&IID_IPersistStream, E_NOINTERFACE},
    };
    for (const auto& request : requests) {
        IUnknown* answer = reinterpret_cast<IUnknown*>(&answer);
        EXPECT_EQ(request.expected,
                  params->QueryInterface(*request.iid, reinterpret_cast<void**>(&answer)))
            << GuidText(*request.iid);
        if (request.expected != S_OK) {
            EXPECT_EQ(nullptr, answer);
            continue;
        }
        ComPtr<IUnknown> owned, identity, own;
        owned.Attach(answer);
        ASSERT_EQ(S_OK, owned.As(IID_IUnknown, &identity));
        params.As(IID_IUnknown, &own);
        EXPECT_EQ(own.Get(), identity.Get()) << "one identity for the object on its own";
    }
    EXPECT_EQ(1u, RefCount(params.Get()));

    // The automation itself still works on its own envelopes.
    MP_DATA value = 0.0f;
    EXPECT_EQ(S_OK, params->SetParam(1, 0.25f));
    EXPECT_EQ(S_OK, params->GetParam(1, &value));
    EXPECT_EQ(0.25f, value);
    EXPECT_EQ(0u, params.Detach()->Release());
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}
