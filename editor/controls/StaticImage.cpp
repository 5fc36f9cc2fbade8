// The two picture classes: one procedure, the clickable one adding the click notification.
#include "editor/controls/StaticImage.h"

#include "editor/win/SkinResources.h"
#include "editor/controls/ControlShared.h"

namespace {

struct StaticImageState {
    HBITMAP background;
    int bitmapId;
};

void Paint(HWND window, const StaticImageState& st, HDC target) {
    if (st.bitmapId == kNoStaticBitmap) {
        // Nothing to show: the page under the picture, as if it were not there.
        COffscreenPaint paint(window, st.background, target);
        paint.Present();
        return;
    }
    COffscreenPaint paint(window, nullptr, target);
    const HMODULE module = reinterpret_cast<HMODULE>(GetClassLongPtrA(window, GCLP_HMODULE));
    HPALETTE palette = nullptr;
    HBITMAP bitmap = LoadSkinBitmap(module, st.bitmapId, &palette);
    if (bitmap) {
        HDC source = CreateCompatibleDC(paint.Dc());
        HGDIOBJ old = SelectObject(source, bitmap);
        BitBlt(paint.Dc(), 0, 0, paint.Width(), paint.Height(), source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(bitmap);
    }
    if (palette) DeleteObject(palette);
    paint.Present();
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* st = CreateControlState<StaticImageState>(window);
    if (!st) return -1;
    st->background = CreationBackground(lParam);
    st->bitmapId = kNoStaticBitmap;
    return 0;
}

LRESULT OnSetBitmap(HWND window, StaticImageState& st, WPARAM wParam) {
    st.bitmapId = int(wParam);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

// A press on a picture that reports clicks; the other kind lets DefWindowProc have it.
LRESULT OnClick(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool notifiesClicks) {
    if (!notifiesClicks) return DefWindowProcA(window, message, wParam, lParam);
    PostMessageA(GetParent(window), SIN_CLICK, GetDlgCtrlID(window), lParam);
    return 0;
}

LRESULT PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool notifiesClicks) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    auto* st = ControlState<StaticImageState>(window);
    if (!st) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result;
    // It never takes the capture: only the paint messages are the shared ones.
    if (HandlePaintMessage(window, message, [&](HDC dc) { Paint(window, *st, dc); }, &result)) {
        return result;
    }

    switch (message) {
    case WM_DESTROY: DestroyControlState(window); return 0;
    case SIM_SETBITMAP: return OnSetBitmap(window, *st, wParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return OnClick(window, message, wParam, lParam, notifiesClicks);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK StaticImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PictureProc(window, message, wParam, lParam, true);
}

LRESULT CALLBACK StaticNoHitImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PictureProc(window, message, wParam, lParam, false);
}

}  // namespace

bool RegisterStaticImageClass(HINSTANCE instance) {
    return RegisterCustomControlClass(instance, kStaticImageClassName, StaticImageProc);
}

void UnregisterStaticImageClass(HINSTANCE instance) {
    UnregisterClassA(kStaticImageClassName, instance);
}

bool RegisterStaticNoHitImageClass(HINSTANCE instance) {
    return RegisterCustomControlClass(instance, kStaticNoHitImageClassName, StaticNoHitImageProc);
}

void UnregisterStaticNoHitImageClass(HINSTANCE instance) {
    UnregisterClassA(kStaticNoHitImageClassName, instance);
}
