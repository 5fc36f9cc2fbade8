// CVxPlugInPropPage: the plug-in's editor, a property page painted from the skin with the
// custom controls, talking to the plug-in through IVxPlugInProp only. It polls meters and
// parameters on a 75 ms timer and sends every user action to the plug-in at once, so the page
// is never dirty. Host user-interface thread only.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "base/win/ComPtr.h"
#include "editor/ModeCycle.h"
#include "engine/win/VxPlugInProp.h"
#include "framework/BasePropertyPage.h"
#include "presets/win/PresetsMenu.h"

class CPresetManager;

class CVxPlugInPropPage : public CBasePropertyPage {
public:
    // The class factory's creation function.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* hr);

    CVxPlugInPropPage(LPUNKNOWN outer, HRESULT* hr);
    // Finishes what Deactivate and SetObjects(0) would have done for a host that released the
    // page without them: the window's clean-up and the plug-in's notify slot.
    ~CVxPlugInPropPage() override;

    // The title (string 1) and the page's fixed size of 428 x 222 pixels.
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    // Opens the help file beside the module; a failure is shown to the user. Always S_OK.
    STDMETHODIMP Help(LPCOLESTR pszHelpDir) override;
    // For a frame that offers the page its keys first: a key that the focused control asks for
    // is delivered to it (S_OK); the frame keeps every other key (S_FALSE).
    STDMETHODIMP TranslateAccelerator(MSG* pMsg) override;

    static constexpr int kPageWidth = 428;
    static constexpr int kPageHeight = 222;
    static constexpr UINT kTimerPeriodMs = 75;
    // Sent by the presets code to read the current values as a preset data text.
    static constexpr UINT WM_PRESET_GETSETTINGS = kPresetGetSettingsMessage;

protected:
    HRESULT OnConnect(IUnknown* pUnknown) override;
    HRESULT OnDisconnect() override;
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
    void ShowHelp();
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

    ComPtr<IVxPlugInProp> m_prop;
    HBITMAP m_skin = nullptr;
    HPALETTE m_skinPalette = nullptr;
    std::unique_ptr<CPresetManager> m_presets;
    HFONT m_labelFont = nullptr;
    HBITMAP m_clipHeld = nullptr;
    HBITMAP m_clipOff = nullptr;
    HBITMAP m_clipActive = nullptr;
    HWND m_tooltips = nullptr;
    int m_firstTick = 1;
    int m_firstErase = 0;
    bool m_timerRunning = false;
    // The phase "CS encode" lent out, per page: another editor's mode changes leave it alone.
    CModePhaseMemory m_modePhase;
};
