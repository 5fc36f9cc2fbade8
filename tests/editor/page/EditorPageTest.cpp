// The editor page of the real DLL under Wine: created through its class factory and hosted in a
// test window or in Wine's property frame, worked through the messages its controls send, with
// the plug-in's parameters checked through IVxPlugInProp.
#include "tests/editor/page/EditorPageFixture.h"

using namespace pagetest;

TEST_F(EditorPage, LaysOutEveryControlInTabOrder) {
    PROPPAGEINFO info = {};
    ASSERT_EQ(S_OK, page_->GetPageInfo(&info));
    EXPECT_STREQ(L"tw:phase", info.pszTitle);
    EXPECT_EQ(428, info.size.cx);
    EXPECT_EQ(222, info.size.cy);
    CoTaskMemFree(info.pszTitle);

    HWND previous = nullptr;
    for (int i = 0; i < kPageLayoutCount; ++i) {
        const PageControlLayout& c = kPageLayout[i];
        HWND control = Item(c.id);
        ASSERT_NE(nullptr, control) << c.id;
        EXPECT_EQ(c.className, ClassOf(control)) << c.id;
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ((RECT{c.x, c.y, c.x + c.width, c.y + c.height}.left), r.left) << c.id;
        EXPECT_EQ(c.width, r.right - r.left) << c.id;
        EXPECT_EQ(c.y, r.top) << c.id;
        EXPECT_EQ(c.height, r.bottom - r.top) << c.id;
        // Each tab stop follows the one created before it.
        if (c.tabStop) {
            if (previous) EXPECT_EQ(control, GetNextDlgTabItem(window_, previous, FALSE)) << c.id;
            previous = control;
        }
    }
    for (int id : {IDC_CLIP_LEFT, IDC_CLIP_RIGHT}) {
        RECT r;
        GetWindowRect(Item(id), &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(id == IDC_CLIP_LEFT ? 341 : 371, r.left);
        EXPECT_EQ(45, r.top);
    }
    // The skin shows where no control sits: the page paints its background itself.
    HBITMAP skin = LoadSkinBitmap(GetModuleHandleA("twPhaseDX.dll"), IDB_SKIN, nullptr);
    ASSERT_NE(nullptr, skin);
    HDC skinDc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = SelectObject(skinDc, skin);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(window_);
    for (POINT p : {POINT{5, 5}, POINT{420, 200}, POINT{130, 71}, POINT{320, 150}})
        EXPECT_EQ(GetPixel(skinDc, p.x, p.y), GetPixel(dc, p.x, p.y)) << p.x << "," << p.y;
    ReleaseDC(window_, dc);
    SelectObject(skinDc, oldBitmap);
    DeleteDC(skinDc);
    DeleteObject(skin);
}

TEST_F(EditorPage, ShowsTheParametersAndFollowsChangesFromOutside) {
    SetAll(30, 150, -361, 2, 0, 1);
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(ID_ENGINE_NOTIFY, 100), 0);
    EXPECT_EQ("30", ItemText(IDC_PHASE_EDIT));
    EXPECT_EQ("150", ItemText(IDC_WIDTH_EDIT));
    EXPECT_EQ("-Inf.", ItemText(IDC_OUTPUT_EDIT));
    EXPECT_EQ("CS encode", ItemText(IDC_MODE));
    EXPECT_EQ("Pre", ItemText(IDC_METER_POST));
    EXPECT_EQ("FIR", ItemText(IDC_FILTER));
    EXPECT_EQ(30, SendMessageA(Item(IDC_PHASE_SLIDER), SLM_GETVALUE, 0, 0));
    EXPECT_EQ(-361, SendMessageA(Item(IDC_OUTPUT_SLIDER), SLM_GETVALUE, 0, 0));

    // Automation moves Phase: the controls follow on the next tick.
    ComPtr<IMediaParamsSdk> params;
    ASSERT_EQ(S_OK, filter_.As(IID_IMediaParams, &params));
    ASSERT_EQ(S_OK, params->SetParam(0, 0.75f));
    Tick();
    EXPECT_EQ(std::to_string(Get(&IVxPlugInProp::GetPhase)), ItemText(IDC_PHASE_EDIT));
    EXPECT_EQ(90, Get(&IVxPlugInProp::GetPhase));

    // A loaded state posts code 100 to the page, which refreshes everything.
    ExpectALoadedStateShows();
}

TEST_F(EditorPage, CommandsSetTheParametersAndRefreshTheControls) {
    struct Case {
        const char* what;
        void (*act)(EditorPage*);
        std::vector<int> params;  // phase, width, output, mode, post, filter afterwards
        int shownId;
        const char* shown;
    } const cases[] = {
        {"phase slider", [](EditorPage* t) { t->Slide(IDC_PHASE_SLIDER, 40); }, {40, 100, 0, 0, 1, 0}, IDC_PHASE_EDIT, "40"},
        {"width double-click", [](EditorPage* t) { t->Slide(IDC_WIDTH_SLIDER, 20); SendMessageA(t->window_, SLN_DOUBLECLICK, IDC_WIDTH_SLIDER, LPARAM(t->Item(IDC_WIDTH_SLIDER))); }, {0, 100, 0, 0, 1, 0}, IDC_WIDTH_EDIT, "100"},
        {"output step", [](EditorPage* t) { t->Step(IDC_OUTPUT_EDIT, -5); }, {0, 100, -5, 0, 1, 0}, IDC_OUTPUT_EDIT, "-0.5"},
        {"output End step", [](EditorPage* t) { t->Step(IDC_OUTPUT_EDIT, kEditEndStep); }, {0, 100, 60, 0, 1, 0}, IDC_OUTPUT_EDIT, "6.0"},
        {"typed output", [](EditorPage* t) { t->Type(IDC_OUTPUT_EDIT, "-12.34"); }, {0, 100, -123, 0, 1, 0}, IDC_OUTPUT_EDIT, "-12.3"},
        {"typed output beyond range", [](EditorPage* t) { t->Type(IDC_OUTPUT_EDIT, "12"); }, {0, 100, 60, 0, 1, 0}, IDC_OUTPUT_EDIT, "6.0"},
        {"typed -inf", [](EditorPage* t) { t->Type(IDC_OUTPUT_EDIT, "-inf"); }, {0, 100, -361, 0, 1, 0}, IDC_OUTPUT_EDIT, "-Inf."},
        {"typed phase", [](EditorPage* t) { t->Type(IDC_PHASE_EDIT, "500"); }, {180, 100, 0, 0, 1, 0}, IDC_PHASE_EDIT, "180"},
        {"typed nonsense", [](EditorPage* t) { t->Type(IDC_WIDTH_EDIT, "abc"); }, {0, 0, 0, 0, 1, 0}, IDC_WIDTH_EDIT, "0"},
        {"filter", [](EditorPage* t) { t->Click(IDC_FILTER); }, {0, 100, 0, 0, 1, 1}, IDC_FILTER, "FIR"},
        {"pre/post", [](EditorPage* t) { t->Click(IDC_METER_POST); }, {0, 100, 0, 0, 0, 0}, IDC_METER_POST, "Pre"},
        {"mode", [](EditorPage* t) { t->Click(IDC_MODE); }, {0, 100, 0, 1, 1, 0}, IDC_MODE, "MS phase"},
        {"mode menu", [](EditorPage* t) { t->ChooseFromMenu(IDC_MODE_MENU, 4); }, {0, 100, 0, 3, 1, 0}, IDC_MODE, "SC encode"},
        {"reset", [](EditorPage* t) { t->SetAll(10, 20, 30, 3, 0, 1); t->Click(IDC_RESET); }, {0, 100, 0, 0, 1, 0}, IDC_WIDTH_EDIT, "100"},
    };
    for (const Case& c : cases) {
        SetAll(0, 100, 0, 0, 1, 0);
        UpdateWindow(window_);
        c.act(this);
        EXPECT_EQ(c.params, Params()) << c.what;
        EXPECT_EQ(c.shown, ItemText(c.shownId)) << c.what;
    }
}

TEST_F(EditorPage, UndoTakesBackOneGestureAndRedoes) {
    Tick();  // the first tick marks the starting point
    Slide(IDC_PHASE_SLIDER, 20);
    Slide(IDC_PHASE_SLIDER, 40);
    Tick();
    Click(IDC_UNDO);
    EXPECT_EQ(0, Get(&IVxPlugInProp::GetPhase));
    EXPECT_EQ("0", ItemText(IDC_PHASE_EDIT));
    Click(IDC_UNDO);
    EXPECT_EQ(40, Get(&IVxPlugInProp::GetPhase));

    // Two gestures of the same control separated by a tick: only the last is undone.
    Slide(IDC_WIDTH_SLIDER, 50);
    Tick();
    Slide(IDC_WIDTH_SLIDER, 70);
    Tick();
    Click(IDC_UNDO);
    EXPECT_EQ(50, Get(&IVxPlugInProp::GetWidth));

    // Bypass is outside undo.
    Click(IDC_BYPASS);
    EXPECT_EQ(1, prop_->GetBypass());
    EXPECT_EQ(1, SendMessageA(Item(IDC_BYPASS), BTM_GETSTATE, 0, 0));
    Click(IDC_RESET);
    EXPECT_EQ(1, prop_->GetBypass());
    Click(IDC_UNDO);
    EXPECT_EQ(1, prop_->GetBypass());
    EXPECT_EQ(50, Get(&IVxPlugInProp::GetWidth));
}

TEST_F(EditorPage, EncodeModeLendsThePhaseAcrossTheModeButton) {
    SetAll(30, 100, 0, 1, 1, 0);
    Click(IDC_MODE);
    EXPECT_EQ(2, Get(&IVxPlugInProp::GetMode));
    EXPECT_EQ("90", ItemText(IDC_PHASE_EDIT));
    // Choosing "CS encode" again from the menu keeps the saved phase.
    ChooseFromMenu(IDC_MODE_MENU, 3);
    EXPECT_EQ(90, Get(&IVxPlugInProp::GetPhase));
    Click(IDC_MODE);
    Click(IDC_MODE);
    EXPECT_EQ(0, Get(&IVxPlugInProp::GetMode));
    EXPECT_EQ(30, Get(&IVxPlugInProp::GetPhase));

    // A phase moved away from 90 in mode 2 stays.
    prop_->SetMode(1, 0);
    Click(IDC_MODE);
    Slide(IDC_PHASE_SLIDER, 45);
    Click(IDC_MODE);
    Click(IDC_MODE);
    EXPECT_EQ(45, Get(&IVxPlugInProp::GetPhase));
}

TEST_F(EditorPage, SetupsSwitchAndCopy) {
    // How the menu's arrow looks up, with the focus its press takes.
    HWND arrow = Item(IDC_SETUP_MENU);
    SetFocus(arrow);
    const controltest::CPixels up(arrow);
    SetAll(11, 100, 0, 0, 1, 0);
    Tick();  // the inactive setup starts as a copy
    ChooseFromMenu(IDC_SETUP_MENU, 3);  // "Copy to B"
    Slide(IDC_PHASE_SLIDER, 22);
    Click(IDC_SETUP);
    EXPECT_EQ(11, Get(&IVxPlugInProp::GetPhase));
    EXPECT_EQ("Setup B", ItemText(IDC_SETUP));
    Click(IDC_SETUP);
    EXPECT_EQ(22, Get(&IVxPlugInProp::GetPhase));
    EXPECT_EQ("Setup A", ItemText(IDC_SETUP));
    ChooseFromMenu(IDC_SETUP_MENU, 4);  // "Copy from B"
    EXPECT_EQ(11, Get(&IVxPlugInProp::GetPhase));
    EXPECT_EQ("11", ItemText(IDC_PHASE_EDIT));
    ChooseFromMenu(IDC_SETUP_MENU, 2);  // "Setup B"
    EXPECT_EQ("Setup B", ItemText(IDC_SETUP));
    EXPECT_EQ(1, prop_->GetSetup());
    // The arrow comes back up after the menu.
    EXPECT_TRUE(controltest::CPixels(arrow).Differences(up).Empty());
}

TEST_F(EditorPage, ClipIndicatorsRunDownAndClear) {
    Tick();
    const HBITMAP off = ClipImage(IDC_CLIP_LEFT);
    ASSERT_NE(nullptr, off);
    prop_->SetClipLeft(0, 3);
    std::vector<HBITMAP> shown;
    for (int i = 0; i < 4; ++i) {
        Tick();
        shown.push_back(ClipImage(IDC_CLIP_LEFT));
    }
    EXPECT_EQ(shown[0], shown[1]);  // bright while the counter runs down
    EXPECT_NE(shown[1], shown[2]);  // then dim
    EXPECT_EQ(shown[2], shown[3]);  // and dim until cleared
    EXPECT_NE(off, shown[0]);
    EXPECT_EQ(off, ClipImage(IDC_CLIP_RIGHT));
    // A clip the streaming thread raises again while dim is not erased by the tick.
    prop_->SetClipLeft(0, 1);
    Tick();
    EXPECT_EQ(1, prop_->GetClipLeft(0));
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDC_CLIP_RIGHT, STN_CLICKED), LPARAM(Item(IDC_CLIP_RIGHT)));
    Tick();
    EXPECT_EQ(off, ClipImage(IDC_CLIP_LEFT));
    EXPECT_EQ(0, prop_->GetClipLeft(0));
}

TEST_F(EditorPage, AHeldControlKeepsTheHostsCaptureOpenUntilTheNextTick) {
    RecordingCallback host;
    ComPtr<IMediaParamsSetUICallback> setCallback;
    ASSERT_EQ(S_OK, filter_.As(IID_IMediaParamsSetUICallback, &setCallback));
    ASSERT_EQ(S_OK, setCallback->SetCallback(&host));
    Tick();
    // A field's step of 0 only rewrites its text: the host sees no edit it could record.
    Step(IDC_PHASE_EDIT, 0);
    Tick();
    EXPECT_EQ(0, host.begins);

    HWND slider = Item(IDC_PHASE_SLIDER);
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Slide(IDC_PHASE_SLIDER, 10);
    Slide(IDC_PHASE_SLIDER, 20);
    Tick();
    EXPECT_EQ(1, host.begins);
    EXPECT_EQ(0, host.ends) << "the capture ended while the slider was held";
    SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Tick();
    EXPECT_EQ(1, host.ends);
    setCallback->SetCallback(nullptr);
}

TEST_F(EditorPage, AnswersThePresetsMenuWithTheCurrentValues) {
    SetAll(-5, 120, -60, 3, 0, 1);
    char* text = nullptr;
    EXPECT_EQ(0, SendMessageA(window_, 10900, reinterpret_cast<WPARAM>(&text), 0));
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("-5,120,-60,3,0,1", text);
    delete[] text;
    // The answer goes through a pointer: another thread's send is refused.
    text = nullptr;
    controltest::SendFromAnotherThread(window_, 10900, reinterpret_cast<WPARAM>(&text), 0);
    EXPECT_EQ(nullptr, text);
}

TEST_F(EditorPage, OpensAndClosesWithoutLeavingAnythingBehind) {
    Close();
    Open();
    Close();
    const unsigned gdiBefore = GdiObjectsInUse();
    for (int i = 0; i < 100; ++i) {
        Open();
        Tick();
        Close();
    }
    PumpMessages();
    EXPECT_EQ(nullptr, GetWindow(parent_, GW_CHILD));
    EXPECT_LT(GdiObjectsInUse(), gdiBefore + 50) << "GDI objects left behind by the page";

    // The plug-in's two notification slots are free again: a new page hears a state load.
    Open();
    ExpectALoadedStateShows();

    // A host that releases an active page without Deactivate or SetObjects(0): the page still
    // cleans up, its slot included.
    page_.Reset();
    window_ = nullptr;
    PumpMessages();
    EXPECT_EQ(nullptr, GetWindow(parent_, GW_CHILD));
    for (int i = 0; i < 2; ++i) {
        Open();
        page_.Reset();
    }
    Open();
    ExpectALoadedStateShows();
}

TEST_F(EditorPage, RunsInsideWinesPropertyFrame) {
    Close();
    static std::string seenPhase;
    static bool seenPage = false;
    seenPhase.clear();
    seenPage = false;
    prop_->SetPhase(-33, 0);
    // From inside the modal frame: read the page, press its Reset, close with OK.
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) CALLBACK {
        KillTimer(nullptr, id);
        EnumThreadWindows(GetCurrentThreadId(), [](HWND frame, LPARAM) CALLBACK -> BOOL {
            HWND phase = nullptr;
            EnumChildWindows(frame, [](HWND child, LPARAM out) CALLBACK -> BOOL {
                if (GetDlgCtrlID(child) != IDC_PHASE_EDIT) return TRUE;
                *reinterpret_cast<HWND*>(out) = child;
                return FALSE;
            }, reinterpret_cast<LPARAM>(&phase));
            if (!phase) return TRUE;
            seenPage = true;
            seenPhase = Text(phase);
            HWND page = GetParent(phase);
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_RESET, BTN_CLICK), 0);
            PostMessageA(frame, WM_COMMAND, IDOK, 0);
            return FALSE;
        }, 0);
    });
    ASSERT_NE(0u, timer);
    IUnknown* objects[] = {filter_.Get()};
    CLSID pages[] = {CLSID_TwPhasePropertyPage};
    EXPECT_EQ(S_OK, OleCreatePropertyFrame(parent_, 10, 10, L"tw:Phase", 1, objects, 1, pages, 0,
                                           0, nullptr));
    EXPECT_TRUE(seenPage);
    EXPECT_EQ("-33", seenPhase);
    EXPECT_EQ(0, Get(&IVxPlugInProp::GetPhase));
}


// A copy of the DLL in a folder without the help file: the page names the file it looked for
// beside its own module, every time it is asked.
TEST_F(EditorPage, HelpNamesTheMissingFileBesideTheModule) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "twphase-help-test";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "\\twPhaseDX.dll";
    ASSERT_TRUE(CopyFileW(twtest::PlugInDllPath().c_str(),
                          std::wstring(copy.begin(), copy.end()).c_str(), FALSE));
    HMODULE module = LoadLibraryA(copy.c_str());
    ASSERT_NE(nullptr, module);
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClassObject(CLSID_TwPhasePropertyPage, IID_IClassFactory, factory.PutVoid()));
        ComPtr<IPropertyPage> page;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IPropertyPage, page.PutVoid()));
        IUnknown* objects[] = {filter_.Get()};
        ASSERT_EQ(S_OK, page->SetObjects(1, objects));
        const RECT rect = {0, 0, 428, 222};
        ASSERT_EQ(S_OK, page->Activate(parent_, &rect, FALSE));
        HWND window = nullptr;
        for (HWND w = GetWindow(parent_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (w != window_) window = w;

        const std::string expected =
            "Unable to open the Corvane:tw Phase help file:\n" + folder + "\\CorvanetwPhase.chm";
        for (int attempt = 0; attempt < 2; ++attempt) {
            g_messageText.clear();
            SetTimer(nullptr, 0, 100, CloseMessageBox);
            if (attempt == 0) EXPECT_EQ(S_OK, page->Help(nullptr));
            else SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_HELP, BTN_CLICK), 0);
            EXPECT_EQ(expected, g_messageText) << "attempt " << attempt;
        }
        page->Deactivate();
        page->SetObjects(0, nullptr);
    }
    FreeLibrary(module);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}
