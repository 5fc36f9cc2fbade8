// The custom controls' shared state, capture bookkeeping and double-buffered painting.
#include "editor/controls/ControlShared.h"

#include "editor/win/Drawing.h"

int ControlCaptureFlag = 0;
HWND InlineEditorWindow = nullptr;

int WheelSpeed(WheelClock* clock, DWORD now) {
    const DWORD elapsed = now - clock->lastTime;
    const bool fast = clock->turned && elapsed < kWheelSlowMs;
    clock->lastTime = now;
    clock->turned = 1;
    return fast ? static_cast<int>(kWheelSlowMs / (elapsed > 1 ? elapsed : 1)) : 1;
}

void* CreateControlState(HWND window, size_t bytes) {
    void* state = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
    if (state) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return state;
}

void DestroyControlState(HWND window) {
    void* state = reinterpret_cast<void*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (state) HeapFree(GetProcessHeap(), 0, state);
}

bool IsHighColourScreen() {
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return bits > 8;
}

bool IsSentFromAnotherThread() {
    return InSendMessageEx(nullptr) != ISMEX_NOSEND;
}

bool RegisterCustomControlClass(HINSTANCE instance, const char* className, WNDPROC procedure) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_PARENTDC;
    wc.lpfnWndProc = procedure;
    wc.cbWndExtra = 4;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void BeginControlCapture(HWND window) {
    SetCapture(window);
    ControlCaptureFlag = 1;
}

void EndControlCapture() {
    ControlCaptureFlag = 0;
    ReleaseCapture();
}

void ReleaseControlCapture(HWND window) {
    if (GetCapture() == window) EndControlCapture();
}

COffscreenPaint::COffscreenPaint(HWND window, HBITMAP background, HDC target)
    : m_window(window), m_target(target), m_ownsTarget(target == nullptr) {
    if (m_ownsTarget) m_target = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    m_width = client.right - client.left;
    m_height = client.bottom - client.top;
    m_memory = CreateCompatibleDC(m_target);
    m_bitmap = CreateCompatibleBitmap(m_target, m_width > 0 ? m_width : 1, m_height > 0 ? m_height : 1);
    m_previous = SelectObject(m_memory, m_bitmap);
    if (background) CopyParentBackground(window, m_memory, background);
}

void COffscreenPaint::Present() {
    BitBlt(m_target, 0, 0, m_width, m_height, m_memory, 0, 0, SRCCOPY);
}

COffscreenPaint::~COffscreenPaint() {
    SelectObject(m_memory, m_previous);
    DeleteObject(m_bitmap);
    DeleteDC(m_memory);
    if (m_ownsTarget) ReleaseDC(m_window, m_target);
}
