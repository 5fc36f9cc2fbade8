// The static classes under Wine: the label's drawing and click, and the two picture classes'
// bitmap, their background without one, and which of them reports clicks.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "ControlTestPage.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/StaticImage.h"
#include "editor/controls/StaticText.h"

using namespace controltest;

namespace {

constexpr int kId = 21;

class StaticControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterStaticTextClass(Module()));
        ASSERT_TRUE(RegisterStaticImageClass(Module()));
        ASSERT_TRUE(RegisterStaticNoHitImageClass(Module()));
    }
    void TearDown() override { page.Reset(); }
    CTestPage& page = CTestPage::Get();
};

TEST_F(StaticControlsTest, TextIsCentredInBlackOverThePage) {
    const int x = 100, y = 150, w = 80, h = 20;
    HWND label = page.Create(kStaticTextClassName, kId, x, y, w, h);
    SetWindowTextA(label, "Phase");
    EXPECT_TRUE(GetUpdateRect(label, nullptr, FALSE));
    CPixels pixels(label);
    int first = w, last = -1, black = 0;
    for (int px = 0; px < w; ++px) {
        for (int py = 0; py < h; ++py) {
            if (pixels.At(px, py) == page.BackgroundAt(x + px, y + py)) continue;
            if (px < first) first = px;
            last = px;
            black += pixels.At(px, py) == RGB(0, 0, 0);
        }
    }
    ASSERT_LT(first, last);
    EXPECT_GT(black, 0);
    EXPECT_LE(std::abs(first - (w - 1 - last)), 4) << first << " " << last;
    EXPECT_EQ(pixels.At(0, 0), page.BackgroundAt(x, y));

    // A font given with WM_SETFONT is the one used, and reported back.
    HFONT big = CreateFontA(-18, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(big), TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)), big);
    CPixels bigger(label);
    int biggerFirst = w;
    for (int px = 0; px < w && biggerFirst == w; ++px) {
        for (int py = 0; py < h; ++py) {
            if (bigger.At(px, py) != page.BackgroundAt(x + px, y + py)) {
                biggerFirst = px;
                break;
            }
        }
    }
    EXPECT_LT(biggerFirst, first);
    DestroyWindow(label);
    DeleteObject(big);
}

TEST_F(StaticControlsTest, TextPostsAClickForPressAndDoubleClick) {
    HWND label = page.Create(kStaticTextClassName, kId, 100, 150, 80, 20);
    page.Take();
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, Point(3, 3));
    SendMessageA(label, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(3, 3));
    SendMessageA(label, WM_RBUTTONDOWN, MK_RBUTTON, Point(3, 3));
    const auto notes = page.Take();
    ASSERT_EQ(notes.size(), 2u);
    for (const Note& n : notes) {
        EXPECT_EQ(n.message, UINT(WM_COMMAND));
        EXPECT_EQ(n.wParam, MAKEWPARAM(kId, STN_TEXTCLICK));
        EXPECT_EQ(reinterpret_cast<HWND>(n.lParam), label);
    }
}

TEST_F(StaticControlsTest, PictureShowsTheTopLeftOfItsBitmapOrElseThePage) {
    const int x = 200, y = 100;
    HWND picture = page.Create(kStaticNoHitImageClassName, kId, x, y, 8, 6);
    CPixels empty(picture);
    EXPECT_EQ(empty.At(0, 0), page.BackgroundAt(x, y));
    EXPECT_EQ(empty.At(7, 5), page.BackgroundAt(x + 7, y + 5));

    SendMessageA(picture, SIM_SETBITMAP, skin::kClipActiveId, 0);
    EXPECT_TRUE(GetUpdateRect(picture, nullptr, FALSE));
    CPixels shown(picture);
    for (int py = 0; py < 6; ++py) {
        for (int px = 0; px < 8; ++px) {
            EXPECT_EQ(shown.At(px, py), BitmapPixel(skin::kClipActiveId, px, py)) << px << ", " << py;
        }
    }
    SendMessageA(picture, SIM_SETBITMAP, WPARAM(kNoStaticBitmap), 0);
    EXPECT_EQ(CPixels(picture).At(0, 0), page.BackgroundAt(x, y));
}

TEST_F(StaticControlsTest, OnlyTheClickablePictureReportsClicks) {
    HWND clickable = page.Create(kStaticImageClassName, kId, 10, 10, 12, 9);
    HWND noHit = page.Create(kStaticNoHitImageClassName, kId + 1, 30, 10, 12, 9);
    page.Take();
    for (HWND picture : {noHit, clickable}) {
        SendMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, Point(4, 5));
        SendMessageA(picture, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(6, 2));
    }
    const auto notes = page.Take();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].message, SIN_CLICK);
    EXPECT_EQ(notes[0].wParam, WPARAM(kId));
    EXPECT_EQ(notes[0].lParam, Point(4, 5));
    EXPECT_EQ(notes[1].lParam, Point(6, 2));
}

}  // namespace
