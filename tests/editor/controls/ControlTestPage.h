// A stand-in for the editor page in the control tests: a visible top-level window with the skin
// background that records what its controls notify, plus read-back of painted pixels.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "editor/SkinImages.h"
#include "editor/win/SkinResources.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/StaticImage.h"
#include "editor/controls/ValueEdit.h"

namespace controltest {

struct Note {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline HINSTANCE Module() { return GetModuleHandleA(nullptr); }

// The page: records WM_COMMAND and the controls' own notification messages in notes (sent and
// posted alike; Pump() delivers the posted ones). rightButtonAnswer is what it returns to a
// push button's right-press message. One page serves the whole program (destroying a
// top-level window costs Wine seconds without a window manager); Reset() clears it between
// tests.
class CTestPage {
public:
    static CTestPage& Get() {
        static CTestPage page;
        return page;
    }

    // Destroys every control, forgets the notes and takes the focus.
    void Reset() {
        while (HWND child = GetWindow(window_, GW_CHILD)) DestroyWindow(child);
        SetFocus(window_);
        Pump();
        notes_.clear();
        rightButtonAnswer = 0;
    }

    HWND window() const { return window_; }
    HBITMAP background() const { return background_; }

    HWND Create(const char* className, int id, int x, int y, int w, int h, DWORD style = 0) {
        return CreateWindowExA(0, className, nullptr, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                               window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Module(),
                               background_);
    }

    // Delivers everything posted to this thread's windows.
    void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Pumps, then returns and forgets the notes so far.
    std::vector<Note> Take() {
        Pump();
        std::vector<Note> taken;
        taken.swap(notes_);
        return taken;
    }

    // The page background's colour at page coordinates (x, y).
    COLORREF BackgroundAt(int x, int y) const {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, background_);
        const COLORREF colour = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteDC(dc);
        return colour;
    }

    LRESULT rightButtonAnswer = 0;

private:
    CTestPage() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = Module();
        wc.lpszClassName = "twtest:Page";
        RegisterClassA(&wc);
        background_ = LoadSkinBitmap(Module(), skin::kPageBackgroundId, &palette_);
        window_ = CreateWindowExA(0, "twtest:Page", "page", WS_POPUP | WS_VISIBLE, 40, 40,
                                  skin::kPageWidth, skin::kPageHeight, nullptr, nullptr, Module(), this);
        Reset();
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        }
        auto* page = reinterpret_cast<CTestPage*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (page) {
            switch (message) {
            case WM_COMMAND:
            case EDN_DELTA:
            case EDN_CHANGED:
            case SIN_CLICK:
                page->notes_.push_back({message, wParam, lParam});
                return 0;
            case BTN_RBUTTONDOWN:
                page->notes_.push_back({message, wParam, lParam});
                return page->rightButtonAnswer;
            default:
                break;
            }
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    std::vector<Note> notes_;
    HWND window_ = nullptr;
    HBITMAP background_ = nullptr;
    HPALETTE palette_ = nullptr;
};

// What a control shows on screen, read back through its own device context: by default after
// any pending paint has been done; kAsShown reads the window as it is, for tests of when a
// control paints.
class CPixels {
public:
    enum Moment { kAfterPendingPaint, kAsShown };
    explicit CPixels(HWND window, Moment moment = kAfterPendingPaint) {
        if (moment == kAfterPendingPaint) {
            RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        RECT client;
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        pixels_.resize(size_t(width_) * height_);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        HDC memory = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        HDC screen = GetDC(window);
        BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
        ReleaseDC(window, screen);
        GdiFlush();
        const auto* p = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < pixels_.size(); ++i) {
            pixels_[i] = RGB((p[i] >> 16) & 0xff, (p[i] >> 8) & 0xff, p[i] & 0xff);
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    COLORREF At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The columns of row y showing one of the colours.
    std::vector<int> Columns(int y, std::initializer_list<COLORREF> colours) const {
        std::vector<int> found;
        for (int x = 0; x < width_; ++x) {
            if (std::find(colours.begin(), colours.end(), At(x, y)) != colours.end()) {
                found.push_back(x);
            }
        }
        return found;
    }

private:
    int width_ = 0, height_ = 0;
    std::vector<COLORREF> pixels_;
};

// The colour of pixel (x, y) of a w-pixel-wide RGBT image, and its transparency.
inline COLORREF RgbtColour(const BYTE* image, int w, int x, int y) {
    const BYTE* p = image + (size_t(y) * w + x) * 4;
    return RGB(p[0], p[1], p[2]);
}
inline int RgbtTransparency(const BYTE* image, int w, int x, int y) {
    return image[(size_t(y) * w + x) * 4 + 3];
}

// A pixel of a bitmap resource.
inline COLORREF BitmapPixel(int id, int x, int y) {
    HBITMAP bitmap = LoadSkinBitmap(Module(), id, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return colour;
}

inline LPARAM Point(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

}  // namespace controltest
