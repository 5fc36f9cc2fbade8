// CPlugInPropPage: the pages' COM side, their skin, font and timer, and their help.
#include "editor/page/PlugInPropPage.h"

#include <string>
#include <utility>

#include "editor/HelpPath.h"
#include "editor/controls/ControlClasses.h"
#include "editor/page/HtmlHelp.h"
#include "editor/win/PageKeys.h"
#include "editor/win/SkinResources.h"

namespace {

template <typename Handle>
void DeleteGdiObject(Handle& handle) {
    if (handle) DeleteObject(handle);
    handle = nullptr;
}

}  // namespace

CPlugInPropPage::CPlugInPropPage(LPCTSTR name, LPUNKNOWN outer, int dialogId, int titleId,
                                 const char* helpTopic)
    : CBasePropertyPage(name, outer, dialogId, titleId), m_helpTopic(helpTopic) {
    RegisterControlClasses(ResourceInstance());
}

STDMETHODIMP CPlugInPropPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    if (!pPageInfo) return E_POINTER;
    const HRESULT hr = CBasePropertyPage::GetPageInfo(pPageInfo);
    if (FAILED(hr)) return hr;
    pPageInfo->size.cx = kPageWidth;
    pPageInfo->size.cy = kPageHeight;
    return S_OK;
}

STDMETHODIMP CPlugInPropPage::Help(LPCOLESTR /*pszHelpDir*/) {
    ShowHelp();
    return S_OK;
}

STDMETHODIMP CPlugInPropPage::TranslateAccelerator(MSG* pMsg) {
    return GiveKeyToControlThatAsks(m_hwnd, pMsg);
}

HRESULT CPlugInPropPage::OnConnect(IUnknown* pUnknown) {
    if (!pUnknown) return E_POINTER;
    if (m_prop) OnDisconnect();
    ComPtr<IVxPlugInProp> prop;
    if (FAILED(pUnknown->QueryInterface(IID_IVxPlugInProp, prop.PutVoid())) || !prop)
        return E_NOINTERFACE;
    m_prop = std::move(prop);
    OnPlugInConnected(pUnknown);
    return S_OK;
}

HRESULT CPlugInPropPage::OnDisconnect() {
    if (!m_prop) return E_UNEXPECTED;
    OnPlugInDisconnecting();
    m_prop.Reset();
    return S_OK;
}

HFONT CPlugInPropPage::LoadSkinAndFont(int skinId) {
    m_skin = LoadSkinBitmap(ResourceInstance(), skinId, &m_skinPalette);
    LOGFONTA font = {};
    font.lfHeight = 12;
    font.lfWeight = FW_NORMAL;
    lstrcpyA(font.lfFaceName, "Arial");
    m_font = CreateFontIndirectA(&font);
    return m_font ? m_font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void CPlugInPropPage::StartTimer(HWND window, UINT_PTR timerId) {
    m_timerRunning = SetTimer(window, timerId, kTimerPeriodMs, nullptr) != 0;
}

void CPlugInPropPage::ReleaseWindowResources(HWND window, UINT_PTR timerId) {
    if (m_timerRunning) KillTimer(window, timerId);
    m_timerRunning = false;
    DeleteGdiObject(m_font);
    DeleteGdiObject(m_skin);
    DeleteGdiObject(m_skinPalette);
    // The tooltip window belongs to the host's top-level window, not to the page.
    if (m_tooltips) DestroyWindow(m_tooltips);
    m_tooltips = nullptr;
}

BOOL CPlugInPropPage::PaintSkin(HDC dc) const {
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
        HGDIOBJ previous = SelectObject(memory, m_skin);
        BitBlt(dc, 0, 0, kPageWidth, kPageHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    return TRUE;
}

void CPlugInPropPage::ShowHelp() {
    char module[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(ResourceInstance(), module, MAX_PATH + 1);
    std::string path;
    // A path that filled the buffer may have been cut short: better the message than a help
    // file looked for in the wrong place.
    const bool located = length > 0 && length <= MAX_PATH && HelpFilePathBeside(module, &path);
    if (located && ShowHelpTopic(m_hwnd, (path + m_helpTopic).c_str())) return;
    const std::string shown =
        located ? path : std::string(module, length) + " (" + kHelpFileName + ")";
    const std::string message = "Unable to open the Corvane:tw Phase help file:\n" + shown;
    MessageBoxA(m_hwnd, message.c_str(), "Error", MB_OK | MB_ICONWARNING);
}
