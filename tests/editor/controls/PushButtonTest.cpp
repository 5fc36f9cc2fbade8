// "tw:PushButton" under Wine: presses by mouse and space key with their notifications and the
// capture flag, cancelling a press, and what it paints (images and tint, icon, arrow, glyph,
// focus frame, caption), each found by comparing with a plain button's picture.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ControlTestPage.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/StaticImage.h"
#include "editor/controls/StaticText.h"
#include "editor/controls/ValueEdit.h"

using namespace controltest;

namespace {

constexpr int kId = 7, kWidth = 76, kHeight = 21;
using CodeList = std::vector<int>;

class PushButtonTest : public CControlTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterPushButtonClass(Module()));
        control = Create();
        ASSERT_NE(control, nullptr);
        page.Take();
    }
    HWND Create(DWORD style = 0, int id = kId, int x = 20) {
        return page.Create(kPushButtonClassName, id, x, 20, kWidth, kHeight, style);
    }
    void Mouse(UINT message, int x = 5, int y = 5) { Play({Pointer(message, x, y)}); }
    // The WM_COMMAND codes received, in order.
    CodeList Codes() {
        CodeList codes;
        for (const Note& n : Notes(WM_COMMAND)) {
            EXPECT_EQ(LOWORD(n.wParam), kId);
            codes.push_back(HIWORD(n.wParam));
        }
        return codes;
    }
};

// Presses by mouse and space key, and what they notify: a click only when the press ends over
// the button (the space key's own release); a double-click presses unless its code is set.
TEST_F(PushButtonTest, PressesNotifyAndClickOnlyWhenReleasedOverTheButton) {
    Mouse(WM_LBUTTONDOWN);
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS}));
    EXPECT_TRUE(Captured(control) && GetFocus() == control);
    Mouse(WM_LBUTTONUP);
    EXPECT_TRUE(Released(control));
    Codes();
    const Note repeat = {WM_KEYDOWN, VK_SPACE, 1 | (1 << 30)};
    const struct {
        std::vector<Note> messages;
        CodeList codes;
    } scripts[] = {
        // A negative x is outside even though it is below the width.
        {{Pointer(WM_LBUTTONDOWN, 5, 5), Pointer(WM_MOUSEMOVE, -1, 5),
          Pointer(WM_LBUTTONUP, -1, 5)},
         {BTN_PRESS, BTN_LEAVE}},
        {{Pointer(WM_LBUTTONDOWN, 5, 5), Pointer(WM_MOUSEMOVE, 5, kHeight),
          Pointer(WM_MOUSEMOVE, 200, 5), Pointer(WM_MOUSEMOVE, kWidth - 1, kHeight - 1),
          Pointer(WM_LBUTTONUP, 3, 3)},
         {BTN_PRESS, BTN_LEAVE, BTN_ENTER, BTN_CLICK}},
        {{Pointer(WM_MOUSEMOVE, 200, 5), Pointer(WM_LBUTTONUP, 3, 3)}, {}},
        {{Pointer(WM_LBUTTONDBLCLK, 5, 5), Pointer(WM_LBUTTONUP, 5, 5)}, {BTN_PRESS, BTN_CLICK}},
        // Pointer moves do not end a keyboard press; another key's release ends it without a
        // click; other keys go their default way.
        {{Key(WM_KEYDOWN, VK_SPACE), repeat, Pointer(WM_MOUSEMOVE, 300, 300),
          Key(WM_KEYUP, VK_SPACE)},
         {BTN_PRESS, BTN_PRESS, BTN_CLICK}},
        {{Key(WM_KEYDOWN, VK_SPACE), Key(WM_KEYUP, 'A'), Key(WM_KEYUP, VK_SPACE),
          Key(WM_KEYDOWN, 'A')},
         {BTN_PRESS}},
    };
    for (const auto& script : scripts) {
        Play(script.messages);
        EXPECT_EQ(Codes(), script.codes) << "script " << &script - scripts;
        EXPECT_TRUE(Released(control)) << "script " << &script - scripts;
    }
    Send(BTM_SETDBLCLKCODE, 1);
    Play({Pointer(WM_LBUTTONDBLCLK, 5, 5), Pointer(WM_LBUTTONUP, 5, 5)});
    EXPECT_EQ(Codes(), CodeList({BTN_DBLCLK, BTN_CLICK}));
    EXPECT_EQ(Send(WM_GETDLGCODE), DLGC_WANTARROWS | DLGC_UNDEFPUSHBUTTON);

    Mouse(WM_LBUTTONDOWN);
    SetCapture(page.window());
    EXPECT_EQ(ControlCaptureFlag, 0) << "losing the capture lowers the flag";
    ReleaseCapture();
}

// Keys as a host frame's dialog manager routes them (IsDialogMessage, which would give Enter to
// the frame's default button): Enter and the space key press a button and click it at their
// release; F4 and Alt+Down press a drop-down button, whose menu opens on the press. A pressing
// key's character is used up, or the menu would take it for its own Enter or space.
TEST_F(PushButtonTest, EnterSpaceF4AndAltDownPressThroughTheDialogManager) {
    const Note altDown = {WM_SYSKEYDOWN, VK_DOWN, 1 | (1 << 29)};
    const struct {
        DWORD style;
        std::vector<Note> keys;
        CodeList codes;
    } cases[] = {
        {0, {Key(WM_KEYDOWN, VK_RETURN), Key(WM_KEYUP, VK_RETURN)}, {BTN_PRESS, BTN_CLICK}},
        {0, {Key(WM_KEYDOWN, VK_SPACE), Key(WM_KEYUP, VK_SPACE)}, {BTN_PRESS, BTN_CLICK}},
        {0, {Key(WM_KEYDOWN, VK_F4), Key(WM_KEYUP, VK_F4), altDown}, {}},
        {PBS_ARROW, {Key(WM_KEYDOWN, VK_F4)}, {BTN_PRESS}},
        {PBS_ARROW, {altDown}, {BTN_PRESS}},
        {PBS_ARROW, {Key(WM_KEYDOWN, VK_SPACE)}, {BTN_PRESS}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        DestroyWindow(control);
        control = Create(c.style);
        SetFocus(control);
        for (const Note& key : c.keys) ThroughDialogManager(page.window(), control, key);
        MSG left;
        EXPECT_FALSE(PeekMessageA(&left, control, WM_CHAR, WM_CHAR, PM_NOREMOVE));
        EXPECT_EQ(Codes(), c.codes);
        Send(BTM_CANCELPRESS);
        Codes();
        EXPECT_TRUE(Released(control));
    }
}

TEST_F(PushButtonTest, CancelPressReleasesAtTheOriginAndDropsOneQueuedClick) {
    Mouse(WM_LBUTTONDOWN);
    PostMessageA(control, WM_LBUTTONUP, 0, Point(5, 5));
    PostMessageA(control, WM_LBUTTONDOWN, 0, Point(5, 5));
    Send(BTM_CANCELPRESS);
    EXPECT_TRUE(Released(control));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, control, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_LBUTTONDOWN));
    EXPECT_FALSE(PeekMessageA(&msg, control, 0, 0, PM_REMOVE));
    // The pointer counted as inside, so the self-sent release is a click; not so once it left.
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS, BTN_CLICK}));
    Mouse(WM_LBUTTONDOWN);
    Mouse(WM_MOUSEMOVE, 100);
    Send(BTM_CANCELPRESS);
    EXPECT_EQ(Codes(), CodeList({BTN_PRESS, BTN_LEAVE}));

    page.answer = 77;  // a right press asks the page
    EXPECT_EQ(Send(WM_RBUTTONDOWN, MK_RBUTTON, Point(4, 9)), 77);
    const auto notes = page.Take();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_TRUE(notes[0].message == BTN_RBUTTONDOWN && notes[0].wParam == WPARAM(kId) &&
                notes[0].lParam == Point(4, 9));
}

// A press that lost the capture (to another window, or by WM_CANCELMODE) never clicks: a plain
// or glyph button pops up at once; a drop-down one stays down, ignoring the pointer and
// releases, until BTM_CANCELPRESS. Closing a button mid-press lowers the flag.
TEST_F(PushButtonTest, PressThatLostTheCaptureNeverClicks) {
    for (DWORD style : {DWORD(0), PBS_ARROW, PBS_GLYPH}) {
        for (bool cancelMode : {false, true}) {
            SCOPED_TRACE(testing::Message() << style << (cancelMode ? " cancel mode" : ""));
            DestroyWindow(control);
            control = Create(style);
            SetWindowTextA(control, "Go");
            SetFocus(control);
            const CPixels up(control);
            auto showsUp = [&] { return CPixels(control).Differences(up).Empty(); };
            Mouse(WM_LBUTTONDOWN);
            LoseCapture(cancelMode);
            EXPECT_TRUE(Released(control));
            EXPECT_EQ(showsUp(), style != PBS_ARROW);
            Mouse(WM_MOUSEMOVE, 200);
            Mouse(WM_MOUSEMOVE);
            Mouse(WM_LBUTTONUP);
            EXPECT_EQ(showsUp(), style != PBS_ARROW);
            Send(BTM_CANCELPRESS);
            EXPECT_TRUE(showsUp());
            EXPECT_EQ(Codes(), CodeList({BTN_PRESS}));
        }
    }
    Mouse(WM_LBUTTONDOWN);
    DestroyWindow(control);
    control = nullptr;
    EXPECT_EQ(ControlCaptureFlag, 0);
}

// Every opaque pixel of the image shows as stored, or through the lit tint where the state's
// margin mode tints; the pressed image while pressed; translucent when disabled.
TEST_F(PushButtonTest, PaintsItsImagesWithTheLitTintInsideTheMargins) {
    const BYTE* normal = LoadRawImage(Module(), skin::kButton76Id);
    const BYTE* pressed = LoadRawImage(Module(), skin::kButton76PressedId);
    ASSERT_TRUE(normal && pressed);
    Send(BTM_SETIMAGES, reinterpret_cast<WPARAM>(normal), reinterpret_cast<LPARAM>(pressed));
    auto wrongPixels = [&](const BYTE* image, int marginMode) {  // -1: untinted
        const CPixels shown(control);
        return shown.CountWhere([&](int x, int y) {
            if (RgbtTransparency(image, kWidth, x, y) != skin::kOpaque) return false;
            const COLORREF c = RgbtColour(image, kWidth, x, y);
            const bool tinted =
                marginMode >= 0 && skin::IsTintedPixel(x, y, kWidth, kHeight, marginMode);
            return shown.At(x, y) != (tinted ? Tinted(c, skin::kHighlightTint) : c);
        });
    };
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE);
    EXPECT_EQ(wrongPixels(normal, -1), 0);
    Send(BTM_SETSTATE, 1, 1);
    EXPECT_EQ(Send(BTM_GETSTATE), 1);
    EXPECT_EQ(wrongPixels(normal, skin::kTintInsideEvenMargin), 0);
    const int noInsets[4] = {};
    Send(BTM_SETFOCUSINSETS, reinterpret_cast<WPARAM>(noInsets), 1);
    Send(BTM_REDRAW, 0, 1);
    EXPECT_EQ(wrongPixels(normal, skin::kTintInsideButtonMargin), 0);

    Send(BTM_SETSTATE, 0, 1);
    Mouse(WM_LBUTTONDOWN);
    SetFocus(page.window());  // keep the focus frame out of the picture
    EXPECT_EQ(wrongPixels(pressed, -1), 0);
    Mouse(WM_LBUTTONUP, 5);
    EnableWindow(control, FALSE);
    Send(BTM_REDRAW, 0, 1);
    EXPECT_GT(wrongPixels(normal, -1), kWidth * kHeight / 2);
}

// The icon: the whole bitmap at the right, centred across, one pixel down and right while
// pressed, its key colour showing the face.
// Enabling or disabling the button shows at once, without a repaint asked for by its page.
TEST_F(PushButtonTest, ShowsItsStateAtOnceWhenDisabledAndEnabled) {
    SetWindowTextA(control, "Best");  // a caption, which greys when disabled
    const CPixels enabled(control);
    EnableWindow(control, FALSE);
    EXPECT_FALSE(CPixels(control).Differences(enabled).Empty());
    EnableWindow(control, TRUE);
    EXPECT_TRUE(CPixels(control).Differences(enabled).Empty());
}

TEST_F(PushButtonTest, IconSitsAtTheRightAndMovesWhilePressed) {
    const CPixels plain(control);
    const auto clip = BitmapPixels(skin::kClipActiveId);
    Send(BTM_SETICONKEY, RGB(1, 2, 3));  // in none of its pixels
    Send(BTM_SETICON, skin::kClipActiveId, 1);
    const Box icon = CPixels(control, CPixels::kAsShown).Differences(plain);
    EXPECT_TRUE(icon.Width() == clip->Width() && icon.Height() == clip->Height());
    EXPECT_LE(kWidth - 1 - icon.right, 3);
    EXPECT_LE(std::abs(icon.top - (kHeight - 1 - icon.bottom)), 1);
    const COLORREF key = clip->At(0, 0);
    Send(BTM_SETICONKEY, key);
    for (int d : {0, 1}) {
        if (d == 1) {
            Mouse(WM_LBUTTONDOWN, 5);
            SetFocus(page.window());
        }
        Send(BTM_REDRAW, 0, 1);
        EXPECT_EQ(
            PixelsNotShowing(CPixels(control), *clip, icon.left + d, icon.top + d, key, plain), 0)
            << "pressed " << d;
    }
    Mouse(WM_LBUTTONUP, 5);
    Send(BTM_SETICON, 0, 1);
    EXPECT_TRUE(CPixels(control).Differences(plain).Empty());
}

TEST_F(PushButtonTest, DropDownArrowPointsDownAndGlyphShowsAtTheRight) {
    const CPixels plain(control);
    const CPixels arrow(Create(PBS_ARROW, kId + 1, 120));
    const Box box = arrow.Differences(plain);
    ASSERT_FALSE(box.Empty());
    EXPECT_GT(box.left, kWidth * 3 / 4);
    for (int y = box.top; y <= box.bottom; ++y) {  // rows two shorter each, about one centre
        const Box row = arrow.BoundsWhere(
            [&](int x, int r) { return r == y && arrow.At(x, r) != plain.At(x, r); });
        EXPECT_EQ(row.Width(), box.Width() - 2 * (y - box.top)) << y;
        EXPECT_EQ(row.left + row.right, box.left + box.right) << y;
    }

    const CPixels glyph(Create(PBS_GLYPH, kId + 2, 220));
    const auto bitmap = BitmapPixels(skin::kIndicatorGlyphId);
    const Box shown = glyph.Differences(plain);
    ASSERT_FALSE(shown.Empty());
    EXPECT_GT(shown.left, kWidth * 3 / 4);
    // Where the glyph lies: its first drawn column and row are where the picture starts to differ.
    const Box drawn = bitmap->BoundsWhere(
        [&](int x, int y) { return bitmap->At(x, y) != skin::kGlyphKeyColour; });
    EXPECT_EQ(PixelsNotShowing(glyph, *bitmap, shown.left - drawn.left, shown.top - drawn.top,
                               skin::kGlyphKeyColour, plain),
              0);
}

TEST_F(PushButtonTest, FocusFrameFollowsTheFocusAndItsInsets) {
    const CPixels plain(control);
    SetFocus(control);
    Box frame, moved;
    ASSERT_TRUE(DiffersInAnOutline(CPixels(control), plain, &frame));
    EXPECT_TRUE(frame.left > 1 && frame.top > 1 && frame.right < kWidth - 2 &&
                frame.bottom < kHeight - 2);
    const int insets[4] = {-2, 0, 1, 0};
    Send(BTM_SETFOCUSINSETS, reinterpret_cast<WPARAM>(insets), 0);
    Send(BTM_REDRAW, 0, 1);
    ASSERT_TRUE(DiffersInAnOutline(CPixels(control), plain, &moved));
    EXPECT_TRUE(moved.left == frame.left - 2 && moved.right == frame.right + 1 &&
                moved.top == frame.top && moved.bottom == frame.bottom);
    SetFocus(page.window());
    EXPECT_TRUE(CPixels(control).Differences(plain).Empty());

    // On the skin's faces, plain and lit, the frame stands out: every pixel of it differs from
    // the face under it by half the scale in some channel.
    Send(BTM_SETIMAGES, reinterpret_cast<WPARAM>(LoadRawImage(Module(), skin::kButton76Id)), 0);
    for (int lit : {0, 1}) {
        Send(BTM_SETSTATE, lit, 1);
        SetFocus(page.window());
        const CPixels face(control);
        SetFocus(control);
        const CPixels focused(control);
        ASSERT_TRUE(DiffersInAnOutline(focused, face, &frame)) << lit;
        EXPECT_EQ(focused.CountWhere([&](int x, int y) {
            const COLORREF a = focused.At(x, y), b = face.At(x, y);
            return a != b && std::abs(GetRValue(a) - GetRValue(b)) < 128 &&
                   std::abs(GetGValue(a) - GetGValue(b)) < 128 &&
                   std::abs(GetBValue(a) - GetBValue(b)) < 128;
        }), 0) << lit;
    }
}

TEST_F(PushButtonTest, CaptionIsCentredOrLeftBesideASideMark) {
    HWND side = Create(PBS_GLYPH, kId + 1, 120);
    const CPixels plain(control), plainSide(side);
    SetWindowTextA(control, "Undo");
    SetWindowTextA(side, "Undo");
    const Box centred = CPixels(control).Differences(plain);
    ASSERT_FALSE(centred.Empty());
    EXPECT_LE(std::abs(centred.left - (kWidth - 1 - centred.right)), 3);
    const Box left = CPixels(side).Differences(plainSide);
    EXPECT_TRUE(left.left > 2 && left.left < centred.left - 10) << left.left;

    // A caption given as the title at creation shows like one set afterwards.
    const CPixels undo(control);
    ShowWindow(control, SW_HIDE);
    HWND titled = CreateWindowExA(0, kPushButtonClassName, "Undo", WS_CHILD | WS_VISIBLE, 20, 20,
                                  kWidth, kHeight, page.window(), nullptr, Module(),
                                  page.background());
    EXPECT_TRUE(CPixels(titled).Differences(undo).Empty());
    DestroyWindow(titled);
    ShowWindow(control, SW_SHOW);

    Send(BTM_SETTEXTCOLOR, RGB(200, 0, 0));
    Send(BTM_REDRAW, 0, 1);
    const CPixels red(control);
    EXPECT_GT(red.CountWhere([&](int x, int y) { return red.At(x, y) == RGB(200, 0, 0); }), 0);
}

TEST_F(PushButtonTest, SettingTheSameCaptionAgainDoesNotRepaint) {
    SetWindowTextA(control, "Reset");
    UpdateWindow(control);
    const COLORREF marker = RGB(1, 200, 3);
    HDC dc = GetDC(control);
    SetPixel(dc, 10, 10, marker);
    ReleaseDC(control, dc);
    EXPECT_EQ(Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Reset")), 0);
    EXPECT_FALSE(GetUpdateRect(control, nullptr, FALSE));
    EXPECT_EQ(CPixels(control).At(10, 10), marker);

    // A new caption repaints at once, before any WM_PAINT, and is stored as the window text.
    SetWindowTextA(control, "Undo");
    EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE));
    EXPECT_NE(CPixels(control, CPixels::kAsShown).At(10, 10), marker);
    char text[16];
    GetWindowTextA(control, text, sizeof text);
    EXPECT_STREQ(text, "Undo");
    SetWindowTextA(control, "");
    EXPECT_EQ(GetWindowTextA(control, text, sizeof text), 0);
}

}  // namespace
