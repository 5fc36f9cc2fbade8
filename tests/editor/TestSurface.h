// Pixel read-back for the editor's Windows tests: a 32-bit top-down DIB section in a memory
// device context, which a test draws into (or copies a window or bitmap into) and reads as
// COLORREF values, and the bounding box of the pixels that pass a test; and the tint.
#pragma once
#include <windows.h>

#include <climits>
#include <cstdint>

#include "editor/Compositing.h"

namespace edtest {

// A colour through a TintColor, as the compositing arithmetic tints an opaque pixel.
inline COLORREF Tinted(COLORREF c, DWORD tint) {
    const unsigned d = tint >> 24;
    return RGB(skin::TintChannel(GetRValue(c), tint & 0xff, d),
               skin::TintChannel(GetGValue(c), (tint >> 8) & 0xff, d),
               skin::TintChannel(GetBValue(c), (tint >> 16) & 0xff, d));
}

// The smallest rectangle (edges inclusive) holding some pixels; empty when it holds none.
struct Box {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    bool Empty() const { return right < left; }
    int Width() const { return Empty() ? 0 : right - left + 1; }
    int Height() const { return Empty() ? 0 : bottom - top + 1; }
};

class CSurface {
public:
    CSurface(int width, int height, COLORREF fill = 0) { Make(width, height, fill); }
    // A copy of a bitmap that is selected nowhere.
    explicit CSurface(HBITMAP bitmap) {
        BITMAP info = {};
        GetObjectA(bitmap, sizeof info, &info);
        Make(info.bmWidth, info.bmHeight, 0);
        HDC source = CreateCompatibleDC(dc_);
        HGDIOBJ old = SelectObject(source, bitmap);
        BitBlt(dc_, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    }
    ~CSurface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;

    HDC Dc() const { return dc_; }
    HBITMAP Bitmap() const { return bitmap_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Takes the bitmap out of the context so another one can select it; the pixels stay readable.
    void Deselect() { SelectObject(dc_, old_); }

    void Fill(COLORREF colour) {
        for (int i = 0; i < width_ * height_; ++i) bits_[i] = Pixel(colour);
    }
    void Set(int x, int y, COLORREF colour) { bits_[y * width_ + x] = Pixel(colour); }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const uint32_t p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }
    template <typename Predicate>  // pred(x, y)
    Box BoundsWhere(Predicate pred) const {
        Box box;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (!pred(x, y)) continue;
                box = {x < box.left ? x : box.left, y < box.top ? y : box.top,
                       x > box.right ? x : box.right, y};
            }
        }
        return box;
    }
    template <typename Predicate>
    int CountWhere(Predicate pred) const {
        int count = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) count += pred(x, y) ? 1 : 0;
        }
        return count;
    }
    // Where this picture and another of the same size differ.
    Box Differences(const CSurface& other) const {
        return BoundsWhere([&](int x, int y) { return At(x, y) != other.At(x, y); });
    }

private:
    void Make(int width, int height, COLORREF fill) {
        width_ = width;
        height_ = height;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        Fill(fill);
    }
    static uint32_t Pixel(COLORREF c) {
        return uint32_t(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
    }
    int width_ = 0, height_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

}  // namespace edtest
