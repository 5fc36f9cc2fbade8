// CBasePropertyPage: the page's COM side, the dialog it creates inside the frame, and the
// routing of every dialog message to the page object.
#include "framework/BasePropertyPage.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

// The page whose dialog is being created on this thread. The dialog manager sends messages
// (WM_SETFONT, WM_INITDIALOG) before CreateDialog returns; the first one binds the window.
thread_local CBasePropertyPage* t_pageBeingCreated = nullptr;

// Any object of this module: its address names the module that holds the page resources.
const int kModuleAnchor = 0;

// Runs a page hook so that no C++ exception leaves a COM method.
template <typename Hook>
HRESULT Guarded(Hook hook) noexcept {
    try {
        return hook();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// An extended dialog template starts with version 1 and signature 0xFFFF.
bool IsExtendedTemplate(const WORD* words) {
    return words[0] == 1 && words[1] == 0xFFFF;
}

// A copy of the dialog template with a child window's style: hosts expect a bare child, so a
// caption, frame or popup style in the resource is dropped. `hidden` also clears WS_VISIBLE
// and tolerates controls that fail to create (used for measuring). Empty when the resource is
// missing. DWORD elements keep the copy DWORD-aligned, as templates must be.
std::vector<DWORD> LoadChildTemplate(HINSTANCE instance, int dialogId, bool hidden) {
    std::vector<DWORD> copy;
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(dialogId), RT_DIALOG);
    if (!found) return copy;
    HGLOBAL loaded = LoadResource(instance, found);
    const DWORD bytes = SizeofResource(instance, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || bytes < sizeof(DLGTEMPLATE)) return copy;

    copy.resize((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    std::memcpy(copy.data(), data, bytes);
    // DLGTEMPLATEEX: dlgVer, signature (WORDs), helpID, exStyle, style (DWORDs).
    const auto* words = reinterpret_cast<const WORD*>(copy.data());
    DWORD* style = IsExtendedTemplate(words) ? &copy[3] : &copy[0];
    *style &= ~static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                  WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME | DS_SYSMODAL |
                                  DS_CENTER | DS_CENTERMOUSE);
    *style |= WS_CHILD | DS_CONTROL;
    if (hidden) {
        *style &= ~static_cast<DWORD>(WS_VISIBLE);
        *style |= DS_NOFAILCREATE;
    }
    return copy;
}

}  // namespace

CBasePropertyPage::CBasePropertyPage(LPCTSTR name, LPUNKNOWN outer, int dialogId, int titleId)
    : CUnknown(name, outer),
      m_hwnd(nullptr),
      m_dialogId(dialogId),
      m_titleId(titleId),
      m_bDirty(false),
      m_bConnected(false) {}

CBasePropertyPage::CBasePropertyPage(LPCTSTR name, LPUNKNOWN outer, int dialogId, LPCWSTR title)
    : CUnknown(name, outer),
      m_hwnd(nullptr),
      m_dialogId(dialogId),
      m_titleId(0),
      m_title(title ? title : L""),
      m_bDirty(false),
      m_bConnected(false) {}

CBasePropertyPage::~CBasePropertyPage() {
    if (m_hwnd) {
        // Unbind first: the derived object is gone and must not see WM_DESTROY.
        HWND window = m_hwnd;
        m_hwnd = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    m_pPageSite.Reset();
}

STDMETHODIMP CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBasePropertyPage::SetPageSite(IPropertyPageSite* pPageSite) {
    if (pPageSite) {
        if (m_pPageSite) return E_UNEXPECTED;
        m_pPageSite = ComPtr<IPropertyPageSite>(pPageSite);
        return S_OK;
    }
    if (!m_pPageSite) return E_UNEXPECTED;
    m_pPageSite.Reset();  // empties the member before the site hears its release
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Activate(HWND hWndParent, LPCRECT pRect, BOOL /*bModal*/) {
    if (!pRect) return E_POINTER;
    if (!m_bConnected || m_hwnd) return E_UNEXPECTED;
    if (!hWndParent || !IsWindow(hWndParent)) return E_INVALIDARG;

    std::vector<DWORD> dialog;
    try {
        dialog = LoadChildTemplate(ResourceInstance(), m_dialogId, false);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (dialog.empty()) return E_FAIL;

    CBasePropertyPage* const enclosing = t_pageBeingCreated;
    t_pageBeingCreated = this;
    HWND window = CreateDialogIndirectParamW(
        ResourceInstance(), reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), hWndParent,
        DialogProc, reinterpret_cast<LPARAM>(this));
    t_pageBeingCreated = enclosing;
    if (!window) {
        m_hwnd = nullptr;
        return E_FAIL;
    }
    m_hwnd = window;

    const HRESULT hr = Guarded([this] { return OnActivate(); });
    if (FAILED(hr)) {
        DestroyWindow(window);
        m_hwnd = nullptr;
        return hr;
    }
    SetWindowPos(window, nullptr, pRect->left, pRect->top, pRect->right - pRect->left,
                 pRect->bottom - pRect->top, SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Deactivate() {
    if (!m_hwnd) return E_UNEXPECTED;
    const HRESULT hr = Guarded([this] { return OnDeactivate(); });
    if (FAILED(hr)) return hr;
    HWND window = m_hwnd;
    DestroyWindow(window);
    m_hwnd = nullptr;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    if (!pPageInfo) return E_POINTER;
    SIZE size = {0, 0};
    const HRESULT hr = MeasureTemplate(&size);
    if (FAILED(hr)) return hr;

    const WCHAR* title = m_title.c_str();
    size_t length = m_title.size();
    if (m_titleId) {
        // With a zero buffer size LoadString hands out the read-only resource text itself.
        const WCHAR* text = nullptr;
        const int count = LoadStringW(ResourceInstance(), static_cast<UINT>(m_titleId),
                                      reinterpret_cast<LPWSTR>(&text), 0);
        const bool found = count > 0 && text;
        title = found ? text : L"";  // a missing string gives an empty tab, not a lost page
        length = found ? static_cast<size_t>(count) : 0;
    }
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(copy, title, length * sizeof(WCHAR));
    copy[length] = L'\0';

    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = copy;
    pPageInfo->size = size;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::SetObjects(ULONG cObjects, LPUNKNOWN* ppUnk) {
    if (cObjects && (!ppUnk || !ppUnk[0])) return E_POINTER;
    HRESULT disconnected = S_OK;
    if (m_bConnected) {
        // The page counts as disconnected even when its hook complains.
        m_bConnected = false;
        disconnected = Guarded([this] { return OnDisconnect(); });
    }
    if (!cObjects) return disconnected;

    IUnknown* const object = ppUnk[0];
    const HRESULT hr = Guarded([this, object] { return OnConnect(object); });
    if (SUCCEEDED(hr)) m_bConnected = true;
    return hr;
}

STDMETHODIMP CBasePropertyPage::Show(UINT nCmdShow) {
    if (!m_hwnd) return E_UNEXPECTED;
    if (nCmdShow != SW_SHOW && nCmdShow != SW_SHOWNORMAL && nCmdShow != SW_HIDE)
        return E_INVALIDARG;
    ShowWindow(m_hwnd, static_cast<int>(nCmdShow));
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Move(LPCRECT pRect) {
    if (!pRect) return E_POINTER;
    if (!m_hwnd) return E_UNEXPECTED;
    MoveWindow(m_hwnd, pRect->left, pRect->top, pRect->right - pRect->left,
               pRect->bottom - pRect->top, TRUE);
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::IsPageDirty() {
    return m_bDirty ? S_OK : S_FALSE;
}

STDMETHODIMP CBasePropertyPage::Apply() {
    if (!m_bConnected) return E_UNEXPECTED;
    if (!m_bDirty) return S_OK;
    const HRESULT hr = Guarded([this] { return OnApplyChanges(); });
    if (FAILED(hr)) return hr;
    // The frame asked for this: it knows the page is clean, so no status change is sent.
    m_bDirty = false;
    return S_OK;
}

STDMETHODIMP CBasePropertyPage::Help(LPCOLESTR /*pszHelpDir*/) {
    return E_NOTIMPL;
}

STDMETHODIMP CBasePropertyPage::TranslateAccelerator(MSG* pMsg) {
    if (!pMsg) return E_POINTER;
    if (!m_hwnd || pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST) return S_FALSE;
    if (pMsg->hwnd != m_hwnd && !IsChild(m_hwnd, pMsg->hwnd)) return S_FALSE;
    return IsDialogMessageW(m_hwnd, pMsg) ? S_OK : S_FALSE;
}

HRESULT CBasePropertyPage::OnConnect(IUnknown* /*pUnknown*/) {
    return S_OK;
}

HRESULT CBasePropertyPage::OnDisconnect() {
    return S_OK;
}

HRESULT CBasePropertyPage::OnActivate() {
    return S_OK;
}

HRESULT CBasePropertyPage::OnDeactivate() {
    return S_OK;
}

HRESULT CBasePropertyPage::OnApplyChanges() {
    return S_OK;
}

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

void CBasePropertyPage::SetDirty(bool dirty) {
    if (m_bDirty == dirty) return;
    m_bDirty = dirty;
    if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

HINSTANCE CBasePropertyPage::ResourceInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&kModuleAnchor), &module);
    return module;
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!page) {
        page = t_pageBeingCreated;
        if (!page) return FALSE;  // a window whose page has gone
        t_pageBeingCreated = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
        page->m_hwnd = hwnd;
    }

    INT_PTR result = FALSE;
    try {
        result = page->OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    } catch (...) {
        result = FALSE;
    }
    if (uMsg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (page->m_hwnd == hwnd) page->m_hwnd = nullptr;
    }
    return result;
}

INT_PTR CALLBACK CBasePropertyPage::MeasureDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// Creates the template hidden under the message-only window, so the dialog manager converts
// dialog units with the template's own font exactly as it will for the real page.
HRESULT CBasePropertyPage::MeasureTemplate(SIZE* size) {
    std::vector<DWORD> dialog;
    try {
        dialog = LoadChildTemplate(ResourceInstance(), m_dialogId, true);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (dialog.empty()) return E_FAIL;
    HWND window = CreateDialogIndirectParamW(ResourceInstance(),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()),
                                             HWND_MESSAGE, MeasureDialogProc, 0);
    if (!window) return E_FAIL;
    RECT bounds;
    GetWindowRect(window, &bounds);
    DestroyWindow(window);
    size->cx = bounds.right - bounds.left;
    size->cy = bounds.bottom - bounds.top;
    return S_OK;
}
