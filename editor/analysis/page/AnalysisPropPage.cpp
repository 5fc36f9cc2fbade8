// CAnalysisPropPage: the page's COM side, its window's life, the timer and the commands.
#include "editor/analysis/page/AnalysisPropPage.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "editor/ValueText.h"
#include "editor/analysis/AnalysisTexts.h"
#include "editor/analysis/AnalysisView.h"
#include "editor/analysis/page/AnalysisPageIds.h"
#include "editor/analysis/page/AnalysisPageLayout.h"
#include "editor/controls/ControlClasses.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/Slider.h"
#include "editor/controls/ValueEdit.h"
#include "editor/page/PageTooltips.h"

namespace {

constexpr UINT_PTR kTimerId = 0;
constexpr int kDiscreteUndo = -2;
constexpr int kTypedTextChars = 29;

struct TipOf {
    int controlId;
    AnalysisTip tip;
};
const TipOf kTips[] = {
    {IDC_HOLD, AnalysisTip::kHold},
    {IDC_ANALYSIS_RESET, AnalysisTip::kReset},
    {IDC_BEST_MONO, AnalysisTip::kBestMono},
    {IDC_BEST_CORRELATION, AnalysisTip::kBestCorrelation},
    {IDC_ANALYSIS_HELP, AnalysisTip::kHelp},
    {IDC_WINDOW_EDIT, AnalysisTip::kWindowField},
    {IDC_WINDOW_SLIDER, AnalysisTip::kWindowSlider},
    {IDC_INPUT_CORRELATION, AnalysisTip::kInputCorrelation},
    {IDC_OUTPUT_CORRELATION, AnalysisTip::kOutputCorrelation},
    {IDC_INPUT_READOUT, AnalysisTip::kInputCorrelation},
    {IDC_OUTPUT_READOUT, AnalysisTip::kOutputCorrelation},
    {IDC_CURVES, AnalysisTip::kCurves},
    {IDC_SCOPE, AnalysisTip::kScope},
};

}  // namespace

CUnknown* WINAPI CAnalysisPropPage::CreateInstance(LPUNKNOWN outer, HRESULT* hr) {
    auto* page = new (std::nothrow) CAnalysisPropPage(outer, hr);
    if (!page && hr) *hr = E_OUTOFMEMORY;
    return page;
}

CAnalysisPropPage::CAnalysisPropPage(LPUNKNOWN outer, HRESULT* hr)
    : CPlugInPropPage(TEXT("Corvane:tw Phase Analysis Page"), outer, IDD_ANALYSIS_PAGE,
                      IDS_ANALYSIS_TITLE, "::/analysis.html"),
      m_display(new (std::nothrow) AnalysisDisplay) {
    if (!m_display && hr) *hr = E_OUTOFMEMORY;
    RegisterAnalysisPlotClass(ResourceInstance());
}

CAnalysisPropPage::~CAnalysisPropPage() {
    // Destroyed while the derived page still exists, so WM_DESTROY does its work here.
    if (m_hwnd) DestroyWindow(m_hwnd);
    if (m_prop) OnDisconnect();
}

void CAnalysisPropPage::OnPlugInConnected(IUnknown* pUnknown) {
    pUnknown->QueryInterface(IID_IPhaseAnalysisTap, m_tap.PutVoid());
    if (m_hwnd) {
        ClearDisplay();
        ConnectTap();
    }
}

void CAnalysisPropPage::OnPlugInDisconnecting() {
    DisconnectTap();
    m_tap.Reset();
}

void CAnalysisPropPage::ConnectTap() {
    if (!m_tap || m_tapConnected || !m_hwnd) return;
    m_tapConnected = SUCCEEDED(m_tap->Connect(m_windowSeconds));
}

void CAnalysisPropPage::DisconnectTap() {
    if (m_tap && m_tapConnected) m_tap->Disconnect();
    m_tapConnected = false;
}

INT_PTR CAnalysisPropPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_INITDIALOG:
            return OnInitDialog(hwnd);
        case WM_DESTROY:
            OnDestroy(hwnd);
            return 0;
        case WM_ERASEBKGND:
            return PaintSkin(reinterpret_cast<HDC>(wParam));
        case WM_TIMER:
            if (wParam == kTimerId) OnTimer();
            return 0;
        case WM_COMMAND:
            if (m_prop) OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 1;
        case SLN_VALUECHANGED:
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_WINDOW_SLIDER)
                SetWindowSeconds(static_cast<int>(wParam));
            return 1;
        case EDN_DELTA:
            if (LOWORD(wParam) == IDC_WINDOW_EDIT)
                SetWindowSeconds(m_windowSeconds + static_cast<short>(HIWORD(wParam)));
            return 1;
        case WM_LBUTTONDOWN:
            // A click on the page background drops the text being typed into the field.
            if (InlineEditorWindow) DestroyWindow(InlineEditorWindow);
            return 0;
        default:
            return 0;
    }
}

INT_PTR CAnalysisPropPage::OnInitDialog(HWND window) {
    const HMODULE module = ResourceInstance();
    const HFONT shown = LoadSkinAndFont(IDB_ANALYSIS_SKIN);
    CreateLayoutControls(window, module, m_skin, shown, kAnalysisLayout, kAnalysisLayoutCount);
    m_tooltips = CreateTooltipWindow(window);
    for (const TipOf& t : kTips)
        AddControlTooltip(m_tooltips, window, t.controlId, AnalysisTipText(t.tip));
    SendDlgItemMessageA(window, IDC_WINDOW_SLIDER, SLM_SETRANGE, kTapMinWindowSeconds,
                        kTapMaxWindowSeconds);
    SendDlgItemMessageA(window, IDC_HOLD, BTM_SETSTATE, m_hold ? 1 : 0, 0);
    if (m_display) {
        m_display->font = shown;
        for (int id : {IDC_CURVES, IDC_SCOPE})
            SendDlgItemMessageA(window, id, APM_SETDISPLAY,
                                reinterpret_cast<WPARAM>(m_display.get()), 0);
    }
    ClearDisplay();
    SetWindowSeconds(m_windowSeconds);
    ConnectTap();
    StartTimer(window, kTimerId);
    return 0;
}

void CAnalysisPropPage::OnDestroy(HWND window) {
    ReleaseWindowResources(window, kTimerId);
    DisconnectTap();
    for (int id : {IDC_CURVES, IDC_SCOPE}) SendDlgItemMessageA(window, id, APM_SETDISPLAY, 0, 0);
}

void CAnalysisPropPage::OnTimer() {
    if (!m_prop || !m_hwnd || m_hold) return;
    if (ReadSnapshot() || FollowPhase()) ShowDisplay();
}

bool CAnalysisPropPage::FollowPhase() {
    if (!m_display || !m_display->haveCurves) return false;
    ParamValues& shown = m_display->snapshot.params;
    int phase = 0, mode = 0, filter = 0;
    if (FAILED(m_prop->GetPhase(&phase)) || FAILED(m_prop->GetMode(&mode)) ||
        FAILED(m_prop->GetFilter(&filter)))
        return false;
    if (phase == shown[kParamPhase] || mode != shown[kParamMode] || filter != shown[kParamFilter])
        return false;
    shown[kParamPhase] = phase;
    return true;
}

bool CAnalysisPropPage::ReadSnapshot() {
    if (!m_display || !m_tap || !m_tapConnected) return false;
    AnalysisDisplay& d = *m_display;
    if (m_tap->GetSnapshot(&d.snapshot) != S_OK) return false;
    d.haveSnapshot = d.snapshot.sequence != 0;
    d.haveCurves = TapCurvesOf(d.snapshot, &d.curves);
    d.mono = SuggestionOf(SuggestionKind::kMono, d.snapshot);
    d.correlation = SuggestionOf(SuggestionKind::kCorrelation, d.snapshot);
    d.note = MonoSuggestionNote(d.snapshot.params[kParamMode]);
    return true;
}

void CAnalysisPropPage::ClearDisplay() {
    if (!m_display) return;
    const HFONT font = m_display->font;
    *m_display = AnalysisDisplay();
    m_display->font = font;
    ShowDisplay();
}

void CAnalysisPropPage::ShowDisplay() {
    if (!m_hwnd || !m_display) return;
    const AnalysisDisplay& d = *m_display;
    const struct {
        int meterId, readoutId;
        double correlation;
    } meters[] = {{IDC_INPUT_CORRELATION, IDC_INPUT_READOUT, d.snapshot.inputCorrelation},
                  {IDC_OUTPUT_CORRELATION, IDC_OUTPUT_READOUT, d.snapshot.outputCorrelation}};
    for (const auto& m : meters) {
        const double shown = d.haveSnapshot ? m.correlation : kAnalysisNan;
        SendDlgItemMessageA(m_hwnd, m.meterId, MTM_SETVALUES,
                            static_cast<WPARAM>(CorrelationMeterValue(shown)), 0);
        SetDlgItemTextA(m_hwnd, m.readoutId, CorrelationText(shown).c_str());
    }
    for (const auto& b : {std::make_pair(IDC_BEST_MONO, d.mono.available),
                          std::make_pair(IDC_BEST_CORRELATION, d.correlation.available)}) {
        HWND button = GetDlgItem(m_hwnd, b.first);
        if ((IsWindowEnabled(button) != FALSE) != b.second) EnableWindow(button, b.second);
    }
    for (int id : {IDC_CURVES, IDC_SCOPE}) InvalidateRect(GetDlgItem(m_hwnd, id), nullptr, FALSE);
}

void CAnalysisPropPage::SetWindowSeconds(int seconds) {
    m_windowSeconds = std::max(kTapMinWindowSeconds, std::min(kTapMaxWindowSeconds, seconds));
    if (m_tap && m_tapConnected) m_tap->SetWindow(m_windowSeconds);
    if (!m_hwnd) return;
    SendDlgItemMessageA(m_hwnd, IDC_WINDOW_SLIDER, SLM_SETVALUE,
                        static_cast<WPARAM>(m_windowSeconds), 1);
    SetDlgItemTextA(m_hwnd, IDC_WINDOW_EDIT, std::to_string(m_windowSeconds).c_str());
}

void CAnalysisPropPage::OnCommand(int id, int code) {
    if (id == IDC_WINDOW_EDIT) {
        if (code == EN_CHANGE) {
            char text[kTypedTextChars + 1] = {};
            GetDlgItemTextA(m_hwnd, IDC_WINDOW_EDIT, text, sizeof text);
            SetWindowSeconds(ParseFixed(text, 0));
        }
        return;
    }
    if (code != BTN_CLICK) return;
    switch (id) {
        case IDC_HOLD:
            m_hold = !m_hold;
            SendDlgItemMessageA(m_hwnd, IDC_HOLD, BTM_SETSTATE, m_hold ? 1 : 0, 0);
            break;
        case IDC_ANALYSIS_RESET:
            if (m_tap && m_tapConnected) m_tap->Reset();
            ClearDisplay();
            break;
        case IDC_BEST_MONO:
            ApplySuggestion(SuggestionKind::kMono);
            break;
        case IDC_BEST_CORRELATION:
            ApplySuggestion(SuggestionKind::kCorrelation);
            break;
        case IDC_ANALYSIS_HELP:
            ShowHelp();
            break;
        default:
            break;
    }
}

void CAnalysisPropPage::ApplySuggestion(SuggestionKind kind) {
    if (!m_display) return;
    const Suggestion& s = kind == SuggestionKind::kMono ? m_display->mono : m_display->correlation;
    if (!s.available) return;
    int mode = 0;
    m_prop->GetMode(&mode);
    m_prop->MarkUndo(kDiscreteUndo);
    // With the notify flag each setter begins the host's capture of its parameter (ending the
    // previous one) and reports the value; the capture ends at once, the click being over.
    if (mode != s.mode) m_prop->SetMode(s.mode, 1);
    m_prop->SetPhase(s.phase, 1);
    m_prop->SetCaptureHold(ControlCaptureFlag);
    m_prop->EndCapture();
    m_prop->UpdateCoefficients();
}

