// The GDI drawing helpers under Wine: compositing and the colour-keyed blit onto memory device
// contexts read back pixel by pixel, lines, the background copy under a real child window,
// the caption font and centring over real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editor/Compositing.h"
#include "editor/win/Drawing.h"
#include "editor/SkinImages.h"
#include "editor/win/SkinResources.h"

namespace {

// A memory device context drawing into a 32-bit top-down DIB section whose pixels the test
// reads directly (as COLORREF-style 0x00bbggrr values).
class CTestSurface {
public:
    CTestSurface(int width, int height, COLORREF fill) : width_(width), height_(height) {
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
    ~CTestSurface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    HBITMAP Bitmap() const { return bitmap_; }
    // Takes the bitmap out of the surface's context so another one can select it; the pixels
    // stay readable.
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

private:
    static uint32_t Pixel(COLORREF c) {
        return uint32_t(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
    }
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

std::vector<BYTE> Rgbt(std::initializer_list<std::initializer_list<int>> pixels) {
    std::vector<BYTE> image;
    for (const auto& p : pixels) {
        for (int v : p) image.push_back(static_cast<BYTE>(v));
    }
    return image;
}

const COLORREF kGrey = RGB(0x40, 0x80, 0xc0);

TEST(CompositeImage, BlendsIntoTheDeviceContextAndNowhereElse) {
    CTestSurface surface(8, 6, kGrey);
    // 2 x 2: opaque, fully transparent, half transparent, opaque to be tinted below.
    const auto image = Rgbt({{250, 20, 10, 0}, {1, 2, 3, 255}, {0, 0, 0, 127}, {235, 235, 235, 0}});
    CompositeImage(surface.Dc(), 3, 2, 2, 2, image.data(), 255, 0, 0);
    EXPECT_EQ(surface.At(3, 2), RGB(250, 20, 10));
    EXPECT_EQ(surface.At(4, 2), kGrey);
    // 0 + floor(c * 128 / 256) for each channel of the grey.
    EXPECT_EQ(surface.At(3, 3), RGB(0x20, 0x40, 0x60));
    EXPECT_EQ(surface.At(4, 3), RGB(235, 235, 235));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            if (x >= 3 && x < 5 && y >= 2 && y < 4) continue;
            ASSERT_EQ(surface.At(x, y), kGrey) << x << ", " << y;
        }
    }

    CompositeImage(surface.Dc(), 0, 0, 2, 2, image.data(), 255, skin::kHighlightTint, 0);
    EXPECT_EQ(surface.At(1, 1), RGB(255, 248, 120));

    surface.Fill(kGrey);
    CompositeImage(surface.Dc(), 0, 0, 0, 2, image.data(), 255, 0, 0);
    CompositeImage(surface.Dc(), 0, 0, 2, -1, image.data(), 255, 0, 0);
    EXPECT_EQ(surface.At(0, 0), kGrey);
}

TEST(CompositeImage, RectDrawsABandOfTheLitLevelMeter) {
    const BYTE* lit = LoadRawImage(GetModuleHandleW(nullptr), skin::kLevelMeterLitId);
    ASSERT_NE(lit, nullptr);
    const int w = 12, h = 120, top = 30, band = 40;
    CTestSurface surface(w, h, kGrey);
    CompositeImageRect(surface.Dc(), 0, top, w, band, 0, top, lit, 255, w);
    auto litAt = [&](int x, int y) {
        const BYTE* p = lit + (y * w + x) * 4;
        return RGB(p[0], p[1], p[2]);
    };
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(surface.At(x, top), litAt(x, top));
        EXPECT_EQ(surface.At(x, top + band - 1), litAt(x, top + band - 1));
        EXPECT_EQ(surface.At(x, top - 1), kGrey);
        EXPECT_EQ(surface.At(x, top + band), kGrey);
    }
}

TEST(BlitColorKeyed, KeyPixelsLeaveTheDestinationUntouched) {
    const COLORREF key = RGB(255, 0, 255);
    CTestSurface source(4, 3, RGB(10, 200, 30));
    source.Set(0, 0, key);
    source.Set(3, 2, key);
    source.Set(1, 1, key);
    source.Deselect();
    CTestSurface dest(10, 10, kGrey);
    BlitColorKeyed(dest.Dc(), 5, 5, source.Bitmap(), 1, 1, 3, 2, key);
    // Source block (1..3, 1..2) lands at (5..7, 5..6); (1, 1) and (3, 2) are key pixels.
    EXPECT_EQ(dest.At(5, 5), kGrey);
    EXPECT_EQ(dest.At(6, 5), RGB(10, 200, 30));
    EXPECT_EQ(dest.At(7, 5), RGB(10, 200, 30));
    EXPECT_EQ(dest.At(5, 6), RGB(10, 200, 30));
    EXPECT_EQ(dest.At(7, 6), kGrey);
    EXPECT_EQ(dest.At(4, 5), kGrey);
    EXPECT_EQ(dest.At(8, 5), kGrey);
    EXPECT_EQ(dest.At(5, 7), kGrey);

    BlitColorKeyed(dest.Dc(), 0, 0, nullptr, 0, 0, 3, 3, key);
    EXPECT_EQ(dest.At(0, 0), kGrey);
}

TEST(BlitColorKeyed, IndicatorGlyphKeepsTheButtonAroundIt) {
    HBITMAP glyph = LoadSkinBitmap(GetModuleHandleW(nullptr), skin::kIndicatorGlyphId, nullptr);
    ASSERT_NE(glyph, nullptr);
    CTestSurface dest(skin::kGlyphWidth, skin::kGlyphHeight, kGrey);
    BlitColorKeyed(dest.Dc(), 0, 0, glyph, 0, 0, skin::kGlyphWidth, skin::kGlyphHeight,
                   skin::kGlyphKeyColour);
    int drawn = 0;
    for (int y = 0; y < skin::kGlyphHeight; ++y) {
        EXPECT_EQ(dest.At(0, y), kGrey);
        EXPECT_EQ(dest.At(skin::kGlyphWidth - 1, y), kGrey);
        for (int x = 0; x < skin::kGlyphWidth; ++x) drawn += dest.At(x, y) != kGrey;
    }
    EXPECT_GT(drawn, 0);
    DeleteObject(glyph);
}

TEST(DrawLine, ExcludesTheEndPoint) {
    CTestSurface surface(12, 12, RGB(255, 255, 255));
    DrawLine(surface.Dc(), 2, 5, 8, 5, RGB(200, 0, 0));
    DrawLine(surface.Dc(), 10, 1, 10, 4, RGB(0, 0, 200));
    for (int x = 2; x < 8; ++x) EXPECT_EQ(surface.At(x, 5), RGB(200, 0, 0)) << x;
    EXPECT_EQ(surface.At(8, 5), RGB(255, 255, 255));
    EXPECT_EQ(surface.At(1, 5), RGB(255, 255, 255));
    EXPECT_EQ(surface.At(10, 3), RGB(0, 0, 200));
    EXPECT_EQ(surface.At(10, 4), RGB(255, 255, 255));
}

// Plain windows of a private class for the window tests.
class CWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);
    }
    void TearDown() override {
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) DestroyWindow(*it);
    }
    HWND Create(DWORD style, int x, int y, int w, int h, HWND parent) {
        HWND window = CreateWindowExW(0, kClass, L"", style, x, y, w, h, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window, nullptr);
        windows_.push_back(window);
        return window;
    }
    static RECT WindowRect(HWND window) {
        RECT r;
        GetWindowRect(window, &r);
        return r;
    }
    static constexpr const wchar_t* kClass = L"twEditorDrawingTest";
    std::vector<HWND> windows_;
};

TEST_F(CWindowTest, CopyParentBackgroundTakesTheBlockUnderTheControl) {
    // A bordered parent, so the control's client position differs from its screen offset.
    HWND page = Create(WS_POPUP | WS_BORDER, 200, 150, 120, 90, nullptr);
    HWND control = Create(WS_CHILD, 30, 20, 10, 8, page);
    CTestSurface background(100, 80, 0);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x) background.Set(x, y, RGB(x, y, 7));
    }
    CTestSurface offscreen(10, 8, RGB(255, 255, 255));
    background.Deselect();  // as the page's skin, selected nowhere else
    CopyParentBackground(control, offscreen.Dc(), background.Bitmap());
    EXPECT_EQ(offscreen.At(0, 0), RGB(30, 20, 7));
    EXPECT_EQ(offscreen.At(9, 7), RGB(39, 27, 7));
}

TEST_F(CWindowTest, CentreOverParentKeepsTheSizeAndRaisesTheWindow) {
    HWND owner = Create(WS_POPUP, 100, 100, 301, 201, nullptr);
    HWND dialog = Create(WS_POPUP, 0, 0, 100, 50, owner);
    CentreOverParent(dialog);
    RECT r = WindowRect(dialog);
    EXPECT_EQ(r.left, 100 + (301 - 100) / 2);
    EXPECT_EQ(r.top, 100 + (201 - 50) / 2);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 50);

    // A child window lands at the same screen position, given in its parent's coordinates.
    HWND parent = Create(WS_POPUP | WS_BORDER, 300, 200, 200, 100, nullptr);
    HWND first = Create(WS_CHILD, 0, 0, 20, 10, parent);
    Create(WS_CHILD, 50, 50, 20, 10, parent);
    SetWindowPos(first, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    CentreOverParent(first);
    r = WindowRect(first);
    EXPECT_EQ(r.left, 300 + (200 - 20) / 2);
    EXPECT_EQ(r.top, 200 + (100 - 10) / 2);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), first) << "not at the top of the Z order";
}

TEST(CreateCaptionFont, IsTheStockGuiFontAtStandardResolution) {
    HDC screen = GetDC(nullptr);
    if (GetDeviceCaps(screen, LOGPIXELSY) != 96) {
        ReleaseDC(nullptr, screen);
        GTEST_SKIP() << "display is not at 96 dpi";
    }
    HFONT font = CreateCaptionFont(screen);
    EXPECT_EQ(font, GetStockObject(DEFAULT_GUI_FONT));
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
}

}  // namespace
