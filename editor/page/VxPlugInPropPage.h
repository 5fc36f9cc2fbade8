// CVxPlugInPropPage: the plug-in's editor, a property page painted from the skin with the
// custom controls, talking to the plug-in through IVxPlugInProp only. It polls meters and
// parameters on a 75 ms timer and sends every user action to the plug-in at once, so the page
// is never dirty. Host user-interface thread only.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "editor/ModeCycle.h"
#include "editor/page/PlugInPropPage.h"
#include "presets/win/PresetsMenu.h"

class CPresetManager;

class CVxPlugInPropPage : public CPlugInPropPage {
public:
    // The class factory's creation function.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* hr);

    CVxPlugInPropPage(LPUNKNOWN outer, HRESULT* hr);
    // Finishes what Deactivate and SetObjects(0) would have done for a host that released the
    // page without them: the window's clean-up and the plug-in's notify slot.
    ~CVxPlugInPropPage() override;

    // Sent by the presets code to read the current values as a preset data text.
    static constexpr UINT WM_PRESET_GETSETTINGS = kPresetGetSettingsMessage;

protected:
    // Another plug-in given to the open page: it notifies the page, its current preset is the
    // one to mark, and the controls show it.
    void OnPlugInConnected(IUnknown* pUnknown) override;
    // The plug-in keeps its current preset while no open page shows it.
    void OnPlugInDisconnecting() override;
    HRESULT OnActivate() override;
    HRESULT OnDeactivate() override;
    HRESULT OnApplyChanges() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Gives the three sliders their ranges.
    virtual int SetControlRanges();
    // Refreshes the controls of one group (the id of its slider or button) or of all (0 or
    // ID_ENGINE_NOTIFY) from the plug-in; updateEdits also rewrites the value fields, and
    // applyToEngine first recomputes the plug-in's coefficients. 0 without plug-in or window.
    virtual int UpdateControls(int controlId, int updateEdits, int applyToEngine);

private:
    // Window life (VxPlugInPropPage.cpp).
    INT_PTR OnInitDialog(HWND window);
    void OnDestroy(HWND window);
    BOOL OnEraseBackground(HWND window, HDC dc);
    void OnTimer();
    void UpdateClipIndicator(int controlId, int live, int shown, bool left);
    void SetClipImage(int controlId, HBITMAP image);
    void UpdateMeters(HWND window);
    void SetItemText(int controlId, const char* text);
    void SetSetupButtonText(int setup);

    // Commands (PageCommands.cpp).
    void OnCommand(int id, int code);
    void OnSliderValue(HWND slider, int value);
    void OnSliderDoubleClick(int sliderId);
    void OnValueStep(int fieldId, int step);
    void OnTypedValue(int fieldId);
    // Sets the mode and, when it lends or gives back the phase, the phase. True when the phase
    // changed.
    bool ApplyMode(int previousMode, int mode);
    void OnNextMode();
    void OnModeMenu();
    void OnSwitchSetup();
    void OnSetupMenu();
    void OnReset();
    void OnPresetsMenu();
    // Applies a preset's data text to the plug-in after an undo point and shows it.
    void ApplyPresetText(const std::string& text);
    INT_PTR OnPresetGetSettings(WPARAM wParam);
    // Shows a popup menu under the button, returns the chosen command (0 for none), and
    // releases the menu arrow that opened it.
    int TrackMenuUnder(HMENU menu, int buttonId, int arrowId);
    int Param(HRESULT(STDMETHODCALLTYPE IVxPlugInProp::*getter)(int*));

    std::unique_ptr<CPresetManager> m_presets;
    HBITMAP m_clipHeld = nullptr;
    HBITMAP m_clipOff = nullptr;
    HBITMAP m_clipActive = nullptr;
    int m_firstTick = 1;
    int m_firstErase = 0;
    // The phase "CS encode" lent out, per page: another editor's mode changes leave it alone.
    CModePhaseMemory m_modePhase;
};
