// The analysis page of the real DLL under Wine, opened beside the editor page: its tabs in
// Wine's property frame, its life, and its suggestions applied with real clicks after audio
// has streamed through Wine's filter graph.
#include <cmath>
#include <cstring>
#include <vector>

#include "analysis/PhaseAnalysis.h"

#include "editor/analysis/page/AnalysisPageIds.h"
#include "engine/win/PhaseAnalysisTap.h"
#include "plugin/PluginGuids.h"
#include "tests/analysis/InterleavedFloatSource.h"
#include "tests/editor/page/EditorPageFixture.h"
#include "tests/support/WineGraph.h"

using namespace pagetest;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Records the capture reports the plug-in gives its host, one word per report and parameter.
class CaptureLog : public IMediaParamsUICallback {
public:
    std::vector<std::string> events;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaParamsUICallback)
                   ? this
                   : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CaptureBegin(DWORD* p, DWORD n) override { return Log("begin", p, n); }
    STDMETHODIMP CaptureValues(DWORD* p, DWORD n, MP_DATA*) override { return Log("values", p, n); }
    STDMETHODIMP CaptureEnd(DWORD* p, DWORD n) override { return Log("end", p, n); }

private:
    HRESULT Log(const char* what, const DWORD* params, DWORD count) {
        for (DWORD i = 0; i < count; ++i) events.push_back(what + std::to_string(params[i]));
        return S_OK;
    }
};

// What a window shows, read back from the screen after its pending paint.
std::vector<COLORREF> Shown(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW);
    RECT r;
    GetClientRect(window, &r);
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return pixels;
}

// A click as the mouse makes it: press and release over the control.
void ClickWithMouse(HWND control) {
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// The editor page of the fixture and the analysis page beside it in the same host window.
class AnalysisPage : public EditorPage {
public:
    void SetUp() override {
        EditorPage::SetUp();
        if (!HasFatalFailure()) OpenAnalysis();
    }
    void TearDown() override {
        CloseAnalysis();
        EditorPage::TearDown();
    }
    void OpenAnalysis() {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TwPhaseAnalysisPage, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPropertyPage, analysis_.PutVoid()));
        IUnknown* objects[] = {filter_.Get()};
        ASSERT_EQ(S_OK, analysis_->SetObjects(1, objects));
        const RECT rect = {0, 0, 428, 222};
        ASSERT_EQ(S_OK, analysis_->Activate(parent_, &rect, FALSE));
        ASSERT_EQ(S_OK, analysis_->Show(SW_SHOW));
        analysisWindow_ = nullptr;
        for (HWND w = GetWindow(parent_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (GetDlgItem(w, IDC_BEST_MONO)) analysisWindow_ = w;
        ASSERT_NE(nullptr, analysisWindow_);
    }
    void CloseAnalysis() {
        if (!analysis_) return;
        analysis_->Deactivate();
        analysis_->SetObjects(0, nullptr);
        analysis_.Reset();
        analysisWindow_ = nullptr;
    }
    HWND AnalysisItem(int id) const { return GetDlgItem(analysisWindow_, id); }
    void AnalysisTick() { SendMessageA(analysisWindow_, WM_TIMER, 0, 0); }
    // Types into the page's field as the field reports a typed entry.
    void TypeInto(int id, const char* text) {
        SetWindowTextA(AnalysisItem(id), text);
        SendMessageA(analysisWindow_, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE),
                     LPARAM(AnalysisItem(id)));
    }

    // Streams two seconds of a stereo pair through Wine's graph into the plug-in: a chord on
    // the left and the same chord inverted on the right, so that the output correlates best
    // and loses least in mono at 180 degrees in LR phase.
    void StreamInvertedPair() {
        const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
        std::vector<BYTE> data(44100 * 2 * 4);
        auto* samples = reinterpret_cast<int16_t*>(data.data());
        for (size_t i = 0; i < data.size() / 4; ++i) {
            const double x = 0.3 * std::sin(0.031 * double(i)) + 0.2 * std::sin(0.17 * double(i));
            samples[2 * i] = static_cast<int16_t>(std::lround(x * 32767));
            samples[2 * i + 1] = static_cast<int16_t>(-samples[2 * i]);
        }
        Stream(format, data);
    }
    // Streams the file of the format and data through Wine's graph into the plug-in.
    void Stream(const WAVEFORMATEX& format, const std::vector<BYTE>& data) {
        const std::wstring path = twtest::WriteWave(format, data);
        {
            ComPtr<IGraphBuilder> graph;
            ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IGraphBuilder, graph.PutVoid()));
            ComPtr<IPin> parsed = twtest::AddWaveFile(graph.Get(), path);
            ASSERT_TRUE(parsed);
            ASSERT_EQ(S_OK, graph->AddFilter(filter_.Get(), L"tw:Phase"));
            IBaseFilter* sink = twtest::AddWine(graph.Get(), twtest::kNullRenderer, L"Sink");
            ASSERT_NE(nullptr, sink);
            ASSERT_EQ(S_OK,
                      graph->ConnectDirect(
                          parsed.Get(), twtest::PinOf(filter_.Get(), PINDIR_INPUT).Get(), nullptr));
            ASSERT_EQ(S_OK, graph->ConnectDirect(twtest::PinOf(filter_.Get(), PINDIR_OUTPUT).Get(),
                                                 twtest::PinOf(sink, PINDIR_INPUT).Get(), nullptr));
            twtest::GraphRun run(graph.Get());
            EXPECT_EQ(S_OK, run.WaitForCompletion(20000));
            EXPECT_EQ(S_OK, run.Stop());
            graph->RemoveFilter(filter_.Get());
        }
        DeleteFileW(path.c_str());
    }

    ComPtr<IPropertyPage> analysis_;
    HWND analysisWindow_ = nullptr;
};

TEST_F(AnalysisPage, OpensAndClosesWithoutLeavingAnythingBehind) {
    CloseAnalysis();
    PumpMessages();  // the editor beside it paints, and keeps what it paints with
    const unsigned gdiBefore = GdiObjectsInUse();
    for (int i = 0; i < 100; ++i) {
        OpenAnalysis();
        AnalysisTick();
        CloseAnalysis();
    }
    PumpMessages();
    // The editor page is the host window's only child again.
    EXPECT_EQ(window_, GetWindow(parent_, GW_CHILD));
    EXPECT_EQ(nullptr, GetWindow(window_, GW_HWNDNEXT));
    EXPECT_LT(GdiObjectsInUse(), gdiBefore + 50) << "GDI objects left behind by the page";
    // Every connection of the tap went with its page.
    ComPtr<IPhaseAnalysisTap> tap;
    if (SUCCEEDED(filter_.As(IID_IPhaseAnalysisTap, &tap))) {
        auto snapshot = std::make_unique<TapSnapshot>();
        EXPECT_EQ(VFW_E_WRONG_STATE, tap->GetSnapshot(snapshot.get()));
    }
    // A host that releases an active page without Deactivate or SetObjects(0).
    OpenAnalysis();
    analysis_.Reset();
    PumpMessages();
    EXPECT_EQ(nullptr, GetWindow(window_, GW_HWNDNEXT));
}

// Every control of the page names itself in a tooltip.
TEST_F(AnalysisPage, EveryControlHasATooltip) {
    const auto tipOf = [this](HWND tooltips, HWND control, char* text) {
        TTTOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = analysisWindow_;
        tool.uId = UINT_PTR(control);
        tool.lpszText = text;
        return SendMessageA(tooltips, TTM_GETTOOLINFOA, 0, LPARAM(&tool)) &&
               SendMessageA(tooltips, TTM_GETTEXTA, 512, LPARAM(&tool)) >= 0;
    };
    HWND tooltips = nullptr;
    char text[512] = {};
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w && !tooltips;
         w = GetWindow(w, GW_HWNDNEXT))
        if (ClassOf(w) == TOOLTIPS_CLASSA && tipOf(w, AnalysisItem(IDC_HOLD), text)) tooltips = w;
    ASSERT_NE(nullptr, tooltips);
    int controls = 0;
    for (HWND c = GetWindow(analysisWindow_, GW_CHILD); c;
         c = GetWindow(c, GW_HWNDNEXT), ++controls) {
        text[0] = 0;
        EXPECT_TRUE(tipOf(tooltips, c, text)) << GetDlgCtrlID(c);
        EXPECT_NE(std::string::npos, std::string(text).find(": "))
            << GetDlgCtrlID(c) << " " << text;
    }
    EXPECT_EQ(IDC_SCOPE - IDC_HOLD + 1, controls);
}

// A suggestion is one user edit: one undo point, each parameter's capture begun, given its
// value and ended as a slider drag on the editor reports it, and the open editor follows.
TEST_F(AnalysisPage, ApplyingASuggestionIsOneUserEditThatTheEditorFollows) {
    ComPtr<IPhaseAnalysisTap> tap;
    if (FAILED(filter_.As(IID_IPhaseAnalysisTap, &tap))) GTEST_SKIP() << "no analysis tap";
    const struct {
        int button, startMode;
        std::vector<std::string> events;  // Phase is parameter 0, Mode 3
    } cases[] = {
        {IDC_BEST_CORRELATION, 0, {"begin0", "values0", "end0"}},
        // From SC encode, which rotates as LR phase does: LR phase and the angle.
        {IDC_BEST_MONO, 3, {"begin3", "values3", "end3", "begin0", "values0", "end0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        SetAll(0, 100, 0, c.startMode, 1, 0);
        Tick();
        ClickWithMouse(AnalysisItem(IDC_ANALYSIS_RESET));
        StreamInvertedPair();
        AnalysisTick();
        ASSERT_TRUE(IsWindowEnabled(AnalysisItem(c.button)));
        CaptureLog host;
        ComPtr<IMediaParamsSetUICallback> setCallback;
        ASSERT_EQ(S_OK, filter_.As(IID_IMediaParamsSetUICallback, &setCallback));
        ASSERT_EQ(S_OK, setCallback->SetCallback(&host));
        ClickWithMouse(AnalysisItem(c.button));
        setCallback->SetCallback(nullptr);
        EXPECT_EQ(c.events, host.events);
        EXPECT_EQ(180, Get(&IVxPlugInProp::GetPhase));
        EXPECT_EQ(0, Get(&IVxPlugInProp::GetMode));
        Tick();
        EXPECT_EQ("180", ItemText(IDC_PHASE_EDIT)) << "the editor follows";
        EXPECT_EQ("LR phase", ItemText(IDC_MODE));
        ClickWithMouse(Item(IDC_UNDO));
        EXPECT_EQ(0, Get(&IVxPlugInProp::GetPhase)) << "one undo point takes back the whole edit";
        EXPECT_EQ(c.startMode, Get(&IVxPlugInProp::GetMode));
    }
}

// The curves hold every angle: a Phase set after the stream has stopped moves the current
// angle's marker at the next tick, but not once the mode no longer is the curves' own.
TEST_F(AnalysisPage, CurrentAngleFollowsPhaseWhileNothingStreams) {
    ComPtr<IPhaseAnalysisTap> tap;
    if (FAILED(filter_.As(IID_IPhaseAnalysisTap, &tap))) GTEST_SKIP() << "no analysis tap";
    SetAll(0, 100, 0, 0, 1, 0);
    StreamInvertedPair();
    AnalysisTick();
    const HWND curves = AnalysisItem(IDC_CURVES);
    const std::vector<COLORREF> atZero = Shown(curves);
    SetAll(90, 100, 0, 0, 1, 0);
    AnalysisTick();
    const std::vector<COLORREF> atNinety = Shown(curves);
    EXPECT_TRUE(atZero != atNinety) << "the marker moves to 90 degrees";
    SetAll(-90, 100, 0, 1, 1, 0);
    AnalysisTick();
    EXPECT_TRUE(atNinety == Shown(curves)) << "curves of LR phase show no angle of MS phase";
}

// With the window over a whole file streamed through Wine's graph, each suggestion is the
// angle twphase-render --analyze finds for the same file, mode and filter.
TEST_F(AnalysisPage, SuggestsWhatTheCommandLineFindsForTheSameFile) {
    ComPtr<IPhaseAnalysisTap> tap;
    if (FAILED(filter_.As(IID_IPhaseAnalysisTap, &tap))) GTEST_SKIP() << "no analysis tap";
    // Three seconds: two tones whose right copies are turned by different angles, and noise.
    std::vector<float> frames(44100 * 3 * 2);
    uint32_t seed = 12345;
    for (size_t i = 0; i < frames.size() / 2; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = 0.05 * (double(seed >> 8) / double(1u << 24) - 0.5);
        const double t = double(i) / 44100;
        frames[2 * i] =
            float(0.4 * std::sin(2 * kPi * 220 * t) + 0.2 * std::sin(2 * kPi * 1500 * t) + noise);
        frames[2 * i + 1] = float(0.4 * std::sin(2 * kPi * 220 * t - 2.0) +
                                  0.2 * std::sin(2 * kPi * 1500 * t + 0.7) - noise);
    }
    const WAVEFORMATEX format = {WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 44100 * 8, 8, 32, 0};
    std::vector<BYTE> data(frames.size() * sizeof(float));
    std::memcpy(data.data(), frames.data(), data.size());
    SetAll(0, 100, 0, 0, 1, 0);
    Tick();
    TypeInto(IDC_WINDOW_EDIT, "30");
    ClickWithMouse(AnalysisItem(IDC_ANALYSIS_RESET));
    Stream(format, data);
    AnalysisTick();
    const struct {
        int button;
        AnalysisObjective objective;
    } cases[] = {{IDC_BEST_CORRELATION, AnalysisObjective::kCorrelation},
                 {IDC_BEST_MONO, AnalysisObjective::kMonoLoss}};
    for (const auto& c : cases) {
        AnalysisSettings settings;
        settings.objective = c.objective;
        settings.modes[1] = false;
        settings.filters[1] = settings.filters[2] = false;
        CInterleavedFloatSource source(frames);
        PhaseAnalysisResult result;
        std::string error;
        ASSERT_TRUE(AnalyzePhase(source, settings, &result, &error)) << error;
        ASSERT_EQ(1u, result.cases.size());
        ASSERT_NE(0, result.cases[0].bestPhase) << "the file must ask for a turn";
        ClickWithMouse(AnalysisItem(c.button));
        EXPECT_EQ(result.cases[0].bestPhase, Get(&IVxPlugInProp::GetPhase)) << c.button;
        prop_->SetPhase(0, 0);
    }
}

// In MS phase the fold-down does not follow Phase: the page says so and offers no mono
// suggestion, while the correlation suggestion stays.
TEST_F(AnalysisPage, OffersNoMonoSuggestionInMsPhase) {
    ComPtr<IPhaseAnalysisTap> tap;
    if (FAILED(filter_.As(IID_IPhaseAnalysisTap, &tap))) GTEST_SKIP() << "no analysis tap";
    SetAll(0, 100, 0, 1, 1, 0);
    StreamInvertedPair();
    AnalysisTick();
    EXPECT_FALSE(IsWindowEnabled(AnalysisItem(IDC_BEST_MONO)));
    EXPECT_TRUE(IsWindowEnabled(AnalysisItem(IDC_BEST_CORRELATION)));
    const int before = Get(&IVxPlugInProp::GetPhase);
    ClickWithMouse(AnalysisItem(IDC_BEST_MONO));
    EXPECT_EQ(before, Get(&IVxPlugInProp::GetPhase));
}

// Wine's property frame shows the plug-in's pages as two tabs, the editor first; a click on the
// second tab shows the analysis page, whose controls the Tab key walks in order.
struct FrameWalk {
    std::vector<std::string> tabs;
    std::vector<int> stops;  // the analysis page's controls the focus reached
    HWND page = nullptr;
    int ticks = 0;
};
FrameWalk g_walk;

void CALLBACK WalkFrame(HWND, UINT, UINT_PTR, DWORD) {
    FrameWalk& w = g_walk;
    HWND frame = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND top, LPARAM out) CALLBACK -> BOOL {
            if (!IsWindowVisible(top) || !FindWindowExA(top, nullptr, "SysTabControl32", nullptr))
                return TRUE;
            *reinterpret_cast<HWND*>(out) = top;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&frame));
    if (!frame) return;
    HWND tabControl = FindWindowExA(frame, nullptr, "SysTabControl32", nullptr);
    const auto postTab = [] {
        HWND focus = GetFocus();
        PostMessageA(focus, WM_KEYDOWN, VK_TAB, 1);
        PostMessageA(focus, WM_KEYUP, VK_TAB, LPARAM(0xc0000001));
    };
    if (++w.ticks > 60) {
        PostMessageA(frame, WM_COMMAND, IDOK, 0);
    } else if (w.tabs.empty()) {
        const int count = int(SendMessageA(tabControl, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[64] = {};
            TCITEMA item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(tabControl, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            w.tabs.push_back(text);
        }
        RECT second = {};
        SendMessageA(tabControl, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
        const LPARAM at =
            MAKELPARAM((second.left + second.right) / 2, (second.top + second.bottom) / 2);
        SendMessageA(tabControl, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(tabControl, WM_LBUTTONUP, 0, at);
    } else if (!w.page) {
        HWND hold = nullptr;
        EnumChildWindows(
            frame,
            [](HWND child, LPARAM out) CALLBACK -> BOOL {
                if (GetDlgCtrlID(child) != IDC_HOLD || !IsWindowVisible(child)) return TRUE;
                *reinterpret_cast<HWND*>(out) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&hold));
        if (!hold) return;
        w.page = GetParent(hold);
        SetFocus(hold);
        postTab();
    } else {
        HWND focus = GetFocus();
        if (GetParent(focus) == w.page) w.stops.push_back(GetDlgCtrlID(focus));
        if (!w.stops.empty() && w.stops.back() == IDC_HOLD)
            PostMessageA(frame, WM_COMMAND, IDOK, 0);
        else
            postTab();
    }
}

TEST_F(AnalysisPage, ShowsAsTheSecondTabOfWinesPropertyFrame) {
    CloseAnalysis();
    Close();
    g_walk = FrameWalk();
    const UINT_PTR timer = SetTimer(nullptr, 0, 80, WalkFrame);
    ASSERT_NE(0u, timer);
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(S_OK, filter_.As(IID_ISpecifyPropertyPages, &specify));
    CAUUID pages = {};
    ASSERT_EQ(S_OK, specify->GetPages(&pages));
    IUnknown* objects[] = {filter_.Get()};
    EXPECT_EQ(S_OK, OleCreatePropertyFrame(parent_, 10, 10, L"tw:Phase", 1, objects, pages.cElems,
                                           pages.pElems, 0, 0, nullptr));
    KillTimer(nullptr, timer);
    CoTaskMemFree(pages.pElems);
    EXPECT_EQ((std::vector<std::string>{"tw:phase", "analysis"}), g_walk.tabs);
    EXPECT_NE(nullptr, g_walk.page) << "the second tab showed no analysis page";
    // Round the page and back: every control that takes keys once, no display, and no
    // suggestion button before there is anything to suggest.
    EXPECT_EQ((std::vector<int>{IDC_ANALYSIS_RESET, IDC_ANALYSIS_HELP, IDC_WINDOW_EDIT,
                                IDC_WINDOW_SLIDER, IDC_HOLD}),
              g_walk.stops);
}

}  // namespace
