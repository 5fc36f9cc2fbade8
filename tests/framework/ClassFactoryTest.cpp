// CClassFactory and the server helpers: the factory's QueryInterface and counts,
// CreateInstance's rules for aggregation and creation failures, DllGetClassObject's checks,
// and DllCanUnloadNow's counting of locks and live objects.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <dshow.h>

#include "base/win/ComPtr.h"
#include "framework/ClassFactory.h"
#include "framework/Unknown.h"
#include "tests/framework/TestFilters.h"

namespace {

const CLSID kFailingClsid = {
    0x1f6e0a51, 0x2b7c, 0x4d88, {0xa1, 0x0b, 0x3c, 0x4d, 0x5e, 0x6f, 0x70, 0x01}};
const CLSID kEmptyClsid = {
    0x1f6e0a51, 0x2b7c, 0x4d88, {0xa1, 0x0b, 0x3c, 0x4d, 0x5e, 0x6f, 0x70, 0x02}};
const CLSID kRefusingClsid = {
    0x1f6e0a51, 0x2b7c, 0x4d88, {0xa1, 0x0b, 0x3c, 0x4d, 0x5e, 0x6f, 0x70, 0x03}};
const CLSID kUnknownClsid = {
    0x1f6e0a51, 0x2b7c, 0x4d88, {0xa1, 0x0b, 0x3c, 0x4d, 0x5e, 0x6f, 0x70, 0x04}};

// Builds an object but reports a failure: the factory must destroy it.
CUnknown* WINAPI CreateFailing(LPUNKNOWN outer, HRESULT* phr) {
    *phr = E_ACCESSDENIED;
    return new CPassThrough(outer);
}
// Returns nothing and reports success: the factory must call it out of memory.
CUnknown* WINAPI CreateNothing(LPUNKNOWN, HRESULT*) {
    return nullptr;
}
// Returns nothing with its own failure.
CUnknown* WINAPI CreateRefusing(LPUNKNOWN, HRESULT* phr) {
    *phr = CLASS_E_NOTLICENSED;
    return nullptr;
}

const CFactoryTemplate kTable[] = {
    {L"Pass-through", &CLSID_TestPassThrough, CPassThrough::Create, nullptr, nullptr},
    {L"Failing", &kFailingClsid, CreateFailing, nullptr, nullptr},
    {L"Empty", &kEmptyClsid, CreateNothing, nullptr, nullptr},
    {L"Refusing", &kRefusingClsid, CreateRefusing, nullptr, nullptr},
};
const int kTableSize = sizeof kTable / sizeof kTable[0];

ComPtr<IClassFactory> FactoryFor(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, FrameworkGetClassObject(kTable, kTableSize, clsid, IID_IClassFactory,
                                            factory.PutVoid()));
    return factory;
}

// Counts references given to it as an outer unknown; owned by the test.
class COuterStub : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IID_IUnknown) return E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

TEST(ClassFactoryTest, GetClassObjectChecksInterfaceThenClass) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE,
              FrameworkGetClassObject(kTable, kTableSize, kUnknownClsid, IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              FrameworkGetClassObject(kTable, kTableSize, kUnknownClsid, IID_IClassFactory, &out));
    EXPECT_EQ(E_POINTER, FrameworkGetClassObject(kTable, kTableSize, CLSID_TestPassThrough,
                                                 IID_IClassFactory, nullptr));
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, FrameworkGetClassObject(kTable, kTableSize, CLSID_TestPassThrough, IID_IUnknown,
                                            reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(0u, unknown->Release());
}

TEST(ClassFactoryTest, FactoryAnswersOnlyItsInterfacesWithItsOwnCount) {
    ComPtr<IClassFactory> factory = FactoryFor(CLSID_TestPassThrough);
    EXPECT_EQ(2u, factory->AddRef());
    EXPECT_EQ(1u, factory->Release());
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown*>(factory.Get()), unknown);
    EXPECT_EQ(1u, unknown->Release());
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IPersist, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, factory->QueryInterface(IID_IClassFactory, nullptr));
    EXPECT_EQ(0u, factory.Detach()->Release());
}

TEST(ClassFactoryTest, CreateInstanceHandsOutTheRequestedInterface) {
    const LONG before = CBaseObject::ObjectsActive();
    ComPtr<IClassFactory> factory = FactoryFor(CLSID_TestPassThrough);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(2u, filter->AddRef());
    EXPECT_EQ(1u, filter->Release());

    // A refused interface destroys the new object again.
    const LONG withFilter = CBaseObject::ObjectsActive();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IMemAllocator, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(withFilter, CBaseObject::ObjectsActive());
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IBaseFilter, nullptr));

    EXPECT_EQ(0u, filter->Release());
    factory.Reset();
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST(ClassFactoryTest, AggregationGivesTheInnerUnknownOnly) {
    const ComPtr<IClassFactory> factory = FactoryFor(CLSID_TestPassThrough);
    COuterStub outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(&outer, IID_IBaseFilter, &out));
    EXPECT_EQ(nullptr, out);

    IUnknown* inner = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(1u, outer.refs);
    // The inner unknown hands out interfaces whose counts go to the outer object.
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(2u, outer.refs);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    filter->Release();
    EXPECT_EQ(1u, outer.refs);
    EXPECT_EQ(0u, inner->Release());
}

TEST(ClassFactoryTest, CreationFailuresAreReportedAndCleanedUp) {
    const LONG before = CBaseObject::ObjectsActive();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_ACCESSDENIED,
              FactoryFor(kFailingClsid)->CreateInstance(nullptr, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_OUTOFMEMORY, FactoryFor(kEmptyClsid)->CreateInstance(nullptr, IID_IUnknown, &out));
    EXPECT_EQ(CLASS_E_NOTLICENSED,
              FactoryFor(kRefusingClsid)->CreateInstance(nullptr, IID_IUnknown, &out));
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST(ClassFactoryTest, CanUnloadOnlyWithoutLocksAndLiveObjects) {
    // Every earlier test released what it made.
    ASSERT_EQ(S_OK, FrameworkCanUnloadNow());
    ComPtr<IClassFactory> factory = FactoryFor(CLSID_TestPassThrough);
    EXPECT_EQ(S_FALSE, FrameworkCanUnloadNow());  // the factory itself is alive

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter)));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(1, CClassFactory::ServerLocks());
    factory.Reset();
    EXPECT_EQ(S_FALSE, FrameworkCanUnloadNow());
    filter->Release();
    EXPECT_EQ(S_FALSE, FrameworkCanUnloadNow());  // still locked
    EXPECT_EQ(S_OK, FactoryFor(CLSID_TestPassThrough)->LockServer(FALSE));
    EXPECT_EQ(0, CClassFactory::ServerLocks());
    EXPECT_EQ(S_OK, FrameworkCanUnloadNow());
}

// Hosts lock and unlock the server from whichever thread they are on: every lock counts.
TEST(ClassFactoryTest, ServerLocksFromManyThreadsAllCount) {
    constexpr int kThreads = 4;
    constexpr LONG kLocksPerThread = 250000;
    std::vector<ComPtr<IClassFactory>> factories;
    for (int t = 0; t < kThreads; ++t) factories.push_back(FactoryFor(CLSID_TestPassThrough));
    auto hammer = [&](BOOL lock) {
        std::vector<std::thread> threads;
        for (const ComPtr<IClassFactory>& factory : factories) {
            threads.emplace_back([&factory, lock] {
                for (LONG i = 0; i < kLocksPerThread; ++i) factory->LockServer(lock);
            });
        }
        for (std::thread& thread : threads) thread.join();
    };
    hammer(TRUE);
    EXPECT_EQ(kThreads * kLocksPerThread, CClassFactory::ServerLocks());
    hammer(FALSE);
    EXPECT_EQ(0, CClassFactory::ServerLocks());
    // Whatever got lost, the tests after this one start unlocked.
    while (CClassFactory::ServerLocks() > 0) factories[0]->LockServer(FALSE);
    while (CClassFactory::ServerLocks() < 0) factories[0]->LockServer(TRUE);
}

}  // namespace
