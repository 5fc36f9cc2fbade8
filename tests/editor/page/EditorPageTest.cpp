// The editor page of the real DLL under Wine: created through its class factory and hosted in a
// test window or in Wine's property frame, worked through the messages its controls send, with
// the plug-in's parameters checked through IVxPlugInProp.
#include "editor/analysis/page/AnalysisPageIds.h"
#include "tests/editor/page/EditorPageFixture.h"

using namespace pagetest;

namespace {

// The page background as the skin image draws it, one 0xRRGGBB value per pixel, top row first.
struct SkinPixels {
    std::vector<DWORD> pixels = std::vector<DWORD>(428 * 222);
    DWORD At(int x, int y) const { return pixels[y * 428 + x]; }
    int Channel(int x, int y, int shift) const { return (At(x, y) >> shift) & 0xff; }
    // The frames around the meters and the strip behind the button row.
    bool Dark(int x, int y) const {
        return Channel(x, y, 16) < 0x38 && Channel(x, y, 8) < 0x38 && Channel(x, y, 0) < 0x38;
    }
    // The ink of the engraved labels ("Phase", "dB", ...), 0x2e2f33.
    bool Ink(int x, int y) const {
        return std::abs(Channel(x, y, 16) - 0x2e) <= 1 && std::abs(Channel(x, y, 8) - 0x2f) <= 1 &&
               std::abs(Channel(x, y, 0) - 0x33) <= 1;
    }
};

SkinPixels ReadSkin(HBITMAP skin) {
    SkinPixels s;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 428, -222, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, skin, 0, 222, s.pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return s;
}

// The bounding box of the dark area of the skin around (x, y).
RECT DarkAreaAround(const SkinPixels& s, int x, int y) {
    RECT box = {x, y, x + 1, y + 1};
    std::vector<bool> seen(428 * 222);
    std::vector<POINT> todo = {{x, y}};
    while (!todo.empty()) {
        const POINT p = todo.back();
        todo.pop_back();
        if (p.x < 0 || p.y < 0 || p.x >= 428 || p.y >= 222 || seen[p.y * 428 + p.x] || !s.Dark(p.x, p.y))
            continue;
        seen[p.y * 428 + p.x] = true;
        box = {std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x + 1),
               std::max(box.bottom, p.y + 1)};
        for (POINT n : {POINT{p.x + 1, p.y}, POINT{p.x - 1, p.y}, POINT{p.x, p.y + 1}, POINT{p.x, p.y - 1}})
            todo.push_back(n);
    }
    return box;
}

// The boxes of the engraved words: ink pixels less than 3 pixels apart belong to one word.
std::vector<RECT> LabelBoxes(const SkinPixels& s) {
    struct Word {
        RECT box;
        int pixels;
    };
    const auto adjacent = [](const RECT& a, const RECT& b) {
        return std::max(a.left - b.right, b.left - a.right) < 3 &&
               std::max(a.top - b.bottom, b.top - a.bottom) < 3;
    };
    std::vector<Word> words;
    for (int y = 0; y < 222; ++y)
        for (int x = 0; x < 428; ++x)
            if (s.Ink(x, y)) words.push_back({{x, y, x + 1, y + 1}, 1});
    for (size_t i = 0; i < words.size(); ++i)
        for (size_t j = i + 1; j < words.size(); ++j) {
            if (!adjacent(words[i].box, words[j].box)) continue;
            UnionRect(&words[i].box, &words[i].box, &words[j].box);
            words[i].pixels += words[j].pixels;
            words.erase(words.begin() + j);
            j = i;  // the grown box may reach words already passed over
        }
    std::vector<RECT> boxes;  // a stray pixel of the same colour is no word
    for (const Word& w : words)
        if (w.pixels >= 3) boxes.push_back(w.box);
    return boxes;
}

// Whether box and control sit side by side (or one above the other) at most 8 pixels apart,
// the box's middle within the control's extent on the other axis.
bool Beside(const RECT& box, const RECT& control) {
    const LONG cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    const LONG gapX = std::max(control.left - box.right, box.left - control.right);
    const LONG gapY = std::max(control.top - box.bottom, box.top - control.bottom);
    return (gapX >= 0 && gapX <= 8 && cy >= control.top && cy < control.bottom) ||
           (gapY >= 0 && gapY <= 8 && cx >= control.left && cx < control.right);
}

}  // namespace

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
        // Each tab stop follows the one created before it.
        if (c.tabStop) {
            if (previous) {
                EXPECT_EQ(control, GetNextDlgTabItem(window_, previous, FALSE)) << c.id;
            }
            previous = control;
        }
    }

    // Where the controls are is checked against the skin, which is drawn around them: every
    // control inside the panel and clear of the others, each meter filling the dark frame drawn
    // for it, each control wholly on the dark button strip (and centred on it) or wholly off it,
    // and every engraved label uncovered with a control beside it.
    HBITMAP skin = LoadSkinBitmap(GetModuleHandleA("twPhaseDX.dll"), IDB_SKIN, nullptr);
    ASSERT_NE(nullptr, skin);
    const SkinPixels art = ReadSkin(skin);
    std::vector<std::pair<int, RECT>> controls;
    for (HWND c = GetWindow(window_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        controls.push_back({GetDlgCtrlID(c), r});
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 428 && r.bottom <= 222) << GetDlgCtrlID(c);
        for (size_t i = 0; i + 1 < controls.size(); ++i) {
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &controls[i].second, &r))
                << controls[i].first << " and " << GetDlgCtrlID(c) << " overlap";
        }
        if (ClassOf(c) == kMeterClassName) {
            const RECT frame = DarkAreaAround(art, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
            EXPECT_TRUE(frame.left == r.left - 1 && frame.top == r.top - 1 &&
                        frame.right == r.right + 1 && frame.bottom == r.bottom + 1) << GetDlgCtrlID(c);
        }
        int dark = 0;
        for (int y = r.top + 1; y < r.bottom - 1; ++y)
            for (int x = r.left + 1; x < r.right - 1; ++x) dark += art.Dark(x, y);
        EXPECT_TRUE(dark == 0 || dark == (r.right - r.left - 2) * (r.bottom - r.top - 2)) << GetDlgCtrlID(c);
        if (dark) {  // and in the middle of the strip's height
            const RECT strip = DarkAreaAround(art, r.left + 1, r.top + 1);
            EXPECT_LE(std::abs((strip.top + strip.bottom) - (r.top + r.bottom)), 2) << GetDlgCtrlID(c);
        }
    }
    const std::vector<RECT> labels = LabelBoxes(art);
    EXPECT_LE(11u, labels.size());  // Filter, Mode, Phase, Width, Output, Meter, units, L and R
    for (const RECT& label : labels) {
        bool beside = false;
        for (const auto& c : controls) {
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &label, &c.second)) << c.first << " covers a label";
            beside = beside || Beside(label, c.second);
        }
        EXPECT_TRUE(beside) << "no control beside the label at " << label.left << "," << label.top;
    }

    // The skin shows where no control sits: the page paints its background itself.
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

// Every control of the page has a tooltip, and hovering over one shows it.
TEST_F(EditorPage, EveryControlHasATooltipThatShowsOnHover) {
    // The page's tooltip window: the one that knows its Bypass button.
    const auto knows = [this](HWND tooltips, HWND control, char* text) {
        TTTOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = window_;
        tool.uId = UINT_PTR(control);
        tool.lpszText = text;
        if (!SendMessageA(tooltips, TTM_GETTOOLINFOA, 0, LPARAM(&tool))) return false;
        SendMessageA(tooltips, TTM_GETTEXTA, 512, LPARAM(&tool));
        return true;
    };
    HWND tooltips = nullptr;
    char text[512] = {};
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w && !tooltips; w = GetWindow(w, GW_HWNDNEXT))
        if (ClassOf(w) == TOOLTIPS_CLASSA && knows(w, Item(IDC_BYPASS), text)) tooltips = w;
    ASSERT_NE(nullptr, tooltips);
    std::vector<HWND> controls;
    for (HWND c = GetWindow(window_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) controls.push_back(c);
    ASSERT_EQ(size_t(kPageLayoutCount + 2), controls.size());  // and the two clip lights
    std::vector<std::string> texts;
    for (HWND c : controls) {
        text[0] = 0;
        EXPECT_TRUE(knows(tooltips, c, text)) << GetDlgCtrlID(c);
        EXPECT_NE(std::string::npos, std::string(text).find(": ")) << GetDlgCtrlID(c) << " " << text;
        texts.push_back(text);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts.end(), std::adjacent_find(texts.begin(), texts.end())) << "two controls share a tip";

    // The pointer rests on the width slider: its tip shows.
    RECT r;
    GetWindowRect(Item(IDC_WIDTH_SLIDER), &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(Item(IDC_WIDTH_SLIDER), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    for (int i = 0; i < 40 && !IsWindowVisible(tooltips); ++i) {
        Sleep(50);
        PumpMessages();
    }
    EXPECT_TRUE(IsWindowVisible(tooltips));
    TTTOOLINFOA current = {};
    current.cbSize = TTTOOLINFOA_V2_SIZE;
    ASSERT_TRUE(SendMessageA(tooltips, TTM_GETCURRENTTOOLA, 0, LPARAM(&current)));
    EXPECT_EQ(UINT_PTR(Item(IDC_WIDTH_SLIDER)), current.uId);
    knows(tooltips, Item(IDC_WIDTH_SLIDER), text);
    EXPECT_EQ(0u, std::string(text).find("Width: ")) << text;
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
        {"filter after FIR", [](EditorPage* t) { t->SetAll(0, 100, 0, 0, 1, 1); t->Click(IDC_FILTER); }, {0, 100, 0, 0, 1, 2}, IDC_FILTER, "Precise"},
        {"filter after precise", [](EditorPage* t) { t->SetAll(0, 100, 0, 0, 1, 2); t->Click(IDC_FILTER); }, {0, 100, 0, 0, 1, 0}, IDC_FILTER, "IIR"},
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

// The sliders reach each end of their parameter's range from the keyboard, and the mode menu
// offers every mode by name in the order of their values.
TEST_F(EditorPage, SlidersSpanTheRangesAndTheModeMenuNamesEveryMode) {
    const struct {
        int sliderId, param;
        HRESULT(STDMETHODCALLTYPE IVxPlugInProp::*getter)(int*);
    } sliders[] = {{IDC_PHASE_SLIDER, kParamPhase, &IVxPlugInProp::GetPhase},
                   {IDC_WIDTH_SLIDER, kParamWidth, &IVxPlugInProp::GetWidth},
                   {IDC_OUTPUT_SLIDER, kParamOutput, &IVxPlugInProp::GetOutput}};
    for (const auto& s : sliders) {
        const ParamDescriptor& d = kParamDescriptors[s.param];
        for (WPARAM key : {VK_END, VK_HOME}) {
            SendMessageA(Item(s.sliderId), WM_KEYDOWN, key, 1);
            EXPECT_EQ(key == VK_END ? d.max : d.min, Get(s.getter)) << d.name;
        }
    }
    const ParamDescriptor& modes = kParamDescriptors[kParamMode];
    for (int item = 1; item <= modes.ValueCount(); ++item) {
        ChooseFromMenu(IDC_MODE_MENU, item);
        EXPECT_EQ(modes.min + item - 1, Get(&IVxPlugInProp::GetMode));
        EXPECT_EQ(modes.ChoiceOf(modes.min + item - 1).name, ItemText(IDC_MODE));
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

// A menu choice of what is already in force changes nothing, so Undo still takes back the drag
// before it.
TEST_F(EditorPage, ChoosingWhatIsInForceKeepsTheUndoPoint) {
    struct Case {
        const char* what;
        int arrowId, downs;
    } const cases[] = {{"Setup A", IDC_SETUP_MENU, 1}, {"LR phase", IDC_MODE_MENU, 1}};
    Tick();
    for (const Case& c : cases) {
        Slide(IDC_PHASE_SLIDER, 40);
        Tick();
        ChooseFromMenu(c.arrowId, c.downs);
        Click(IDC_UNDO);
        EXPECT_EQ(0, Get(&IVxPlugInProp::GetPhase)) << c.what;
        Tick();
    }
}

// A page handed another plug-in while open shows that plug-in's state, bypass and setup
// included, and its commands act on it.
TEST_F(EditorPage, AnotherPlugInShowsItsOwnBypassAndSetup) {
    ComPtr<IBaseFilter> other;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     other.PutVoid()));
    ComPtr<IVxPlugInProp> otherProp;
    ASSERT_EQ(S_OK, other.As(IID_IVxPlugInProp, &otherProp));
    otherProp->SetBypass(1);
    otherProp->SelectSetup(1);
    otherProp->SetPhase(25, 0);
    const auto showPlugIn = [this](IUnknown* object) {
        IUnknown* objects[] = {object};
        EXPECT_EQ(S_OK, page_->SetObjects(1, objects));
        return ItemText(IDC_PHASE_EDIT) + ", " + ItemText(IDC_SETUP) + ", bypass " +
               std::to_string(SendMessageA(Item(IDC_BYPASS), BTM_GETSTATE, 0, 0));
    };
    EXPECT_EQ("25, Setup B, bypass 1", showPlugIn(other.Get()));
    Click(IDC_BYPASS);
    EXPECT_EQ(0, otherProp->GetBypass());
    EXPECT_EQ("0, Setup A, bypass 0", showPlugIn(filter_.Get()));
    otherProp->SetBypass(1);
    EXPECT_EQ("25, Setup B, bypass 1", showPlugIn(other.Get()));
    showPlugIn(filter_.Get());
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


// A copy of the DLL in a folder without the help file: each page names the file it looked for
// beside its own module, every time it is asked, from the frame or from its "?" button.
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
    const struct {
        const CLSID* page;
        int helpButton;
    } pages[] = {{&CLSID_TwPhasePropertyPage, IDC_HELP},
                 {&CLSID_TwPhaseAnalysisPage, IDC_ANALYSIS_HELP}};
    for (const auto& p : pages) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClassObject(*p.page, IID_IClassFactory, factory.PutVoid()));
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
            else SendMessageA(window, WM_COMMAND, MAKEWPARAM(p.helpButton, BTN_CLICK), 0);
            EXPECT_EQ(expected, g_messageText) << "attempt " << attempt << ", button " << p.helpButton;
        }
        page->Deactivate();
        page->SetObjects(0, nullptr);
    }
    FreeLibrary(module);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}
