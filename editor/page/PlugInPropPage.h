// CPlugInPropPage: what the plug-in's property pages share. Each is a fixed-size page painted
// from a skin with the custom controls and a 12-pixel Arial, refreshed on a 75 ms timer, talking
// to the plug-in through IVxPlugInProp, with a help topic of its own and keys for the control
// that asks for them. Host user-interface thread only.
#pragma once
#include <windows.h>

#include "base/win/ComPtr.h"
#include "editor/SkinImages.h"
#include "engine/win/VxPlugInProp.h"
#include "framework/BasePropertyPage.h"

class CPlugInPropPage : public CBasePropertyPage {
public:
    // The title (the page's string) and the page's fixed size of 428 x 222 pixels, which both
    // pages share so that the frame fits either.
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    // Opens the page's topic of the help file beside the module; a failure is shown to the
    // user. Always S_OK.
    STDMETHODIMP Help(LPCOLESTR pszHelpDir) override;
    // For a frame that offers the page its keys first: a key that the focused control asks for
    // is delivered to it (S_OK); the frame keeps every other key (S_FALSE).
    STDMETHODIMP TranslateAccelerator(MSG* pMsg) override;

    static constexpr int kPageWidth = skin::kPageWidth;
    static constexpr int kPageHeight = skin::kPageHeight;
    static constexpr UINT kTimerPeriodMs = 75;

protected:
    // helpTopic is appended to the help file's path: "" for its start page.
    CPlugInPropPage(LPCTSTR name, LPUNKNOWN outer, int dialogId, int titleId,
                    const char* helpTopic);

    // Takes the object's IVxPlugInProp (E_NOINTERFACE without one), letting go of a plug-in
    // held before, then tells the page.
    HRESULT OnConnect(IUnknown* pUnknown) final;
    // Tells the page, then lets go of the plug-in; E_UNEXPECTED when none is held.
    HRESULT OnDisconnect() final;
    // The plug-in was taken (m_prop is set); pUnknown is the object the frame gave.
    virtual void OnPlugInConnected(IUnknown* pUnknown) = 0;
    // The plug-in is about to be let go (m_prop is still set).
    virtual void OnPlugInDisconnecting() = 0;

    // Window life: the skin (with its palette) and the page's font, made when the dialog
    // starts; the font to give the controls (a stock one if the page's could not be made).
    HFONT LoadSkinAndFont(int skinId);
    void StartTimer(HWND window, UINT_PTR timerId);
    // Stops the timer and frees the skin, the font and the tooltip window.
    void ReleaseWindowResources(HWND window, UINT_PTR timerId);
    // Paints the skin as the page's background; TRUE, as WM_ERASEBKGND wants.
    BOOL PaintSkin(HDC dc) const;
    void ShowHelp();

    ComPtr<IVxPlugInProp> m_prop;
    HBITMAP m_skin = nullptr;
    HWND m_tooltips = nullptr;

private:
    const char* m_helpTopic;
    HPALETTE m_skinPalette = nullptr;
    HFONT m_font = nullptr;
    bool m_timerRunning = false;
};
