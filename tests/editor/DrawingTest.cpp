// The GDI drawing helpers under Wine: compositing and the colour-keyed blit onto memory device
// contexts read back pixel by pixel, lines, the background copy under a real child window,
// and the caption font.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "editor/Compositing.h"
#include "editor/SkinImages.h"
#include "editor/win/Drawing.h"
#include "editor/win/SkinResources.h"
#include "tests/editor/TestSurface.h"

namespace {

using edtest::Box;
using edtest::CSurface;

const COLORREF kGrey = RGB(0x40, 0x80, 0xc0);

// Whether the surface keeps the fill colour outside the box [left, right] x [top, bottom].
bool UntouchedOutside(const CSurface& s, COLORREF fill, int left, int top, int right, int bottom) {
    return s.CountWhere([&](int x, int y) {
        return (x < left || x > right || y < top || y > bottom) && s.At(x, y) != fill;
    }) == 0;
}

TEST(CompositeImage, BlendsIntoTheDeviceContextAndNowhereElse) {
    CSurface surface(8, 6, kGrey);
    // 2 x 2: opaque, fully transparent, half transparent black, opaque to be tinted below.
    const BYTE image[] = {250, 20, 10, 0, 1, 2, 3, 255, 0, 0, 0, 127, 235, 235, 235, 0};
    CompositeImage(surface.Dc(), 3, 2, 2, 2, image, 255, 0, 0);
    EXPECT_EQ(surface.At(3, 2), RGB(250, 20, 10));
    EXPECT_EQ(surface.At(4, 2), kGrey);
    EXPECT_EQ(surface.At(3, 3), RGB(0x20, 0x40, 0x60));  // c * 128 / 256 of each channel
    EXPECT_EQ(surface.At(4, 3), RGB(235, 235, 235));
    EXPECT_TRUE(UntouchedOutside(surface, kGrey, 3, 2, 4, 3));

    CompositeImage(surface.Dc(), 0, 0, 2, 2, image, 255, skin::kHighlightTint, 0);
    EXPECT_EQ(surface.At(1, 1), edtest::Tinted(RGB(235, 235, 235), skin::kHighlightTint));
    surface.Fill(kGrey);
    CompositeImage(surface.Dc(), 0, 0, 0, 2, image, 255, 0, 0);
    CompositeImage(surface.Dc(), 0, 0, 2, -1, image, 255, 0, 0);
    EXPECT_TRUE(UntouchedOutside(surface, kGrey, -1, -1, -1, -1)) << "empty sizes draw nothing";
}

TEST(CompositeImage, RectDrawsABandOfTheLitLevelMeter) {
    const BYTE* lit = LoadRawImage(GetModuleHandleW(nullptr), skin::kLevelMeterLitId);
    ASSERT_NE(lit, nullptr);
    const int w = 12, h = 120, top = 30, band = 40;
    CSurface surface(w, h, kGrey);
    CompositeImageRect(surface.Dc(), 0, top, w, band, 0, top, lit, 255, w);
    EXPECT_TRUE(UntouchedOutside(surface, kGrey, 0, top, w - 1, top + band - 1));
    EXPECT_EQ(surface.CountWhere([&](int x, int y) {
        const BYTE* p = lit + (y * w + x) * 4;
        return y >= top && y < top + band && surface.At(x, y) != RGB(p[0], p[1], p[2]);
    }),
              0);
}

TEST(BlitColorKeyed, KeyPixelsLeaveTheDestinationUntouched) {
    const COLORREF key = RGB(255, 0, 255), green = RGB(10, 200, 30);
    CSurface source(4, 3, green);
    source.Set(0, 0, key);
    source.Set(3, 2, key);
    source.Set(1, 1, key);
    source.Deselect();
    CSurface dest(10, 10, kGrey);
    BlitColorKeyed(dest.Dc(), 5, 5, source.Bitmap(), 1, 1, 3, 2, key);
    // Source block (1..3, 1..2) lands at (5..7, 5..6); (1, 1) and (3, 2) are key pixels.
    EXPECT_TRUE(UntouchedOutside(dest, kGrey, 5, 5, 7, 6));
    for (int x = 5; x <= 7; ++x) {
        for (int y = 5; y <= 6; ++y) {
            const bool keyed = (x == 5 && y == 5) || (x == 7 && y == 6);
            EXPECT_EQ(dest.At(x, y), keyed ? kGrey : green) << x << ", " << y;
        }
    }
    BlitColorKeyed(dest.Dc(), 0, 0, nullptr, 0, 0, 3, 3, key);
    EXPECT_EQ(dest.At(0, 0), kGrey);

    // The indicator glyph keeps the button around it: its first and last columns are the key.
    HBITMAP glyph = LoadSkinBitmap(GetModuleHandleW(nullptr), skin::kIndicatorGlyphId, nullptr);
    ASSERT_NE(glyph, nullptr);
    CSurface button(skin::kGlyphWidth, skin::kGlyphHeight, kGrey);
    BlitColorKeyed(button.Dc(), 0, 0, glyph, 0, 0, skin::kGlyphWidth, skin::kGlyphHeight,
                   skin::kGlyphKeyColour);
    DeleteObject(glyph);
    EXPECT_TRUE(
        UntouchedOutside(button, kGrey, 1, 0, skin::kGlyphWidth - 2, skin::kGlyphHeight - 1));
    EXPECT_FALSE(UntouchedOutside(button, kGrey, -1, -1, -1, -1)) << "something is drawn";
}

TEST(DrawLine, ExcludesTheEndPoint) {
    const COLORREF white = RGB(255, 255, 255), red = RGB(200, 0, 0);
    CSurface surface(12, 12, white);
    DrawLine(surface.Dc(), 2, 5, 8, 5, red);
    DrawLine(surface.Dc(), 10, 1, 10, 4, red);
    const Box across =
        surface.BoundsWhere([&](int x, int y) { return y == 5 && surface.At(x, y) == red; });
    const Box down =
        surface.BoundsWhere([&](int x, int y) { return x == 10 && surface.At(x, y) == red; });
    EXPECT_TRUE(across.left == 2 && across.right == 7) << across.left << ".." << across.right;
    EXPECT_TRUE(down.top == 1 && down.bottom == 3) << down.top << ".." << down.bottom;
    EXPECT_EQ(surface.CountWhere([&](int x, int y) { return surface.At(x, y) == red; }), 9);
}

// Plain windows of a private class for the window tests.
class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"twEditorDrawingTest";
        RegisterClassW(&wc);
    }
    void TearDown() override {
        for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) DestroyWindow(*it);
    }
    HWND Create(DWORD style, int x, int y, int w, int h, HWND parent) {
        HWND window = CreateWindowExW(0, L"twEditorDrawingTest", L"", style, x, y, w, h, parent,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(window, nullptr);
        windows_.push_back(window);
        return window;
    }
    static RECT WindowRect(HWND window) {
        RECT r;
        GetWindowRect(window, &r);
        return r;
    }
    std::vector<HWND> windows_;
};

TEST_F(WindowTest, CopyParentBackgroundTakesTheBlockUnderTheControl) {
    // A bordered parent, so the control's client position differs from its screen offset.
    HWND page = Create(WS_POPUP | WS_BORDER, 200, 150, 120, 90, nullptr);
    HWND control = Create(WS_CHILD, 30, 20, 10, 8, page);
    CSurface background(100, 80);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x) background.Set(x, y, RGB(x, y, 7));
    }
    background.Deselect();  // as the page's skin, selected nowhere else
    CSurface offscreen(10, 8, RGB(255, 255, 255));
    CopyParentBackground(control, offscreen.Dc(), background.Bitmap());
    EXPECT_EQ(offscreen.At(0, 0), RGB(30, 20, 7));
    EXPECT_EQ(offscreen.At(9, 7), RGB(39, 27, 7));
}

TEST(CreateCaptionFont, IsTheStockGuiFontAtStandardResolution) {
    HDC screen = GetDC(nullptr);
    const bool standard = GetDeviceCaps(screen, LOGPIXELSY) == 96;
    HFONT font = CreateCaptionFont(screen);
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(!standard || font == GetStockObject(DEFAULT_GUI_FONT));
    DeleteObject(font);
    if (!standard) GTEST_SKIP() << "display is not at 96 dpi";
}

}  // namespace
