// The static classes under Wine: the label's drawing and click, and the two picture classes'
// bitmap, their background without one, and which of them reports clicks.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "ControlTestPage.h"
#include "editor/controls/StaticImage.h"
#include "editor/controls/StaticText.h"

using namespace controltest;

namespace {

constexpr int kId = 21;

class StaticControlsTest : public CControlTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterStaticTextClass(Module()));
        ASSERT_TRUE(RegisterStaticImageClass(Module()));
        ASSERT_TRUE(RegisterStaticNoHitImageClass(Module()));
    }
    // Where the control at page position (x, y) shows something other than the page under it,
    // and how many of those pixels are black.
    Box Ink(int x, int y, int* black = nullptr) {
        const CPixels pixels(control);
        auto ink = [&](int px, int py) { return pixels.At(px, py) != skin_.At(x + px, y + py); };
        if (black) {
            *black = pixels.CountWhere(
                [&](int px, int py) { return ink(px, py) && !pixels.At(px, py); });
        }
        return pixels.BoundsWhere(ink);
    }

    const CSurface skin_{page.background()};
};

TEST_F(StaticControlsTest, TextIsCentredInBlackOverThePageInItsFont) {
    const int x = 100, y = 150, w = 80;
    control = page.Create(kStaticTextClassName, kId, x, y, w, 20);
    SetWindowTextA(control, "Phase");
    EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE));
    int black = 0;
    const Box text = Ink(x, y, &black);
    EXPECT_TRUE(!text.Empty() && black > 0);
    EXPECT_LE(std::abs(text.left - (w - 1 - text.right)), 4) << text.left << " " << text.right;

    // A font given with WM_SETFONT is the one used, and reported back.
    HFONT big = CreateFontA(-18, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(Send(WM_GETFONT)), big);
    EXPECT_LT(Ink(x, y).left, text.left);
    DestroyWindow(control);
    DeleteObject(big);
}

TEST_F(StaticControlsTest, TextPostsAClickForPressAndDoubleClick) {
    control = page.Create(kStaticTextClassName, kId, 100, 150, 80, 20);
    Play({Pointer(WM_LBUTTONDOWN, 3, 3), Pointer(WM_LBUTTONDBLCLK, 3, 3), {WM_RBUTTONDOWN, 0, 0}});
    const auto notes = Notes();
    ASSERT_EQ(notes.size(), 2u);
    for (const Note& n : notes) {
        EXPECT_TRUE(n.message == WM_COMMAND && n.wParam == MAKEWPARAM(kId, STN_TEXTCLICK));
    }
}

TEST_F(StaticControlsTest, PictureShowsTheTopLeftOfItsBitmapOrElseThePage) {
    const int x = 200, y = 100;
    control = page.Create(kStaticNoHitImageClassName, kId, x, y, 8, 6);
    EXPECT_TRUE(Ink(x, y).Empty());
    Send(SIM_SETBITMAP, skin::kClipActiveId);
    EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE));
    const CPixels shown(control);
    EXPECT_EQ(PixelsNotShowing(shown, *BitmapPixels(skin::kClipActiveId), 0, 0, CLR_INVALID, shown),
              0);
    Send(SIM_SETBITMAP, WPARAM(kNoStaticBitmap));
    EXPECT_TRUE(Ink(x, y).Empty());
}

TEST_F(StaticControlsTest, OnlyTheClickablePictureReportsClicks) {
    HWND clickable = page.Create(kStaticImageClassName, kId, 10, 10, 12, 9);
    HWND noHit = page.Create(kStaticNoHitImageClassName, kId + 1, 30, 10, 12, 9);
    for (HWND picture : {noHit, clickable}) {
        control = picture;
        Play({Pointer(WM_LBUTTONDOWN, 4, 5), Pointer(WM_LBUTTONDBLCLK, 6, 2)});
    }
    const auto notes = page.Take();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_TRUE(notes[0].message == SIN_CLICK && notes[0].wParam == WPARAM(kId));
    EXPECT_TRUE(notes[0].lParam == Point(4, 5) && notes[1].lParam == Point(6, 2));
}

}  // namespace
