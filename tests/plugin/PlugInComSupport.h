// What the COM-level plug-in tests share: the built DLL loaded by path with its four exports,
// registration for the test program's run, and small COM helpers.
#pragma once
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
#include <dshow.h>

#include "base/win/ComPtr.h"
#include "plugin/PluginGuids.h"

namespace twtest {

// The DLL's Windows path: the build passes its Linux path, which Wine sees on drive Z:.
inline std::wstring PlugInDllPath() {
    std::wstring path = L"Z:";
    for (const char* c = TW_PLUGIN_DLL_UNIX; *c; ++c) path += *c == '/' ? L'\\' : wchar_t(*c);
    return path;
}

// The DLL loaded in this process. COM loads the same module for CLSID_TwPhase, so the
// exports see the objects that CoCreateInstance made.
class PlugInDll {
public:
    PlugInDll() {
        module_ = LoadLibraryW(PlugInDllPath().c_str());
        if (!module_) return;
        getClassObject_ = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        canUnloadNow_ = Export("DllCanUnloadNow");
        register_ = Export("DllRegisterServer");
        unregister_ = Export("DllUnregisterServer");
    }
    ~PlugInDll() {
        if (module_) FreeLibrary(module_);
    }
    PlugInDll(const PlugInDll&) = delete;
    PlugInDll& operator=(const PlugInDll&) = delete;

    bool Loaded() const {
        return getClassObject_ && canUnloadNow_ && register_ && unregister_;
    }
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
        return getClassObject_(clsid, iid, out);
    }
    HRESULT CanUnloadNow() const { return canUnloadNow_(); }
    HRESULT Register() const { return register_(); }
    HRESULT Unregister() const { return unregister_(); }

private:
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using NoArgumentFn = HRESULT(STDAPICALLTYPE*)();
    NoArgumentFn Export(const char* name) {
        return reinterpret_cast<NoArgumentFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    NoArgumentFn canUnloadNow_ = nullptr;
    NoArgumentFn register_ = nullptr;
    NoArgumentFn unregister_ = nullptr;
};

// The count an AddRef/Release pair reports.
inline ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

// A test fixture in a multithreaded apartment with the DLL loaded and registered; at the
// end no object of the DLL may be left alive.
class PlugInComTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_TRUE(dll_.Loaded()) << "cannot load " << TW_PLUGIN_DLL_UNIX;
        ASSERT_EQ(S_OK, dll_.Register());
    }
    void TearDown() override {
        EXPECT_EQ(S_OK, dll_.CanUnloadNow()) << "objects of the DLL are still alive";
        CoUninitialize();
    }

    ComPtr<IBaseFilter> CreatePlugIn() {
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IBaseFilter, filter.PutVoid()));
        return filter;
    }

    PlugInDll dll_;
};

}  // namespace twtest
