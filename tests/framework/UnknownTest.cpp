// CUnknown and CBaseObject: reference counts, interface identity, aggregation and the
// live-object count.
#include <gtest/gtest.h>

#include <objidl.h>

#include "framework/Unknown.h"

namespace {

const CLSID kTestClsid = {
    0x4a1c7e10, 0x5b2d, 0x4c3e, {0x9f, 0x40, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};

// An aggregatable object with one interface of its own (IPersist).
class CTestObject : public CUnknown, public IPersist {
public:
    explicit CTestObject(LPUNKNOWN outer) : CUnknown(L"CTestObject", outer) {}
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    STDMETHODIMP GetClassID(CLSID* pClsid) override {
        if (!pClsid) return E_POINTER;
        *pClsid = kTestClsid;
        return S_OK;
    }
    INonDelegatingUnknown* Inner() { return this; }
};

// A hand-written controlling unknown that aggregates a CTestObject and exposes its IPersist.
class COuter : public IUnknown {
public:
    COuter() {
        inner_ = new CTestObject(this);
        inner_->Inner()->NonDelegatingAddRef();
    }
    ~COuter() { inner_->Inner()->NonDelegatingRelease(); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_IPersist) return inner_->Inner()->NonDelegatingQueryInterface(riid, ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // the test owns the object
    ULONG refs_ = 1;
    CTestObject* inner_;
};

TEST(UnknownTest, CountsFollowAddRefAndReleaseAndFinalReleaseDestroys) {
    const LONG before = CBaseObject::ObjectsActive();
    auto* object = new CTestObject(nullptr);
    EXPECT_EQ(before + 1, CBaseObject::ObjectsActive());
    INonDelegatingUnknown* inner = object->Inner();
    EXPECT_EQ(1u, inner->NonDelegatingAddRef());

    IPersist* persist = nullptr;
    ASSERT_EQ(S_OK,
              inner->NonDelegatingQueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
    EXPECT_EQ(3u, persist->AddRef());
    EXPECT_EQ(2u, persist->Release());
    EXPECT_EQ(1u, persist->Release());
    EXPECT_EQ(0u, inner->NonDelegatingRelease());
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST(UnknownTest, QueryInterfaceMatrixReachesOneIdentity) {
    auto* object = new CTestObject(nullptr);
    object->Inner()->NonDelegatingAddRef();
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    IPersist* persist = nullptr;
    ASSERT_EQ(S_OK, identity->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
    IUnknown* again = nullptr;
    ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(identity, again);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, persist->QueryInterface(IID_IStream, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, persist->QueryInterface(IID_IPersist, nullptr));
    EXPECT_EQ(E_POINTER, GetInterface(identity, nullptr));

    again->Release();
    persist->Release();
    EXPECT_EQ(1u, identity->Release());
    EXPECT_EQ(0u, object->Inner()->NonDelegatingRelease());
}

TEST(UnknownTest, AggregatedObjectDelegatesToOuterUnknown) {
    const LONG before = CBaseObject::ObjectsActive();
    {
        COuter outer;
        IPersist* persist = nullptr;
        ASSERT_EQ(S_OK, outer.QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
        EXPECT_EQ(2u, outer.refs_);  // the interface's reference went to the outer object
        persist->AddRef();
        EXPECT_EQ(3u, outer.refs_);

        IUnknown* identity = nullptr;
        ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
        EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
        identity->Release();
        persist->Release();
        persist->Release();
        EXPECT_EQ(1u, outer.refs_);

        // The inner unknown keeps its own count: the outer object holds exactly one.
        EXPECT_EQ(2u, outer.inner_->Inner()->NonDelegatingAddRef());
        EXPECT_EQ(1u, outer.inner_->Inner()->NonDelegatingRelease());
        // The inner non-delegating IUnknown is not the outer identity.
        IUnknown* innerUnknown = nullptr;
        ASSERT_EQ(S_OK, outer.inner_->Inner()->NonDelegatingQueryInterface(
                            IID_IUnknown, reinterpret_cast<void**>(&innerUnknown)));
        EXPECT_NE(static_cast<IUnknown*>(&outer), innerUnknown);
        EXPECT_EQ(1u, innerUnknown->Release());
        EXPECT_EQ(before + 1, CBaseObject::ObjectsActive());
    }
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

}  // namespace
