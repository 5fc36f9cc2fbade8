// CVxPlugInPropPage: what the page does when the user works a control. Every change goes to
// the plug-in at once with the notify flag, so the host sees a user edit, after an undo point:
// the control's id for continuous changes (one drag or one run of steps is one undo step) and
// -2 for discrete ones.
#include <cstdio>
#include <new>
#include <string>

#include "editor/ControlTexts.h"
#include "editor/ModeCycle.h"
#include "editor/ValueText.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/Meter.h"
#include "editor/controls/PushButton.h"
#include "editor/page/PageIds.h"
#include "editor/page/VxPlugInPropPage.h"
#include "presets/PresetData.h"
#include "presets/win/AddPresetDialog.h"
#include "presets/win/PresetManager.h"
#include "presets/win/PresetsMenu.h"

namespace {

constexpr int kDiscreteUndo = -2;
constexpr int kTypedTextChars = 29;
constexpr size_t kSettingsTextBytes = 128;
constexpr WORD kTypedValueCode = EN_CHANGE;

using ParamSetter = HRESULT(STDMETHODCALLTYPE IVxPlugInProp::*)(int, int);

// The plug-in's setter of each parameter, in index order.
const ParamSetter kParamSetters[] = {&IVxPlugInProp::SetPhase, &IVxPlugInProp::SetWidth,
                                     &IVxPlugInProp::SetOutput, &IVxPlugInProp::SetMode,
                                     &IVxPlugInProp::SetMeterPost, &IVxPlugInProp::SetFilter};
static_assert(sizeof kParamSetters / sizeof kParamSetters[0] == kParamCount, "one setter each");

// The parameter each value control sets, by the id of its slider.
struct ValueTarget {
    int sliderId, editId, param;
    HRESULT(STDMETHODCALLTYPE IVxPlugInProp::*getter)(int*);
    ParamSetter setter;
};
const ValueTarget kValueTargets[] = {
    {IDC_PHASE_SLIDER, IDC_PHASE_EDIT, kParamPhase, &IVxPlugInProp::GetPhase, &IVxPlugInProp::SetPhase},
    {IDC_WIDTH_SLIDER, IDC_WIDTH_EDIT, kParamWidth, &IVxPlugInProp::GetWidth, &IVxPlugInProp::SetWidth},
    {IDC_OUTPUT_SLIDER, IDC_OUTPUT_EDIT, kParamOutput, &IVxPlugInProp::GetOutput, &IVxPlugInProp::SetOutput},
};

const ValueTarget* TargetOfSlider(int id) {
    for (const ValueTarget& t : kValueTargets)
        if (t.sliderId == id) return &t;
    return nullptr;
}

const ValueTarget* TargetOfEdit(int id) {
    for (const ValueTarget& t : kValueTargets)
        if (t.editId == id) return &t;
    return nullptr;
}

}  // namespace

void CVxPlugInPropPage::OnCommand(int id, int code) {
    switch (id) {
        case IDC_CLIP_LEFT:
        case IDC_CLIP_RIGHT:
            m_prop->SetClipLeft(0, 0);
            m_prop->SetClipRight(0, 0);
            return;
        case IDC_PHASE_EDIT:
        case IDC_WIDTH_EDIT:
        case IDC_OUTPUT_EDIT:
            if (code == kTypedValueCode) OnTypedValue(id);
            return;
        case IDC_PEAK_LEFT:
        case IDC_PEAK_RIGHT:
            SendDlgItemMessageA(m_hwnd, IDC_METER_LEFT, MTM_RESETMAX, 0, 0);
            SendDlgItemMessageA(m_hwnd, IDC_METER_RIGHT, MTM_RESETMAX, 0, 0);
            UpdateMeters(m_hwnd);
            return;
        case ID_ENGINE_NOTIFY:
            UpdateControls(0, 1, 1);
            return;
        default:
            break;
    }
    // Menu arrows act on the press, the other buttons on the click.
    if (code == BTN_PRESS) {
        if (id == IDC_MODE_MENU) OnModeMenu();
        else if (id == IDC_SETUP_MENU) OnSetupMenu();
        else if (id == IDC_PRESETS) OnPresetsMenu();
        return;
    }
    if (code != BTN_CLICK) return;
    switch (id) {
        case IDC_MODE:
            OnNextMode();
            break;
        case IDC_METER_POST:
            m_prop->MarkUndo(kDiscreteUndo);
            m_prop->SetMeterPost(!Param(&IVxPlugInProp::GetMeterPost), 1);
            UpdateControls(IDC_METER_POST, 1, 1);
            break;
        case IDC_FILTER:
            m_prop->MarkUndo(kDiscreteUndo);
            m_prop->SetFilter(NextChoice(kParamFilter, Param(&IVxPlugInProp::GetFilter)), 1);
            UpdateControls(IDC_FILTER, 1, 1);
            break;
        case IDC_BYPASS: {
            // Outside undo and the setups: no undo point and nothing else to refresh.
            const int bypass = 1 - m_prop->GetBypass();
            m_prop->SetBypass(bypass);
            SendDlgItemMessageA(m_hwnd, IDC_BYPASS, BTM_SETSTATE, static_cast<WPARAM>(bypass), 0);
            break;
        }
        case IDC_UNDO:
            m_prop->Undo();
            UpdateControls(0, 1, 1);
            break;
        case IDC_SETUP:
            OnSwitchSetup();
            break;
        case IDC_RESET:
            OnReset();
            break;
        case IDC_HELP:
            ShowHelp();
            break;
        default:
            break;
    }
}

void CVxPlugInPropPage::OnSliderValue(HWND slider, int value) {
    const int id = GetDlgCtrlID(slider);
    const ValueTarget* target = TargetOfSlider(id);
    if (!target || GetParent(slider) != m_hwnd) return;
    m_prop->MarkUndo(id);
    (m_prop.Get()->*target->setter)(value, 1);
    UpdateControls(id, 1, 1);
}

void CVxPlugInPropPage::OnSliderDoubleClick(int sliderId) {
    const ValueTarget* target = TargetOfSlider(sliderId);
    if (!target) return;
    m_prop->MarkUndo(kDiscreteUndo);
    (m_prop.Get()->*target->setter)(kDefaultParams[target->param], 1);
    UpdateControls(sliderId, 1, 1);
}

void CVxPlugInPropPage::OnValueStep(int fieldId, int step) {
    const ValueTarget* target = TargetOfEdit(fieldId);
    if (!target) return;
    // A step of 0 only asks for the field's text in its standard form: setting the unchanged
    // value again would reach the host as a user edit and could overwrite automation.
    if (step != 0) {
        m_prop->MarkUndo(fieldId);
        (m_prop.Get()->*target->setter)(Param(target->getter) + step, 1);
    }
    UpdateControls(target->sliderId, 1, step != 0);
}

void CVxPlugInPropPage::OnTypedValue(int fieldId) {
    const ValueTarget* target = TargetOfEdit(fieldId);
    if (!target) return;
    m_prop->MarkUndo(kDiscreteUndo);
    char text[kTypedTextChars + 1] = {};
    GetDlgItemTextA(m_hwnd, fieldId, text, sizeof text);
    (m_prop.Get()->*target->setter)(ParseFieldValue(target->param, text), 1);
    // The field keeps the typed text; the step of 0 that follows rewrites it.
    UpdateControls(target->sliderId, 0, 1);
}

bool CVxPlugInPropPage::ApplyMode(int previousMode, int mode) {
    m_prop->SetMode(mode, 1);
    int phase = 0;
    if (!m_modePhase.PhaseForMode(previousMode, mode, Param(&IVxPlugInProp::GetPhase), &phase))
        return false;
    m_prop->SetPhase(phase, 1);
    return true;
}

void CVxPlugInPropPage::OnNextMode() {
    m_prop->MarkUndo(kDiscreteUndo);
    const int previous = Param(&IVxPlugInProp::GetMode);
    const bool phaseChanged = ApplyMode(previous, NextMode(previous));
    UpdateControls(IDC_MODE, 1, 1);
    if (phaseChanged) UpdateControls(IDC_PHASE_SLIDER, 1, 1);
}

int CVxPlugInPropPage::TrackMenuUnder(HMENU menu, int buttonId, int arrowId) {
    int command = 0;
    if (menu) {
        RECT button = {};
        GetWindowRect(GetDlgItem(m_hwnd, buttonId), &button);
        command = static_cast<int>(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD,
                                                  button.left + 1, button.bottom - 1, 0, m_hwnd,
                                                  nullptr));
        DestroyMenu(menu);
    }
    SendDlgItemMessageA(m_hwnd, arrowId, BTM_CANCELPRESS, 0, 0);
    return command;
}

void CVxPlugInPropPage::OnModeMenu() {
    // One item per mode, in the order of their values; item n chooses the n-th mode.
    const ParamDescriptor& modes = kParamDescriptors[kParamMode];
    HMENU menu = CreatePopupMenu();
    if (menu) {
        for (int item = 0; item < modes.ValueCount(); ++item)
            AppendMenuA(menu, MF_STRING, ID_MODE_FIRST + item, ChoiceText(kParamMode, modes.min + item));
        const int current = Param(&IVxPlugInProp::GetMode) - modes.min;
        CheckMenuRadioItem(menu, 0, modes.ValueCount() - 1, static_cast<UINT>(current), MF_BYPOSITION);
    }
    const int command = TrackMenuUnder(menu, IDC_MODE, IDC_MODE_MENU);
    if (command < ID_MODE_FIRST || command >= ID_MODE_FIRST + modes.ValueCount()) return;
    // The mode in force chosen again changes nothing, and must not take the undo point.
    const int previous = Param(&IVxPlugInProp::GetMode);
    const int mode = modes.min + command - ID_MODE_FIRST;
    if (mode == previous) return;
    m_prop->MarkUndo(kDiscreteUndo);
    ApplyMode(previous, mode);
    UpdateControls(0, 1, 1);
}

void CVxPlugInPropPage::OnSwitchSetup() {
    m_prop->MarkUndo(kDiscreteUndo);
    const int setup = 1 - m_prop->GetSetup();
    m_prop->SelectSetup(setup);
    SetSetupButtonText(setup);
    UpdateControls(0, 1, 1);
}

void CVxPlugInPropPage::OnSetupMenu() {
    const bool onA = m_prop->GetSetup() == 0;
    HMENU menu = CreatePopupMenu();
    if (menu) {
        AppendMenuA(menu, MF_STRING, ID_SETUP_A, "Setup A");
        AppendMenuA(menu, MF_STRING, ID_SETUP_B, "Setup B");
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, ID_COPY_TO_OTHER, onA ? "Copy to B" : "Copy to A");
        AppendMenuA(menu, MF_STRING, ID_COPY_FROM_OTHER, onA ? "Copy from B" : "Copy from A");
        CheckMenuRadioItem(menu, 0, 2, onA ? 0 : 1, MF_BYPOSITION);
    }
    const int command = TrackMenuUnder(menu, IDC_SETUP, IDC_SETUP_MENU);
    if (command == ID_SETUP_A || command == ID_SETUP_B) {
        // The setup in force chosen again changes nothing, and must not take the undo point.
        const int setup = command == ID_SETUP_A ? 0 : 1;
        if (setup == m_prop->GetSetup()) return;
        m_prop->MarkUndo(kDiscreteUndo);
        m_prop->SelectSetup(setup);
        SetSetupButtonText(setup);
        UpdateControls(0, 1, 1);
    } else if (command == ID_COPY_TO_OTHER) {
        // Nothing visible changes: no undo point and no refresh.
        m_prop->CopySetup(0, 1);
    } else if (command == ID_COPY_FROM_OTHER) {
        m_prop->MarkUndo(kDiscreteUndo);
        m_prop->CopySetup(1, 0);
        UpdateControls(0, 1, 1);
    }
}

void CVxPlugInPropPage::OnReset() {
    m_prop->MarkUndo(kDiscreteUndo);
    for (int param = 0; param < kParamCount; ++param)
        (m_prop.Get()->*kParamSetters[param])(kDefaultParams[param], 1);
    UpdateControls(0, 1, 1);
}

void CVxPlugInPropPage::OnPresetsMenu() {
    HMENU menu = m_presets ? CreatePopupMenu() : nullptr;
    if (menu) {
        AppendMenuA(menu, MF_STRING, kAddPresetCommand, "Add Preset...");
        AppendMenuA(menu, MF_STRING, kPresetManagerCommand, "Preset Manager...");
        m_presets->BuildPresetsMenu(menu);
    }
    // The menu and its button are done with before any dialog opens.
    int command = TrackMenuUnder(menu, IDC_PRESETS, IDC_PRESETS);
    if (command <= 0 || !m_presets) return;
    if (command == kPresetManagerCommand) {
        command = m_presets->RunManagerDialog();
    } else if (command == kAddPresetCommand) {
        // The dialog saves the library itself, and only when a preset was added.
        RunAddPresetDialog(*m_presets, m_hwnd);
        return;
    }
    if (const char* text = m_presets->SelectPreset(command)) ApplyPresetText(text);
}

void CVxPlugInPropPage::ApplyPresetText(const std::string& text) {
    m_prop->MarkUndo(kDiscreteUndo);
    // Fields a damaged text lacks keep their current values.
    ParamValues values;
    m_prop->GetParams(&values);
    ParsePresetData(text.c_str(), &values);
    for (int param = 0; param < kParamCount; ++param)
        (m_prop.Get()->*kParamSetters[param])(values[param], 1);
    UpdateControls(0, 1, 1);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

INT_PTR CVxPlugInPropPage::OnPresetGetSettings(WPARAM wParam) {
    // The answer is written through a pointer: only a sender on this thread can be trusted
    // to have passed one.
    auto** out = reinterpret_cast<char**>(wParam);
    if (!m_prop || !out || IsSentFromAnotherThread()) return 0;
    char* text = new (std::nothrow) char[kSettingsTextBytes];
    if (!text) return 0;
    std::snprintf(text, kSettingsTextBytes, "%d,%d,%d,%d,%d,%d", Param(&IVxPlugInProp::GetPhase),
                  Param(&IVxPlugInProp::GetWidth), Param(&IVxPlugInProp::GetOutput),
                  Param(&IVxPlugInProp::GetMode), Param(&IVxPlugInProp::GetMeterPost),
                  Param(&IVxPlugInProp::GetFilter));
    *out = text;
    return 0;
}
