// CBasePropertyPage under Wine: COM identity and counts, connecting objects, the page size
// and title, the dialog window inside a parent, the dirty flag with a site, and a round trip
// through the system's own property frame (OleCreatePropertyFrame).
#include <gtest/gtest.h>

#include <olectl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/BasePropertyPage.h"
#include "framework/ClassFactory.h"
#include "tests/framework/PropertyPageTestIds.h"

namespace {

const CLSID kTestPageClsid = {
    0x6c0d2e41, 0x93a7, 0x4f15, {0xb2, 0x58, 0x0e, 0x7a, 0x41, 0xc9, 0x3d, 0x01}};
const UINT kEngineNotifyId = 32700;  // the command id the editor registers with the engine

// What a test page saw, kept by the test so that it outlives the page.
struct PageLog {
    std::vector<std::string> calls;  // hooks and the messages of interest, in order
    IUnknown* connected = nullptr;   // the object OnConnect was given
    HWND windowAtInit = nullptr;     // the base's window handle during WM_INITDIALOG
    std::vector<WPARAM> commands;    // WM_COMMAND wParams
    HRESULT connectResult = S_OK;
    HRESULT activateResult = S_OK;
    HRESULT deactivateResult = S_OK;
    HRESULT applyResult = S_OK;
    bool destroyed = false;

    size_t Count(const std::string& call) const {
        return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
    }
    // Position of the first occurrence, or calls.size() when absent.
    size_t IndexOf(const std::string& call) const {
        return static_cast<size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
    }
};

class CTestPage : public CBasePropertyPage {
public:
    CTestPage(PageLog* log, int dialogId = IDD_TEST_PAGE, LPUNKNOWN outer = nullptr)
        : CBasePropertyPage(L"CTestPage", outer, dialogId, IDS_TEST_TITLE), log_(log) {}
    ~CTestPage() override { log_->destroyed = true; }

    using CBasePropertyPage::SetDirty;
    HWND Window() const { return m_hwnd; }
    INonDelegatingUnknown* Inner() { return this; }

    static CUnknown* WINAPI CreateForFrame(LPUNKNOWN outer, HRESULT*);

protected:
    HRESULT OnConnect(IUnknown* object) override {
        log_->calls.push_back("OnConnect");
        if (SUCCEEDED(log_->connectResult)) log_->connected = object;
        return log_->connectResult;
    }
    HRESULT OnDisconnect() override {
        log_->calls.push_back("OnDisconnect");
        log_->connected = nullptr;
        return S_OK;
    }
    HRESULT OnActivate() override {
        log_->calls.push_back("OnActivate");
        return log_->activateResult;
    }
    HRESULT OnDeactivate() override {
        log_->calls.push_back("OnDeactivate");
        return log_->deactivateResult;
    }
    HRESULT OnApplyChanges() override {
        log_->calls.push_back("OnApplyChanges");
        return log_->applyResult;
    }
    INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_SETFONT:
                log_->calls.push_back("WM_SETFONT");
                break;
            case WM_INITDIALOG:
                log_->calls.push_back("WM_INITDIALOG");
                log_->windowAtInit = m_hwnd;
                break;
            case WM_COMMAND:
                log_->calls.push_back("WM_COMMAND");
                log_->commands.push_back(wParam);
                return TRUE;
            case WM_DESTROY:
                log_->calls.push_back("WM_DESTROY");
                break;
            case WM_NCDESTROY:
                log_->calls.push_back("WM_NCDESTROY");
                break;
        }
        return CBasePropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
    }

private:
    PageLog* const log_;
};

// A site that records status changes; owned by the test, so its count is observable.
class CFakeSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) return E_NOINTERFACE;
        *ppv = static_cast<IPropertyPageSite*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP OnStatusChange(DWORD flags) override {
        statusChanges.push_back(flags);
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        if (!locale) return E_POINTER;
        *locale = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** container) override {
        if (container) *container = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

    ULONG refs = 1;
    std::vector<DWORD> statusChanges;
};

// The object being edited: any COM object will do; owned by the test.
class CEditedObject : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
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

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The window rectangle of a child in its parent's client coordinates.
RECT RectInParent(HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A test page with one reference held through IPropertyPage, a parent window and a site.
class PropertyPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        parent_ = CreateWindowExW(0, L"STATIC", L"page parent", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                  nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, parent_);
    }
    void TearDown() override {
        if (page_) page_->Release();
        if (IsWindow(parent_)) DestroyWindow(parent_);
        PumpMessages();
        CoUninitialize();
    }

    void MakePage(int dialogId = IDD_TEST_PAGE) {
        object_ = new CTestPage(&log_, dialogId);
        object_->Inner()->NonDelegatingQueryInterface(IID_IPropertyPage,
                                                      reinterpret_cast<void**>(&page_));
    }
    // What a frame does before Activate: a site and the edited object.
    void Connect() {
        ASSERT_EQ(S_OK, page_->SetPageSite(&site_));
        IUnknown* objects[] = {&edited_};
        ASSERT_EQ(S_OK, page_->SetObjects(1, objects));
    }

    HWND parent_ = nullptr;
    PageLog log_;
    CTestPage* object_ = nullptr;
    IPropertyPage* page_ = nullptr;
    CFakeSite site_;
    CEditedObject edited_;
};

TEST_F(PropertyPageTest, CountsIdentityAndLiveObjects) {
    const LONG before = CBaseObject::ObjectsActive();
    MakePage();
    EXPECT_EQ(before + 1, CBaseObject::ObjectsActive());

    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, page_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(reinterpret_cast<IUnknown*>(object_->Inner()), identity);
    IPropertyPage* again = nullptr;
    ASSERT_EQ(S_OK, identity->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(page_, again);
    EXPECT_EQ(4u, page_->AddRef());
    EXPECT_EQ(3u, page_->Release());

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, page_->QueryInterface(IID_IPropertyPage2, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, page_->QueryInterface(IID_IPropertyPage, nullptr));

    again->Release();
    EXPECT_EQ(1u, identity->Release());
    EXPECT_FALSE(log_.destroyed);
    EXPECT_EQ(0u, page_->Release());
    page_ = nullptr;
    EXPECT_TRUE(log_.destroyed);
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
}

TEST_F(PropertyPageTest, SetObjectsConnectsTheFirstObjectAndDisconnectsBeforeAnother) {
    MakePage();
    CEditedObject first, second;
    IUnknown* both[] = {&first, &second};
    EXPECT_EQ(S_OK, page_->SetObjects(2, both));
    EXPECT_EQ(&first, log_.connected);

    IUnknown* other[] = {&second};
    EXPECT_EQ(S_OK, page_->SetObjects(1, other));
    EXPECT_EQ(&second, log_.connected);
    EXPECT_EQ((std::vector<std::string>{"OnConnect", "OnDisconnect", "OnConnect"}), log_.calls);

    // Bad arguments change nothing, not even the current connection.
    IUnknown* missing[] = {nullptr};
    EXPECT_EQ(E_POINTER, page_->SetObjects(1, nullptr));
    EXPECT_EQ(E_POINTER, page_->SetObjects(1, missing));
    EXPECT_EQ(&second, log_.connected);
    EXPECT_EQ(3u, log_.calls.size());

    EXPECT_EQ(S_OK, page_->SetObjects(0, nullptr));
    EXPECT_EQ(nullptr, log_.connected);
    EXPECT_EQ(S_OK, page_->SetObjects(0, nullptr));  // nothing left to disconnect
    EXPECT_EQ(2u, log_.Count("OnDisconnect"));
}

TEST_F(PropertyPageTest, RefusedConnectionLeavesThePageUnconnected) {
    MakePage();
    log_.connectResult = E_NOINTERFACE;
    ASSERT_EQ(S_OK, page_->SetPageSite(&site_));
    IUnknown* objects[] = {&edited_};
    EXPECT_EQ(E_NOINTERFACE, page_->SetObjects(1, objects));

    RECT rect = {0, 0, 100, 100};
    EXPECT_EQ(E_UNEXPECTED, page_->Activate(parent_, &rect, FALSE));
    EXPECT_EQ(E_UNEXPECTED, page_->Apply());
    EXPECT_EQ(S_OK, page_->SetObjects(0, nullptr));
    EXPECT_EQ(0u, log_.Count("OnDisconnect"));
    page_->SetPageSite(nullptr);
}

// Size and title for a child template and for a popup one; the size must match the page
// window the dialog manager builds from the same template.
TEST_F(PropertyPageTest, PageInfoGivesTitleAndTemplateSizeInPixels) {
    const struct {
        int dialogId;
        RECT dialogUnits;
    } kTemplates[] = {{IDD_TEST_PAGE, {0, 0, 200, 100}}, {IDD_TEST_POPUP_PAGE, {0, 0, 160, 80}}};
    for (const auto& t : kTemplates) {
        SCOPED_TRACE(t.dialogId);
        MakePage(t.dialogId);
        PROPPAGEINFO info = {};
        ASSERT_EQ(S_OK, page_->GetPageInfo(&info));  // frames ask before anything else
        ASSERT_NE(nullptr, info.pszTitle);
        EXPECT_STREQ(L"Test page", info.pszTitle);
        EXPECT_EQ(nullptr, info.pszHelpFile);
        EXPECT_EQ(nullptr, info.pszDocString);
        EXPECT_EQ(0u, info.dwHelpContext);
        CoTaskMemFree(info.pszTitle);

        Connect();
        RECT rect = {0, 0, 50, 50};
        ASSERT_EQ(S_OK, page_->Activate(parent_, &rect, FALSE));
        RECT pixels = t.dialogUnits;
        ASSERT_TRUE(MapDialogRect(object_->Window(), &pixels));
        EXPECT_GT(pixels.right, t.dialogUnits.right);  // dialog units are not pixels
        EXPECT_EQ(pixels.right, info.size.cx);
        EXPECT_EQ(pixels.bottom, info.size.cy);
        EXPECT_EQ(S_OK, page_->Deactivate());
        page_->SetObjects(0, nullptr);
        page_->SetPageSite(nullptr);
        page_->Release();
        page_ = nullptr;
    }

    // A title given as text instead of a string id.
    struct CTitled : CBasePropertyPage {
        CTitled() : CBasePropertyPage(L"CTitled", nullptr, IDD_TEST_PAGE, L"tw:phase") {}
    };
    auto* titled = new CTitled;
    titled->NonDelegatingAddRef();
    PROPPAGEINFO info = {};
    ASSERT_EQ(S_OK, titled->GetPageInfo(&info));
    EXPECT_STREQ(L"tw:phase", info.pszTitle);
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(E_POINTER, titled->GetPageInfo(nullptr));
    titled->NonDelegatingRelease();
}

TEST_F(PropertyPageTest, MissingTemplateFailsWithoutLeavingAWindow) {
    MakePage(999);
    PROPPAGEINFO info = {};
    EXPECT_EQ(E_FAIL, page_->GetPageInfo(&info));
    EXPECT_EQ(nullptr, info.pszTitle);
    Connect();
    RECT rect = {0, 0, 100, 100};
    EXPECT_EQ(E_FAIL, page_->Activate(parent_, &rect, FALSE));
    EXPECT_EQ(nullptr, object_->Window());
    EXPECT_EQ(nullptr, GetWindow(parent_, GW_CHILD));
    EXPECT_EQ(0u, log_.Count("OnActivate"));
}

// Without a site, as a host that embeds the page without a frame never sets one.
TEST_F(PropertyPageTest, ActivateRefusesWithoutObjectsOrArgumentsButNotWithoutASite) {
    MakePage();
    RECT rect = {0, 0, 100, 100};
    EXPECT_EQ(E_UNEXPECTED, page_->Activate(parent_, &rect, FALSE));  // no objects
    IUnknown* objects[] = {&edited_};
    ASSERT_EQ(S_OK, page_->SetObjects(1, objects));
    EXPECT_EQ(E_POINTER, page_->Activate(parent_, nullptr, FALSE));
    EXPECT_EQ(E_INVALIDARG, page_->Activate(nullptr, &rect, FALSE));
    EXPECT_EQ(nullptr, object_->Window());
    EXPECT_EQ(0u, log_.Count("WM_INITDIALOG"));

    ASSERT_EQ(S_OK, page_->Activate(parent_, &rect, FALSE));
    EXPECT_EQ(E_UNEXPECTED, page_->Activate(parent_, &rect, FALSE));  // already active
    EXPECT_EQ(1u, log_.Count("WM_INITDIALOG"));
    EXPECT_EQ(S_OK, page_->Deactivate());
    EXPECT_EQ(S_OK, page_->SetObjects(0, nullptr));
}

// For both templates: a bare child of the given parent in the given place, whose messages,
// from the first one sent during creation, reach the page object.
TEST_F(PropertyPageTest, ActivateCreatesAChildDialogWhoseMessagesReachThePage) {
    for (int dialogId : {IDD_TEST_PAGE, IDD_TEST_POPUP_PAGE}) {
        SCOPED_TRACE(dialogId);
        log_ = PageLog();
        MakePage(dialogId);
        Connect();
        const RECT placed = {10, 20, 310, 220};
        ASSERT_EQ(S_OK, page_->Activate(parent_, &placed, FALSE));
        HWND window = object_->Window();
        ASSERT_TRUE(IsWindow(window));
        EXPECT_EQ(parent_, GetParent(window));
        const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_FALSE(style & (WS_POPUP | WS_CAPTION));
        const RECT actual = RectInParent(window);
        EXPECT_TRUE(EqualRect(&placed, &actual));

        // The font comes before WM_INITDIALOG, which sees the window handle already set and
        // comes before OnActivate, so the hook finds the controls built.
        EXPECT_EQ(window, log_.windowAtInit);
        EXPECT_LT(log_.IndexOf("WM_SETFONT"), log_.IndexOf("WM_INITDIALOG"));
        EXPECT_LT(log_.IndexOf("WM_INITDIALOG"), log_.IndexOf("OnActivate"));

        // A control's notification and a command posted through the queue both arrive.
        HWND button = GetDlgItem(window, IDC_TEST_BUTTON);
        ASSERT_NE(nullptr, button);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        PostMessageW(window, WM_COMMAND, kEngineNotifyId, 100);
        PumpMessages();
        EXPECT_EQ((std::vector<WPARAM>{MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), kEngineNotifyId}),
                  log_.commands);

        EXPECT_EQ(S_OK, page_->Show(SW_HIDE));
        EXPECT_FALSE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE);
        EXPECT_EQ(S_OK, page_->Show(SW_SHOW));
        EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE);
        EXPECT_EQ(E_INVALIDARG, page_->Show(SW_MAXIMIZE));
        const RECT moved = {5, 6, 105, 56};
        EXPECT_EQ(S_OK, page_->Move(&moved));
        const RECT now = RectInParent(window);
        EXPECT_TRUE(EqualRect(&moved, &now));
        EXPECT_EQ(E_POINTER, page_->Move(nullptr));

        EXPECT_EQ(S_OK, page_->Deactivate());
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(nullptr, object_->Window());
        EXPECT_LT(log_.IndexOf("OnDeactivate"), log_.IndexOf("WM_DESTROY"));
        EXPECT_EQ(1u, log_.Count("WM_NCDESTROY"));
        EXPECT_EQ(E_UNEXPECTED, page_->Deactivate());
        EXPECT_EQ(E_UNEXPECTED, page_->Show(SW_SHOW));
        EXPECT_EQ(E_UNEXPECTED, page_->Move(&moved));

        // The same object can be shown again, as hosts do when tabs switch.
        ASSERT_EQ(S_OK, page_->Activate(parent_, &placed, FALSE));
        EXPECT_EQ(2u, log_.Count("WM_INITDIALOG"));
        EXPECT_EQ(S_OK, page_->Deactivate());
        page_->SetObjects(0, nullptr);
        page_->SetPageSite(nullptr);
        page_->Release();
        page_ = nullptr;
    }
}

TEST_F(PropertyPageTest, FailingHooksKeepTheWindowConsistent) {
    MakePage();
    Connect();
    RECT rect = {0, 0, 100, 100};
    log_.activateResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, page_->Activate(parent_, &rect, FALSE));
    EXPECT_EQ(nullptr, object_->Window());
    EXPECT_EQ(nullptr, GetWindow(parent_, GW_CHILD));

    log_.activateResult = S_OK;
    ASSERT_EQ(S_OK, page_->Activate(parent_, &rect, FALSE));
    log_.deactivateResult = E_FAIL;  // a page may refuse to go, e.g. on invalid input
    EXPECT_EQ(E_FAIL, page_->Deactivate());
    EXPECT_TRUE(IsWindow(object_->Window()));
    log_.deactivateResult = S_OK;
    EXPECT_EQ(S_OK, page_->Deactivate());
}

TEST_F(PropertyPageTest, WindowsTheHostLeavesBehindAreHandled) {
    MakePage();
    Connect();
    RECT rect = {0, 0, 100, 100};
    ASSERT_EQ(S_OK, page_->Activate(parent_, &rect, FALSE));
    // The frame destroyed its window first: the page notices and can be activated again.
    DestroyWindow(parent_);
    EXPECT_EQ(1u, log_.Count("WM_DESTROY"));
    EXPECT_EQ(nullptr, object_->Window());
    EXPECT_EQ(E_UNEXPECTED, page_->Deactivate());

    parent_ = CreateWindowExW(0, L"STATIC", L"second parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(S_OK, page_->Activate(parent_, &rect, FALSE));
    HWND window = object_->Window();
    // Released while active: the window goes with the page and nothing reaches the dead object.
    page_->SetObjects(0, nullptr);
    page_->Release();
    page_ = nullptr;
    EXPECT_TRUE(log_.destroyed);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1u, log_.Count("WM_DESTROY"));
    EXPECT_EQ(1u, site_.refs);  // the page gave its site back
}

TEST_F(PropertyPageTest, DirtyFlagReachesTheSiteAndApplyClearsIt) {
    MakePage();
    ASSERT_EQ(S_OK, page_->SetPageSite(&site_));
    EXPECT_EQ(2u, site_.refs);
    EXPECT_EQ(E_UNEXPECTED, page_->SetPageSite(&site_));
    EXPECT_EQ(E_UNEXPECTED, page_->Apply());  // nothing to apply to yet
    IUnknown* objects[] = {&edited_};
    ASSERT_EQ(S_OK, page_->SetObjects(1, objects));

    EXPECT_EQ(S_FALSE, page_->IsPageDirty());
    EXPECT_EQ(S_OK, page_->Apply());  // clean: nothing to do
    EXPECT_EQ(0u, log_.Count("OnApplyChanges"));

    object_->SetDirty(true);
    object_->SetDirty(true);
    EXPECT_EQ(std::vector<DWORD>{PROPPAGESTATUS_DIRTY}, site_.statusChanges);
    EXPECT_EQ(S_OK, page_->IsPageDirty());
    EXPECT_EQ(S_OK, page_->Apply());
    EXPECT_EQ(1u, log_.Count("OnApplyChanges"));
    EXPECT_EQ(S_FALSE, page_->IsPageDirty());

    object_->SetDirty(true);
    log_.applyResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, page_->Apply());
    EXPECT_EQ(S_OK, page_->IsPageDirty());  // the changes were not applied
    object_->SetDirty(false);               // the user undid them
    EXPECT_EQ(S_FALSE, page_->IsPageDirty());
    EXPECT_EQ(3u, site_.statusChanges.size());

    EXPECT_EQ(S_OK, page_->SetPageSite(nullptr));
    EXPECT_EQ(1u, site_.refs);
    EXPECT_EQ(E_UNEXPECTED, page_->SetPageSite(nullptr));
    object_->SetDirty(true);  // no site to tell
    EXPECT_EQ(3u, site_.statusChanges.size());
}

TEST_F(PropertyPageTest, KeyboardNavigationAndHelp) {
    MakePage();
    EXPECT_EQ(E_NOTIMPL, page_->Help(L"C:\\"));
    EXPECT_EQ(E_POINTER, page_->TranslateAccelerator(nullptr));
    MSG tab = {};
    tab.message = WM_KEYDOWN;
    tab.wParam = VK_TAB;
    EXPECT_EQ(S_FALSE, page_->TranslateAccelerator(&tab));  // no window

    Connect();
    RECT rect = {0, 0, 100, 100};
    ASSERT_EQ(S_OK, page_->Activate(parent_, &rect, FALSE));
    tab.hwnd = GetDlgItem(object_->Window(), IDC_TEST_BUTTON);
    EXPECT_EQ(S_OK, page_->TranslateAccelerator(&tab));
    MSG mouse = tab;
    mouse.message = WM_MOUSEMOVE;
    EXPECT_EQ(S_FALSE, page_->TranslateAccelerator(&mouse));
    MSG elsewhere = tab;
    elsewhere.hwnd = parent_;
    EXPECT_EQ(S_FALSE, page_->TranslateAccelerator(&elsewhere));
    EXPECT_EQ(S_OK, page_->Deactivate());
}

// The frame test's shared state: the timer callback and the class factory have no context.
PageLog g_frameLog;
struct FrameWatch {
    HWND page = nullptr;
    HWND frame = nullptr;
    bool pageVisible = false;
    bool pageInsideFrame = false;
    int ticks = 0;
    int ticksAtClose = 0;
    bool forced = false;  // had to close windows without finding the page
} g_watch;

CUnknown* WINAPI CTestPage::CreateForFrame(LPUNKNOWN outer, HRESULT*) {
    return new CTestPage(&g_frameLog, IDD_TEST_PAGE, outer);
}

BOOL CALLBACK CloseThreadWindow(HWND window, LPARAM owner) {
    if (window != reinterpret_cast<HWND>(owner) && IsWindowVisible(window))
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Runs inside the frame's modal loop: finds the frame from the page window and cancels it.
// Without a page window after five seconds it closes whatever this thread shows.
void CALLBACK CloseFrameTimer(HWND, UINT, UINT_PTR, DWORD) {
    ++g_watch.ticks;
    HWND page = g_frameLog.windowAtInit;
    if (!g_watch.frame && page && IsWindow(page)) {
        g_watch.page = page;
        g_watch.frame = GetAncestor(page, GA_ROOT);
        g_watch.pageVisible = IsWindowVisible(page) != FALSE;
        g_watch.pageInsideFrame = IsChild(g_watch.frame, page) != FALSE;
        g_watch.ticksAtClose = g_watch.ticks;
        PostMessageW(g_watch.frame, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else if (g_watch.frame && g_watch.ticks > g_watch.ticksAtClose + 10) {
        PostMessageW(g_watch.frame, WM_CLOSE, 0, 0);
    } else if (!g_watch.frame && g_watch.ticks > 50) {
        g_watch.forced = true;
        EnumThreadWindows(GetCurrentThreadId(), CloseThreadWindow, 0);
    }
}

TEST_F(PropertyPageTest, SystemPropertyFrameHostsThePage) {
    const LONG before = CBaseObject::ObjectsActive();
    const CFactoryTemplate table[] = {
        {L"Test page", &kTestPageClsid, CTestPage::CreateForFrame, nullptr, nullptr}};
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, FrameworkGetClassObject(table, 1, kTestPageClsid, IID_IClassFactory,
                                            reinterpret_cast<void**>(&factory)));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(kTestPageClsid, factory, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie));
    factory->Release();

    g_frameLog = PageLog();
    g_watch = FrameWatch();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseFrameTimer);
    ASSERT_NE(0u, timer);
    IUnknown* objects[] = {&edited_};
    CLSID pages[] = {kTestPageClsid};
    const HRESULT hr = OleCreatePropertyFrame(parent_, 0, 0, L"tw:Phase", 1, objects, 1, pages,
                                              LOCALE_USER_DEFAULT, 0, nullptr);
    KillTimer(nullptr, timer);
    CoRevokeClassObject(cookie);
    PumpMessages();

    EXPECT_EQ(S_OK, hr);
    EXPECT_FALSE(g_watch.forced);
    ASSERT_NE(nullptr, g_watch.frame);
    EXPECT_NE(g_watch.page, g_watch.frame);
    EXPECT_TRUE(g_watch.pageInsideFrame);
    EXPECT_TRUE(g_watch.pageVisible);
    EXPECT_FALSE(IsWindow(g_watch.page));

    // Connected to the edited object, activated inside the frame, deactivated at the end,
    // and released by the frame.
    EXPECT_EQ(1u, g_frameLog.Count("OnConnect"));
    EXPECT_LT(g_frameLog.IndexOf("OnConnect"), g_frameLog.IndexOf("WM_INITDIALOG"));
    EXPECT_LT(g_frameLog.IndexOf("WM_INITDIALOG"), g_frameLog.IndexOf("OnActivate"));
    EXPECT_LT(g_frameLog.IndexOf("OnActivate"), g_frameLog.IndexOf("OnDeactivate"));
    EXPECT_LT(g_frameLog.IndexOf("OnDeactivate"), g_frameLog.IndexOf("WM_DESTROY"));
    EXPECT_TRUE(g_frameLog.destroyed);
    EXPECT_EQ(before, CBaseObject::ObjectsActive());
    EXPECT_EQ(1u, edited_.refs);
}

}  // namespace
