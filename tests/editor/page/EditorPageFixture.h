// What the editor page tests share: the real DLL's plug-in and page in a single-threaded
// apartment, the page active in a test window, and helpers that read windows and drive menus
// and message boxes the way a user would.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <olectl.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include <vector>
#include "automation/win/MediaParamsInterfaces.h"
#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/Slider.h"
#include "editor/controls/ValueEdit.h"
#include "editor/page/PageIds.h"
#include "editor/page/PageLayout.h"
#include "editor/win/SkinResources.h"
#include "engine/win/VxPlugInProp.h"
#include "tests/editor/controls/ControlTestPage.h"
#include "tests/plugin/PlugInComSupport.h"

namespace pagetest {

inline void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline std::string Text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

inline std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// How many GDI objects the process holds, roughly: Wine's GetGuiResources reports 0, but its
// handle table gives new objects free slots, so after a fixed number of new objects the
// highest slot taken rises with every object still alive.
inline unsigned GdiObjectsInUse() {
    std::vector<HGDIOBJ> probes(1000);
    unsigned highest = 0;
    for (HGDIOBJ& probe : probes) {
        probe = CreateSolidBrush(0);
        highest = std::max(highest, unsigned(LOWORD(reinterpret_cast<UINT_PTR>(probe))));
    }
    for (HGDIOBJ probe : probes) DeleteObject(probe);
    return highest > probes.size() ? highest - unsigned(probes.size()) : 0;
}

// Records the capture reports the plug-in gives its host.
class RecordingCallback : public IMediaParamsUICallback {
public:
    int begins = 0, ends = 0;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMediaParamsUICallback)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CaptureBegin(DWORD*, DWORD) override { return ++begins, S_OK; }
    STDMETHODIMP CaptureValues(DWORD*, DWORD, MP_DATA*) override { return S_OK; }
    STDMETHODIMP CaptureEnd(DWORD*, DWORD) override { return ++ends, S_OK; }
};

// The host's window for every test: destroying a top-level window costs Wine seconds without a
// window manager.
inline HWND HostWindow() {
    static HWND window = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 500,
                                         300, nullptr, nullptr, nullptr, nullptr);
    return window;
}

// The plug-in and its page in a single-threaded apartment, the page active in a test window.
class EditorPage : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        twtest::PlugInDll dll;
        if (dll.Loaded()) dll.Register();
    }
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_TRUE(dll_.Loaded()) << "cannot load " << TW_PLUGIN_DLL_UNIX;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IBaseFilter, filter_.PutVoid()));
        ASSERT_EQ(S_OK, filter_.As(IID_IVxPlugInProp, &prop_));
        parent_ = HostWindow();
        ASSERT_NE(nullptr, parent_);
        Open();
    }
    void TearDown() override {
        Close();
        prop_.Reset();
        filter_.Reset();
        while (HWND child = GetWindow(parent_, GW_CHILD)) DestroyWindow(child);
        PumpMessages();
        EXPECT_EQ(S_OK, dll_.CanUnloadNow()) << "objects of the DLL are still alive";
        OleUninitialize();
    }

    void Open() {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TwPhasePropertyPage, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPropertyPage, page_.PutVoid()));
        IUnknown* objects[] = {filter_.Get()};
        ASSERT_EQ(S_OK, page_->SetObjects(1, objects));
        const RECT rect = {0, 0, 428, 222};
        ASSERT_EQ(S_OK, page_->Activate(parent_, &rect, FALSE));
        ASSERT_EQ(S_OK, page_->Show(SW_SHOW));  // as a frame does
        window_ = GetWindow(parent_, GW_CHILD);
        ASSERT_NE(nullptr, window_);
    }
    void Close() {
        if (!page_) return;
        page_->Deactivate();
        page_->SetObjects(0, nullptr);
        page_.Reset();
        window_ = nullptr;
    }

    HWND Item(int id) const { return GetDlgItem(window_, id); }
    std::string ItemText(int id) const { return Text(Item(id)); }
    int Get(HRESULT (STDMETHODCALLTYPE IVxPlugInProp::*getter)(int*)) {
        int value = -12345;
        (prop_.Get()->*getter)(&value);
        return value;
    }
    void Tick() { SendMessageA(window_, WM_TIMER, 0, 0); }
    void Click(int id) { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BTN_CLICK), LPARAM(Item(id))); }
    void Slide(int id, int value) { SendMessageA(window_, SLN_VALUECHANGED, WPARAM(value), LPARAM(Item(id))); }
    void Step(int id, int step) {
        SendMessageA(window_, EDN_DELTA, MAKEWPARAM(id, static_cast<WORD>(step)), LPARAM(Item(id)));
    }
    void Type(int id, const char* text) {
        SetWindowTextA(Item(id), text);
        SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), LPARAM(Item(id)));
        Step(id, 0);  // as the field does after a typed entry
    }
    // Opens a menu by pressing its arrow with the mouse and chooses its `downs`-th selectable
    // item with the keys: the menu opens with nothing highlighted, and the arrow key skips
    // separators.
    void ChooseFromMenu(int arrowId, int downs) {
        for (int i = 0; i < downs; ++i) PostMessageA(window_, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(window_, WM_KEYDOWN, VK_RETURN, 0);
        SendMessageA(Item(arrowId), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    }
    void SetAll(int phase, int width, int output, int mode, int post, int filter) {
        prop_->SetPhase(phase, 0);
        prop_->SetWidth(width, 0);
        prop_->SetOutput(output, 0);
        prop_->SetMode(mode, 0);
        prop_->SetMeterPost(post, 0);
        prop_->SetFilter(filter, 0);
    }
    std::vector<int> Params() {
        return {Get(&IVxPlugInProp::GetPhase), Get(&IVxPlugInProp::GetWidth),
                Get(&IVxPlugInProp::GetOutput), Get(&IVxPlugInProp::GetMode),
                Get(&IVxPlugInProp::GetMeterPost), Get(&IVxPlugInProp::GetFilter)};
    }
    // Loads a saved state into the plug-in; its notification must reach the page and refresh it.
    void ExpectALoadedStateShows() {
        ComPtr<IPersistStream> persist;
        ASSERT_EQ(S_OK, filter_.As(&persist));
        ComPtr<IStream> stream;
        ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
        SetAll(-45, 10, 0, 1, 1, 0);
        ASSERT_EQ(S_OK, persist->Save(stream.Get(), FALSE));
        SetAll(0, 100, 0, 0, 1, 0);
        const LARGE_INTEGER start = {};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        ASSERT_EQ(S_OK, persist->Load(stream.Get()));
        PumpMessages();
        EXPECT_EQ("-45", ItemText(IDC_PHASE_EDIT));
        EXPECT_EQ("10", ItemText(IDC_WIDTH_EDIT));
        EXPECT_EQ("MS phase", ItemText(IDC_MODE));
    }
    HBITMAP ClipImage(int id) {
        return reinterpret_cast<HBITMAP>(SendMessageA(Item(id), STM_GETIMAGE, IMAGE_BITMAP, 0));
    }

    twtest::PlugInDll dll_;
    ComPtr<IBaseFilter> filter_;
    ComPtr<IVxPlugInProp> prop_;
    ComPtr<IPropertyPage> page_;
    HWND parent_ = nullptr;
    HWND window_ = nullptr;
};

// The text of the first message box that appears on this thread, closed as soon as it is read.
inline std::string g_messageText;
// The button the closer presses: IDOK, or IDYES / IDNO for a question.
inline int g_messageAnswer = IDOK;

inline void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), [](HWND box, LPARAM) CALLBACK -> BOOL {
        if (ClassOf(box) != "#32770" || !IsWindowVisible(box)) return TRUE;
        EnumChildWindows(box, [](HWND child, LPARAM) CALLBACK -> BOOL {
            if (ClassOf(child) == "Static" && Text(child).size() > g_messageText.size())
                g_messageText = Text(child);
            return TRUE;
        }, 0);
        PostMessageA(box, WM_COMMAND, g_messageAnswer, 0);
        return FALSE;
    }, 0);
    if (!g_messageText.empty()) KillTimer(nullptr, id);
}


}  // namespace pagetest
