// CVxPlugInPropPage: the page's COM side, its window's life, the timer and the meters.
#include "editor/page/VxPlugInPropPage.h"

#include <new>
#include <string>
#include <utility>

#include "editor/ControlTexts.h"
#include "editor/ValueText.h"
#include "editor/controls/ControlClasses.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/Slider.h"
#include "editor/controls/ValueEdit.h"
#include "editor/page/PageIds.h"
#include "editor/page/PageLayout.h"
#include "editor/page/PageTooltips.h"
#include "presets/PresetFile.h"
#include "presets/win/PresetManager.h"

namespace {

constexpr UINT_PTR kTimerId = 0;
constexpr char kProductName[] = "tw:Phase";
constexpr char kPresetFileName[] = "twPhaseDX.ini";

// An ancestor up to three levels above the page is a tool window (some hosts float the
// frame that way) and needs one more repaint after the first erase to show the page.
bool HasToolWindowAncestor(HWND window) {
    HWND ancestor = GetParent(window);
    for (int level = 0; level < 3 && ancestor; ++level, ancestor = GetParent(ancestor))
        if (GetWindowLongA(ancestor, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return true;
    return false;
}

template <typename Handle>
void DeleteGdiObject(Handle& handle) {
    if (handle) DeleteObject(handle);
    handle = nullptr;
}

}  // namespace

CUnknown* WINAPI CVxPlugInPropPage::CreateInstance(LPUNKNOWN outer, HRESULT* hr) {
    auto* page = new (std::nothrow) CVxPlugInPropPage(outer, hr);
    if (!page && hr) *hr = E_OUTOFMEMORY;
    return page;
}

CVxPlugInPropPage::CVxPlugInPropPage(LPUNKNOWN outer, HRESULT* /*hr*/)
    : CPlugInPropPage(TEXT("Corvane:tw Phase Property Page"), outer, IDD_PROPPAGE,
                      IDS_PAGE_TITLE, "") {}

CVxPlugInPropPage::~CVxPlugInPropPage() {
    // Destroyed while the derived page still exists, so WM_DESTROY does its work here.
    if (m_hwnd) DestroyWindow(m_hwnd);
    if (m_prop) OnDisconnect();
}

void CVxPlugInPropPage::OnPlugInConnected(IUnknown* /*pUnknown*/) {
    if (!m_hwnd) return;
    m_prop->SetNotifyWindow(m_hwnd, ID_ENGINE_NOTIFY);
    if (m_presets) m_presets->RestoreCurrentPreset(m_prop.Get(), m_prop->GetPresetId());
    UpdateControls(0, 1, 1);
}

void CVxPlugInPropPage::OnPlugInDisconnecting() {
    if (!m_hwnd) return;
    if (m_presets) m_prop->SetPresetId(m_presets->KeepCurrentPreset(m_prop.Get()));
    m_prop->SetNotifyWindow(m_hwnd, 0);
}

HRESULT CVxPlugInPropPage::OnActivate() {
    return S_OK;
}

HRESULT CVxPlugInPropPage::OnDeactivate() {
    return S_OK;
}

HRESULT CVxPlugInPropPage::OnApplyChanges() {
    return S_OK;
}

INT_PTR CVxPlugInPropPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_INITDIALOG:
            return OnInitDialog(hwnd);
        case WM_DESTROY:
            OnDestroy(hwnd);
            return 0;
        case WM_ERASEBKGND:
            return OnEraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
        case WM_TIMER:
            if (wParam == kTimerId) OnTimer();
            return 0;
        case WM_COMMAND:
            if (m_prop) OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 1;
        case SLN_VALUECHANGED:
            if (m_prop) OnSliderValue(reinterpret_cast<HWND>(lParam), static_cast<int>(wParam));
            return 1;
        case SLN_DOUBLECLICK:
            if (m_prop) OnSliderDoubleClick(static_cast<int>(wParam));
            return 1;
        case EDN_DELTA:
            if (m_prop) OnValueStep(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
            return 1;
        case WM_LBUTTONDOWN:
            // A click on the page background drops the text being typed into a value field.
            if (InlineEditorWindow) DestroyWindow(InlineEditorWindow);
            return 0;
        case WM_PRESET_GETSETTINGS:
            return OnPresetGetSettings(wParam);
        default:
            return 0;
    }
}

INT_PTR CVxPlugInPropPage::OnInitDialog(HWND window) {
    const HMODULE module = ResourceInstance();
    if (m_prop) {
        m_prop->SetNotifyWindow(window, ID_ENGINE_NOTIFY);
        m_prop->SetPhaseMeter(0.0f);
    }
    const HFONT font = LoadSkinAndFont(IDB_SKIN);

    for (int id : {IDC_CLIP_LEFT, IDC_CLIP_RIGHT}) {
        const int x = id == IDC_CLIP_LEFT ? 341 : 371;
        MoveWindow(GetDlgItem(window, id), x, 45, 12, 9, TRUE);
    }
    CreatePageControls(window, module, m_skin, font);
    m_tooltips = CreatePageTooltips(window);

    m_clipOff = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(IDB_CLIP_OFF), IMAGE_BITMAP, 0, 0, 0));
    m_clipHeld = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(IDB_CLIP_HELD), IMAGE_BITMAP, 0, 0, 0));
    m_clipActive = static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(IDB_CLIP_ACTIVE), IMAGE_BITMAP, 0, 0, 0));
    // The indicators show our own bitmaps from now on; the template's copies are freed.
    SetClipImage(IDC_CLIP_LEFT, m_clipOff);
    SetClipImage(IDC_CLIP_RIGHT, m_clipOff);

    m_presets.reset(new (std::nothrow) CPresetManager(module, window, kProductName));
    if (m_presets) {
        m_presets->Library().SetAltClassKey(presetfile::kAltClassKey);
        m_presets->LoadPresetLibrary(presetfile::kClassKey, kPresetFileName);
        if (m_prop) m_presets->RestoreCurrentPreset(m_prop.Get(), m_prop->GetPresetId());
    }

    SetControlRanges();
    UpdateControls(0, 1, 1);
    UpdateMeters(window);
    StartTimer(window, kTimerId);
    m_firstErase = 1;
    return 0;
}

void CVxPlugInPropPage::OnDestroy(HWND window) {
    if (m_prop) {
        if (m_presets) m_prop->SetPresetId(m_presets->KeepCurrentPreset(m_prop.Get()));
        m_prop->SetNotifyWindow(window, 0);
    }
    // The indicators let go of the clip bitmaps before they are deleted.
    SetClipImage(IDC_CLIP_LEFT, nullptr);
    SetClipImage(IDC_CLIP_RIGHT, nullptr);
    DeleteGdiObject(m_clipHeld);
    DeleteGdiObject(m_clipOff);
    DeleteGdiObject(m_clipActive);
    m_presets.reset();
    ReleaseWindowResources(window, kTimerId);
    m_firstErase = 0;
}

BOOL CVxPlugInPropPage::OnEraseBackground(HWND window, HDC dc) {
    if (m_firstErase) {
        m_firstErase = 0;
        if (HasToolWindowAncestor(window)) InvalidateRect(window, nullptr, FALSE);
    }
    return PaintSkin(dc);
}

void CVxPlugInPropPage::SetClipImage(int controlId, HBITMAP image) {
    if (!m_hwnd) return;
    const auto previous = reinterpret_cast<HBITMAP>(SendDlgItemMessageA(
        m_hwnd, controlId, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image)));
    // The static control hands back the bitmap it showed; only the one it loaded from the
    // template is its own to free.
    if (previous && previous != m_clipOff && previous != m_clipHeld && previous != m_clipActive)
        DeleteObject(previous);
}

int CVxPlugInPropPage::SetControlRanges() {
    const struct {
        int sliderId, param;
    } sliders[] = {{IDC_PHASE_SLIDER, kParamPhase}, {IDC_WIDTH_SLIDER, kParamWidth},
                   {IDC_OUTPUT_SLIDER, kParamOutput}};
    for (const auto& slider : sliders) {
        const ParamDescriptor& d = kParamDescriptors[slider.param];
        SendDlgItemMessageA(m_hwnd, slider.sliderId, SLM_SETRANGE, static_cast<WPARAM>(d.min), d.max);
    }
    return 1;
}

int CVxPlugInPropPage::Param(HRESULT(STDMETHODCALLTYPE IVxPlugInProp::*getter)(int*)) {
    int value = 0;
    (m_prop.Get()->*getter)(&value);
    return value;
}

void CVxPlugInPropPage::SetItemText(int controlId, const char* text) {
    SetDlgItemTextA(m_hwnd, controlId, text);
}

void CVxPlugInPropPage::SetSetupButtonText(int setup) {
    SetItemText(IDC_SETUP, setup == 1 ? "Setup B" : "Setup A");
}

int CVxPlugInPropPage::UpdateControls(int controlId, int updateEdits, int applyToEngine) {
    if (!m_prop || !m_hwnd) return 0;
    if (applyToEngine) m_prop->UpdateCoefficients();
    if (controlId == ID_ENGINE_NOTIFY) controlId = 0;
    const auto wants = [controlId](int group) { return controlId == 0 || controlId == group; };

    struct ValueGroup {
        int sliderId, editId, param;
        HRESULT(STDMETHODCALLTYPE IVxPlugInProp::*getter)(int*);
    } const groups[] = {
        {IDC_PHASE_SLIDER, IDC_PHASE_EDIT, kParamPhase, &IVxPlugInProp::GetPhase},
        {IDC_WIDTH_SLIDER, IDC_WIDTH_EDIT, kParamWidth, &IVxPlugInProp::GetWidth},
        {IDC_OUTPUT_SLIDER, IDC_OUTPUT_EDIT, kParamOutput, &IVxPlugInProp::GetOutput},
    };
    for (const ValueGroup& group : groups) {
        if (!wants(group.sliderId)) continue;
        const int value = Param(group.getter);
        SendDlgItemMessageA(m_hwnd, group.sliderId, SLM_SETVALUE, static_cast<WPARAM>(value), 1);
        if (updateEdits) SetItemText(group.editId, FieldText(group.param, value).c_str());
    }
    // The buttons of the settings show the name of the choice in force.
    const struct {
        int buttonId, param;
        HRESULT(STDMETHODCALLTYPE IVxPlugInProp::*getter)(int*);
    } settings[] = {
        {IDC_MODE, kParamMode, &IVxPlugInProp::GetMode},
        {IDC_METER_POST, kParamMeterPost, &IVxPlugInProp::GetMeterPost},
        {IDC_FILTER, kParamFilter, &IVxPlugInProp::GetFilter},
    };
    for (const auto& setting : settings)
        if (wants(setting.buttonId))
            SetItemText(setting.buttonId, ChoiceText(setting.param, Param(setting.getter)));
    if (controlId == 0) {
        // Bypass and the active setup belong to the plug-in as much as its values do: a page
        // given another plug-in shows that plug-in's.
        SendDlgItemMessageA(m_hwnd, IDC_BYPASS, BTM_SETSTATE, m_prop->GetBypass() ? 1 : 0, 0);
        SetSetupButtonText(m_prop->GetSetup());
    }
    return 1;
}

void CVxPlugInPropPage::OnTimer() {
    if (!m_prop || !m_hwnd) return;
    // The host's automation capture stays open while a control holds the mouse.
    m_prop->SetCaptureHold(ControlCaptureFlag);
    m_prop->EndCapture();
    const int apply = m_prop->OwnerQuery() ? 1 : 0;
    if (m_prop->ParamsChangedForEditor() == 0) {
        m_prop->SetEditorRefresh(0);
        UpdateControls(0, 1, apply);
    }
    UpdateClipIndicator(IDC_CLIP_LEFT, m_prop->GetClipLeft(0), m_prop->GetClipLeft(1), true);
    UpdateClipIndicator(IDC_CLIP_RIGHT, m_prop->GetClipRight(0), m_prop->GetClipRight(1), false);
    SendDlgItemMessageA(m_hwnd, IDC_PHASE_METER, MTM_SETVALUES,
                        static_cast<WPARAM>(m_prop->GetPhaseMeter()), 1);
    if (m_firstTick) {
        m_firstTick = 0;
        m_prop->MarkUndo(-2);
        m_prop->CopySetup(0, 1);
        if (GetFocus() == GetDlgItem(m_hwnd, IDC_BYPASS))
            SetFocus(GetDlgItem(m_hwnd, IDC_PHASE_SLIDER));
    }
    UpdateMeters(m_hwnd);
}

void CVxPlugInPropPage::UpdateClipIndicator(int controlId, int live, int shown, bool left) {
    if (live != shown) {
        SetClipImage(controlId, live == 0 ? m_clipOff : live == 1 ? m_clipHeld : m_clipActive);
        if (left) m_prop->SetClipLeft(1, live);
        else m_prop->SetClipRight(1, live);
    }
    // Only a bright clip runs down; writing back every tick would erase a clip the streaming
    // thread raised since the read.
    if (live > 1) {
        if (left) m_prop->SetClipLeft(0, live - 1);
        else m_prop->SetClipRight(0, live - 1);
    }
}

void CVxPlugInPropPage::UpdateMeters(HWND window) {
    if (!m_prop || !window) return;
    const int left = PeakLevelTenths(m_prop->GetPeakLeft());
    const int right = PeakLevelTenths(m_prop->GetPeakRight());
    SendDlgItemMessageA(window, IDC_METER_LEFT, MTM_SETVALUES, static_cast<WPARAM>(left), 0);
    SendDlgItemMessageA(window, IDC_METER_RIGHT, MTM_SETVALUES, static_cast<WPARAM>(right), 0);
    struct Readout {
        int meterId, readoutId;
    } const readouts[] = {{IDC_METER_LEFT, IDC_PEAK_LEFT}, {IDC_METER_RIGHT, IDC_PEAK_RIGHT}};
    for (const Readout& r : readouts) {
        int32_t maximum = kSilentLevelTenths;
        SendDlgItemMessageA(window, r.meterId, MTM_GETMAX, reinterpret_cast<WPARAM>(&maximum), 0);
        SetDlgItemTextA(window, r.readoutId, PeakReadoutText(maximum).c_str());
    }
}

