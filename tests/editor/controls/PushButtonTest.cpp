// "tw:PushButton" under Wine: presses by mouse and space key with their notifications and the
// capture flag, cancelling a press, and what it paints (images and tint, icon, arrow, glyph,
// focus frame, caption).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "ControlTestPage.h"
#include "editor/Compositing.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/StaticImage.h"
#include "editor/controls/StaticText.h"
#include "editor/controls/ValueEdit.h"

using namespace controltest;

namespace {

constexpr int kId = 7;
constexpr int kWidth = 76;
constexpr int kHeight = 21;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kFocusGrey = RGB(0x90, 0x90, 0x90);

class PushButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterPushButtonClass(Module()));
        button = Create();
        ASSERT_NE(button, nullptr);
        page.Take();
    }
    void TearDown() override {
        page.Reset();
        ControlCaptureFlag = 0;
    }

    HWND Create(DWORD style = 0, int id = kId, int x = 20, int y = 20) {
        return page.Create(kPushButtonClassName, id, x, y, kWidth, kHeight, style);
    }
    // The WM_COMMAND codes received, in order.
    std::vector<int> Codes() {
        std::vector<int> codes;
        for (const Note& n : page.Take()) {
            if (n.message != WM_COMMAND) continue;
            EXPECT_EQ(LOWORD(n.wParam), kId);
            EXPECT_EQ(reinterpret_cast<HWND>(n.lParam), button);
            codes.push_back(HIWORD(n.wParam));
        }
        return codes;
    }

    CTestPage& page = CTestPage::Get();
    HWND button = nullptr;
};

using CodeList = std::vector<int>;

TEST_F(PushButtonTest, MousePressClicksOnlyWhenReleasedOverTheButton) {
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS}));
    EXPECT_EQ(ControlCaptureFlag, 1);
    EXPECT_EQ(GetCapture(), button);
    EXPECT_EQ(GetFocus(), button);

    // A negative x is outside even though it is below the width.
    SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, Point(-1, 5));
    EXPECT_EQ(Codes(), CodeList({BTN_LEAVE}));
    SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, Point(200, 5));
    EXPECT_EQ(Codes(), CodeList());
    SendMessageA(button, WM_LBUTTONUP, 0, Point(200, 5));
    EXPECT_EQ(Codes(), CodeList());
    EXPECT_EQ(ControlCaptureFlag, 0);
    EXPECT_EQ(GetCapture(), nullptr);

    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, Point(5, kHeight));
    SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, Point(kWidth - 1, kHeight - 1));
    SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, Point(3, 3));
    SendMessageA(button, WM_LBUTTONUP, 0, Point(3, 3));
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS, BTN_LEAVE, BTN_ENTER, BTN_CLICK}));

    // Moves and releases without a press do nothing.
    SendMessageA(button, WM_MOUSEMOVE, 0, Point(200, 5));
    SendMessageA(button, WM_LBUTTONUP, 0, Point(3, 3));
    EXPECT_EQ(Codes(), CodeList());
}

TEST_F(PushButtonTest, DoubleClickPressesUnlessTheDoubleClickCodeIsSet) {
    SendMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
    SendMessageA(button, WM_LBUTTONUP, 0, Point(5, 5));
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS, BTN_CLICK}));
    SendMessageA(button, BTM_SETDBLCLKCODE, 1, 0);
    SendMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
    SendMessageA(button, WM_LBUTTONUP, 0, Point(5, 5));
    EXPECT_EQ(Codes(), CodeList({BTN_DBLCLK, BTN_CLICK}));
}

TEST_F(PushButtonTest, SpaceKeyPressesAndItsReleaseClicks) {
    SetFocus(button);
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 1);
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 1 | (1 << 30));  // auto-repeat
    EXPECT_EQ(ControlCaptureFlag, 1);
    // Pointer moves do not end a keyboard press.
    SendMessageA(button, WM_MOUSEMOVE, 0, Point(300, 300));
    SendMessageA(button, WM_KEYUP, VK_SPACE, 0xc0000001);
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS, BTN_PRESS, BTN_CLICK}));
    EXPECT_EQ(ControlCaptureFlag, 0);

    // Another key's release ends the press without a click.
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 1);
    SendMessageA(button, WM_KEYUP, 'A', 0xc0000001);
    SendMessageA(button, WM_KEYUP, VK_SPACE, 0xc0000001);
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS}));
    EXPECT_EQ(ControlCaptureFlag, 0);
    EXPECT_EQ(GetCapture(), nullptr);

    // Other keys go their default way: no press.
    SendMessageA(button, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(Codes(), CodeList());
    EXPECT_EQ(SendMessageA(button, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_UNDEFPUSHBUTTON);
}

TEST_F(PushButtonTest, CancelPressReleasesAtTheOriginAndDropsOneQueuedClick) {
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    PostMessageA(button, WM_LBUTTONUP, 0, Point(5, 5));
    PostMessageA(button, WM_LBUTTONDOWN, 0, Point(5, 5));
    SendMessageA(button, BTM_CANCELPRESS, 0, 0);
    // The pointer counted as inside, so the self-sent release is a click.
    EXPECT_EQ(ControlCaptureFlag, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, button, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_LBUTTONDOWN));
    EXPECT_FALSE(PeekMessageA(&msg, button, 0, 0, PM_REMOVE));
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS, BTN_CLICK}));

    // Pressed and dragged off: cancelling gives no click.
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, Point(100, 5));
    SendMessageA(button, BTM_CANCELPRESS, 0, 0);
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS, BTN_LEAVE}));
}

TEST_F(PushButtonTest, LosingTheCaptureLowersTheFlag) {
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    ASSERT_EQ(ControlCaptureFlag, 1);
    SetCapture(page.window());
    EXPECT_EQ(ControlCaptureFlag, 0);
    ReleaseCapture();
}

TEST_F(PushButtonTest, RightPressAsksTheParent) {
    page.rightButtonAnswer = 77;
    EXPECT_EQ(SendMessageA(button, WM_RBUTTONDOWN, MK_RBUTTON, Point(4, 9)), 77);
    const auto notes = page.Take();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].message, BTN_RBUTTONDOWN);
    EXPECT_EQ(notes[0].wParam, WPARAM(kId));
    EXPECT_EQ(notes[0].lParam, Point(4, 9));
}

// Images: the normal one as stored, the pressed one while pressed, the lit tint inside the
// margins of the state's mode, translucent when disabled.
TEST_F(PushButtonTest, PaintsItsImagesWithTheLitTintInsideTheMargins) {
    const BYTE* normal = LoadRawImage(Module(), skin::kButton76Id);
    const BYTE* pressed = LoadRawImage(Module(), skin::kButton76PressedId);
    ASSERT_NE(normal, nullptr);
    ASSERT_NE(pressed, nullptr);
    const int row = kHeight / 2;
    for (int x : {1, 2, 40}) {
        ASSERT_EQ(RgbtTransparency(normal, kWidth, x, row), skin::kOpaque) << x;
    }
    ASSERT_EQ(RgbtTransparency(pressed, kWidth, 40, row), skin::kOpaque);
    SendMessageA(button, BTM_SETIMAGES, reinterpret_cast<WPARAM>(normal),
                 reinterpret_cast<LPARAM>(pressed));
    auto tinted = [](COLORREF c) {
        const unsigned t = skin::kHighlightTint, d = t >> 24;
        return RGB(skin::TintChannel(GetRValue(c), t & 0xff, d),
                   skin::TintChannel(GetGValue(c), (t >> 8) & 0xff, d),
                   skin::TintChannel(GetBValue(c), (t >> 16) & 0xff, d));
    };

    RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE);
    CPixels unlit(button);
    EXPECT_EQ(unlit.At(1, row), RgbtColour(normal, kWidth, 1, row));
    EXPECT_EQ(unlit.At(40, row), RgbtColour(normal, kWidth, 40, row));

    SendMessageA(button, BTM_SETSTATE, 1, 1);  // margin mode 1: two pixels untinted
    EXPECT_EQ(SendMessageA(button, BTM_GETSTATE, 0, 0), 1);
    CPixels lit(button);
    EXPECT_EQ(lit.At(1, row), RgbtColour(normal, kWidth, 1, row));
    EXPECT_EQ(lit.At(2, row), tinted(RgbtColour(normal, kWidth, 2, row)));

    const int insets[4] = {};
    SendMessageA(button, BTM_SETFOCUSINSETS, reinterpret_cast<WPARAM>(insets), 1);
    SendMessageA(button, BTM_REDRAW, 0, 1);  // margin mode 2: one pixel at the left
    EXPECT_EQ(CPixels(button).At(1, row), tinted(RgbtColour(normal, kWidth, 1, row)));

    SendMessageA(button, BTM_SETSTATE, 0, 1);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    SetFocus(page.window());  // keep the focus frame out of the sampled pixels
    EXPECT_EQ(CPixels(button).At(40, row), RgbtColour(pressed, kWidth, 40, row));
    SendMessageA(button, WM_LBUTTONUP, 0, Point(5, 5));

    EnableWindow(button, FALSE);
    SendMessageA(button, BTM_REDRAW, 0, 1);
    EXPECT_NE(CPixels(button).At(40, row), RgbtColour(normal, kWidth, 40, row));
}

TEST_F(PushButtonTest, IconSitsAtTheRightAndMovesWhilePressed) {
    // The clip indicator (12 x 9) as an icon; its key colour appears nowhere in it.
    SendMessageA(button, BTM_SETICONKEY, RGB(1, 2, 3), 0);
    SendMessageA(button, BTM_SETICON, skin::kClipActiveId, 1);
    const int w = kWidth - 4, h = kHeight - 4;
    const int x = 2 + (w - skin::kClipWidth), y = 2 + (h - skin::kClipHeight) / 2;
    CPixels idle(button);
    EXPECT_EQ(idle.At(x, y), BitmapPixel(skin::kClipActiveId, 0, 0));
    EXPECT_EQ(idle.At(x + 11, y + 8), BitmapPixel(skin::kClipActiveId, 11, 8));
    EXPECT_EQ(idle.At(x - 1, y), kWhite);
    EXPECT_EQ(idle.At(x, y - 1), kWhite);

    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    SetFocus(page.window());
    CPixels down(button);
    EXPECT_EQ(down.At(x + 1, y + 1), BitmapPixel(skin::kClipActiveId, 0, 0));
    EXPECT_EQ(down.At(x, y), kWhite);
    SendMessageA(button, WM_LBUTTONUP, 0, Point(5, 5));

    SendMessageA(button, BTM_SETICON, 0, 1);
    EXPECT_EQ(CPixels(button).At(x, y), kWhite);
}

TEST_F(PushButtonTest, DropDownArrowAndIndicatorGlyph) {
    HWND arrow = Create(PBS_ARROW, kId + 1, 120, 20);
    HWND glyph = Create(PBS_GLYPH, kId + 2, 220, 20);
    // Content right R = 74; text top T = 3 (content 2..19, top moved to 3 and 3..19 even).
    const int r = kWidth - 2, t = 3;
    CPixels arrowPixels(arrow);
    const COLORREF dark = RGB(0x40, 0x40, 0x40);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(arrowPixels.At(r - 10 + row - 1, t + 5 + row), kWhite) << row;
        for (int x = r - 10 + row; x < r - 3 - row; ++x) {
            EXPECT_EQ(arrowPixels.At(x, t + 5 + row), dark) << x << ", " << row;
        }
        EXPECT_EQ(arrowPixels.At(r - 3 - row, t + 5 + row), kWhite) << row;
    }

    CPixels glyphPixels(glyph);
    int shown = 0;
    for (int y = 0; y < skin::kGlyphHeight; ++y) {
        for (int x = 0; x < skin::kGlyphWidth; ++x) {
            const COLORREF source = BitmapPixel(skin::kIndicatorGlyphId, x, y);
            const COLORREF expected = source == RGB(255, 0, 255) ? kWhite : source;
            if (source != RGB(255, 0, 255)) ++shown;
            EXPECT_EQ(glyphPixels.At(r - 10 + x, t + 1 + y), expected) << x << ", " << y;
        }
    }
    EXPECT_GT(shown, 0);
}

TEST_F(PushButtonTest, FocusFrameFollowsTheFocusAndItsInsets) {
    // Content 2..74 x 2..19, shrunk by one: frame 3..73 x 3..18.
    EXPECT_EQ(CPixels(button).At(3, 10), kWhite);
    SetFocus(button);
    CPixels focused(button);
    EXPECT_EQ(focused.At(3, 10), kFocusGrey);    // left edge
    EXPECT_EQ(focused.At(30, 3), kFocusGrey);    // top edge
    EXPECT_EQ(focused.At(30, 17), kFocusGrey);   // bottom edge, one above the bottom
    EXPECT_EQ(focused.At(72, 10), kFocusGrey);   // right edge, one left of the right
    EXPECT_EQ(focused.At(73, 10), kWhite);
    EXPECT_EQ(focused.At(30, 18), kWhite);

    const int insets[4] = {-2, 0, 1, 0};
    SendMessageA(button, BTM_SETFOCUSINSETS, reinterpret_cast<WPARAM>(insets), 0);
    SendMessageA(button, BTM_REDRAW, 0, 1);
    CPixels moved(button);
    EXPECT_EQ(moved.At(1, 10), kFocusGrey);
    EXPECT_EQ(moved.At(73, 10), kFocusGrey);
    EXPECT_EQ(moved.At(72, 10), kWhite);

    SetFocus(page.window());
    EXPECT_EQ(CPixels(button).At(73, 10), kWhite);
}

// The columns holding caption ink (pixels that are not the white face) in rows 3..17.
void InkColumns(HWND button, int* first, int* last) {
    CPixels pixels(button);
    *first = kWidth;
    *last = -1;
    for (int x = 1; x < kWidth - 1; ++x) {
        for (int y = 3; y < kHeight - 3; ++y) {
            if (pixels.At(x, y) == kWhite) continue;
            if (x < *first) *first = x;
            *last = x;
        }
    }
}

TEST_F(PushButtonTest, CaptionIsCentredOrLeftBesideASideMark) {
    SetWindowTextA(button, "Undo");
    int first, last;
    InkColumns(button, &first, &last);
    ASSERT_LT(first, last);
    EXPECT_LE(std::abs(first - (kWidth - 1 - last)), 3) << first << " " << last;

    HWND side = Create(PBS_GLYPH, kId + 1, 120, 20);
    SetWindowTextA(side, "Undo");
    // The glyph sits at the right; the first ink column is the caption's.
    InkColumns(side, &first, &last);
    EXPECT_GE(first, 5);
    EXPECT_LE(first, 7);

    SendMessageA(button, BTM_SETTEXTCOLOR, RGB(200, 0, 0), 0);
    SendMessageA(button, BTM_REDRAW, 0, 1);
    CPixels red(button);
    bool anyRed = false;
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight; ++y) anyRed |= red.At(x, y) == RGB(200, 0, 0);
    }
    EXPECT_TRUE(anyRed);
}

TEST_F(PushButtonTest, SettingTheSameCaptionAgainDoesNotRepaint) {
    SetWindowTextA(button, "Reset");
    UpdateWindow(button);
    const COLORREF marker = RGB(1, 200, 3);
    HDC dc = GetDC(button);
    SetPixel(dc, 10, 10, marker);
    ReleaseDC(button, dc);
    ASSERT_EQ(CPixels(button).At(10, 10), marker);

    EXPECT_EQ(SendMessageA(button, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Reset")), 0);
    EXPECT_FALSE(GetUpdateRect(button, nullptr, FALSE));
    EXPECT_EQ(CPixels(button).At(10, 10), marker);

    // A new caption repaints at once, before any WM_PAINT, and is stored as the window text.
    SetWindowTextA(button, "Undo");
    EXPECT_TRUE(GetUpdateRect(button, nullptr, FALSE));
    HDC direct = GetDC(button);
    EXPECT_NE(GetPixel(direct, 10, 10), marker);
    ReleaseDC(button, direct);
    char text[16];
    GetWindowTextA(button, text, sizeof text);
    EXPECT_STREQ(text, "Undo");
    SetWindowTextA(button, "");
    GetWindowTextA(button, text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST(ControlClasses, RegisterWithTheSharedAttributesAndToleratesRepeats) {
    using Register = bool (*)(HINSTANCE);
    const struct {
        const char* name;
        Register reg;
    } classes[] = {
        {kPushButtonClassName, RegisterPushButtonClass},
        {kValueEditClassName, RegisterValueEditClass},
        {kStaticTextClassName, RegisterStaticTextClass},
        {kStaticImageClassName, RegisterStaticImageClass},
        {kStaticNoHitImageClassName, RegisterStaticNoHitImageClass},
    };
    for (const auto& c : classes) {
        ASSERT_TRUE(c.reg(Module())) << c.name;
        EXPECT_TRUE(c.reg(Module())) << c.name;  // an earlier editor registered it
        WNDCLASSA info = {};
        ASSERT_TRUE(GetClassInfoA(Module(), c.name, &info)) << c.name;
        EXPECT_EQ(info.style, UINT(CS_DBLCLKS | CS_PARENTDC)) << c.name;
        EXPECT_EQ(info.cbWndExtra, 4) << c.name;
        EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)) << c.name;
    }
    UnregisterStaticNoHitImageClass(Module());
    WNDCLASSA info = {};
    EXPECT_FALSE(GetClassInfoA(Module(), kStaticNoHitImageClassName, &info));
    EXPECT_TRUE(RegisterStaticNoHitImageClass(Module()));
}

}  // namespace
