// CAnalysisPropPage: the plug-in's analysis page, a property page beside the editor. While its
// window exists it keeps the plug-in's analysis tap connected and shows, on a 75 ms timer, the
// input and output correlation, a phase scope of the output and the curves over all angles; its
// two suggestion buttons set the best angle as one user edit. Host user-interface thread only.
#pragma once
#include <windows.h>

#include <memory>

#include "base/win/ComPtr.h"
#include "editor/analysis/AnalysisSuggestion.h"
#include "editor/analysis/page/AnalysisPlot.h"
#include "editor/page/PlugInPropPage.h"
#include "engine/win/PhaseAnalysisTap.h"

class CAnalysisPropPage : public CPlugInPropPage {
public:
    // The class factory's creation function.
    static CUnknown* WINAPI CreateInstance(LPUNKNOWN outer, HRESULT* hr);

    CAnalysisPropPage(LPUNKNOWN outer, HRESULT* hr);
    // Finishes what Deactivate and SetObjects(0) would have done for a host that released the
    // page without them: the window's clean-up and the tap's connection.
    ~CAnalysisPropPage() override;

protected:
    // Takes the plug-in's tap too (a plug-in without one still gets a page, with nothing to
    // suggest) and, with the window open, connects it.
    void OnPlugInConnected(IUnknown* pUnknown) override;
    void OnPlugInDisconnecting() override;
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    INT_PTR OnInitDialog(HWND window);
    void OnDestroy(HWND window);
    void OnTimer();
    void OnCommand(int id, int code);
    // Connects the tap while the window exists and a plug-in with a tap is held.
    void ConnectTap();
    void DisconnectTap();
    // Takes a new snapshot into the display; false when there is none.
    bool ReadSnapshot();
    // The curves hold every angle: a Phase set while no new snapshot comes (nothing streams)
    // moves the current angle and its figures, as long as the plug-in's mode and filter are
    // still those the curves were made with. True when it moved.
    bool FollowPhase();
    // Shows the display: meters, readouts, drawings and which suggestions can be applied.
    void ShowDisplay();
    void ClearDisplay();
    // Sets the window length (clamped) on the tap and shows it in the field and slider.
    void SetWindowSeconds(int seconds);
    // Applies a suggestion as one user edit: one undo point, and the host's capture of each
    // parameter begun, given its value and ended, as a slider drag on the editor reports it.
    void ApplySuggestion(SuggestionKind kind);

    ComPtr<IPhaseAnalysisTap> m_tap;
    bool m_tapConnected = false;
    bool m_hold = false;
    int m_windowSeconds = kTapDefaultWindowSeconds;
    // Large (the scope's frames and the curves): on the heap, made with the page.
    std::unique_ptr<AnalysisDisplay> m_display;
};
