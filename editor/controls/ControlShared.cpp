// The custom controls' shared state, capture bookkeeping and double-buffered painting.
#include "editor/controls/ControlShared.h"

#include "editor/win/Drawing.h"

int ControlCaptureFlag = 0;
HWND InlineEditorWindow = nullptr;

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

COffscreenPaint::COffscreenPaint(HWND window, HBITMAP background, HDC target)
    : window_(window), target_(target), ownsTarget_(target == nullptr) {
    if (ownsTarget_) target_ = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right - client.left;
    height_ = client.bottom - client.top;
    memory_ = CreateCompatibleDC(target_);
    bitmap_ = CreateCompatibleBitmap(target_, width_ > 0 ? width_ : 1, height_ > 0 ? height_ : 1);
    previous_ = SelectObject(memory_, bitmap_);
    if (background) CopyParentBackground(window, memory_, background);
}

void COffscreenPaint::Present() {
    BitBlt(target_, 0, 0, width_, height_, memory_, 0, 0, SRCCOPY);
}

COffscreenPaint::~COffscreenPaint() {
    SelectObject(memory_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(memory_);
    if (ownsTarget_) ReleaseDC(window_, target_);
}
