// CBasePropertyPage: a COM property page whose window is a dialog resource created as a
// modeless child of the host's property frame; derived pages supply only the virtuals.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <string>

#include "base/win/ComPtr.h"
#include "framework/Unknown.h"

class CBasePropertyPage : public CUnknown, public IPropertyPage {
public:
    // dialogId: the page's dialog template in this module's resources; titleId: a string of
    // this module's string table. The template's window style is made a child's (WS_CHILD,
    // DS_CONTROL, no caption or frame) whatever the resource says.
    CBasePropertyPage(LPCTSTR name, LPUNKNOWN outer, int dialogId, int titleId);
    // The same with the title given as text.
    CBasePropertyPage(LPCTSTR name, LPUNKNOWN outer, int dialogId, LPCWSTR title);
    // Destroys a window the host left behind without delivering further messages to the page;
    // it does not call OnDisconnect (the derived part is gone by then).
    ~CBasePropertyPage() override;

    DECLARE_IUNKNOWN
    // Any thread: IUnknown and IPropertyPage.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPropertyPage. All of these come from the host's user-interface thread, which owns the
    // page window; no lock is taken.
    // Keeps (with a reference) or, given null, releases the frame's site. E_UNEXPECTED when a
    // site is set while one is held, or released while none is.
    STDMETHODIMP SetPageSite(IPropertyPageSite* pPageSite) override;
    // Creates the dialog as a child of hWndParent, lets OnActivate run and places the window in
    // *pRect. E_POINTER for no rectangle, E_INVALIDARG for no parent window, E_UNEXPECTED
    // without objects or while the window exists; OnActivate's failure otherwise. A site is
    // not needed: hosts that embed the page themselves may never set one.
    STDMETHODIMP Activate(HWND hWndParent, LPCRECT pRect, BOOL bModal) override;
    // OnDeactivate, then destroys the window (kept when OnDeactivate fails). E_UNEXPECTED
    // when there is no window.
    STDMETHODIMP Deactivate() override;
    // Title (CoTaskMem, the caller frees it) and the size of the dialog template in pixels.
    // E_POINTER, E_OUTOFMEMORY, or E_FAIL when the template cannot be created.
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    // cObjects 0: OnDisconnect if connected. Otherwise OnDisconnect if connected, then
    // OnConnect with the first object. E_POINTER for a missing array or first object.
    STDMETHODIMP SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) override;
    // SW_SHOW, SW_SHOWNORMAL or SW_HIDE (else E_INVALIDARG); E_UNEXPECTED without a window.
    STDMETHODIMP Show(UINT nCmdShow) override;
    // Moves and sizes the window. E_POINTER, or E_UNEXPECTED without a window.
    STDMETHODIMP Move(LPCRECT pRect) override;
    // S_OK when dirty, S_FALSE when not.
    STDMETHODIMP IsPageDirty() override;
    // When dirty: OnApplyChanges, and on its success the page is clean. S_OK when clean;
    // E_UNEXPECTED without objects.
    STDMETHODIMP Apply() override;
    // E_NOTIMPL; pages with help override it.
    STDMETHODIMP Help(LPCOLESTR pszHelpDir) override;
    // Gives keyboard navigation messages meant for the page window to IsDialogMessage: S_OK
    // when it took the message, else S_FALSE. E_POINTER for no message.
    STDMETHODIMP TranslateAccelerator(MSG* pMsg) override;

protected:
    // Hooks for the derived page, all on the user-interface thread.
    // From SetObjects with the first object's IUnknown; its failure leaves the page
    // unconnected and is SetObjects' result.
    virtual HRESULT OnConnect(IUnknown* pUnknown);
    // From SetObjects (before a new OnConnect, or for no objects) while connected.
    virtual HRESULT OnDisconnect();
    // From Activate once the dialog exists and has handled WM_INITDIALOG.
    virtual HRESULT OnActivate();
    // From Deactivate while the window still exists.
    virtual HRESULT OnDeactivate();
    // From Apply while the page is dirty.
    virtual HRESULT OnApplyChanges();
    // The dialog procedure: every message of the page window, from the first one sent during
    // creation (WM_SETFONT, WM_INITDIALOG) to WM_NCDESTROY. Returns what a DLGPROC returns.
    // The default handles nothing (FALSE). GWLP_USERDATA of the page window is the base's.
    virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    // Marks the page dirty or clean; a change is reported to the site with
    // OnStatusChange(PROPPAGESTATUS_DIRTY).
    void SetDirty(bool dirty);
    bool IsDirty() const { return m_bDirty; }
    // True between a successful OnConnect and the matching OnDisconnect.
    bool IsConnected() const { return m_bConnected; }

    // The module whose resources hold the dialog template and the title string.
    static HINSTANCE ResourceInstance();

    // The page window, from its first message (before WM_INITDIALOG) until WM_NCDESTROY.
    HWND m_hwnd;
    // The frame's site, holding one reference, or null.
    ComPtr<IPropertyPageSite> m_pPageSite;
    const int m_dialogId;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK MeasureDialogProc(HWND, UINT, WPARAM, LPARAM);
    HRESULT MeasureTemplate(SIZE* size);

    const int m_titleId;  // 0 when the title was given as text
    const std::wstring m_title;
    bool m_bDirty;
    bool m_bConnected;
};
