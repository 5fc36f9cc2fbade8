// "tw:Slider" under Wine: a real page window receives the notifications of a 160 x 20 slider
// over the skin, driven by sent mouse, keyboard and wheel messages; painting is read back from
// the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "editor/Compositing.h"
#include "editor/SkinImages.h"
#include "editor/win/SkinResources.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/Slider.h"
#include "ControlTestPage.h"

namespace {

using controltest::CPixels;

constexpr int kSliderId = 42;
constexpr int kSliderX = 200, kSliderY = 40, kSliderWidth = 160, kSliderHeight = 20;
constexpr int kThumbLength = 29, kThumbAcross = 16;
constexpr COLORREF kThumbColour = RGB(235, 235, 235);
constexpr COLORREF kThumbHotColour = RGB(255, 248, 120);  // kThumbColour through the highlight
constexpr COLORREF kMajorTick = RGB(0x50, 0x50, 0x50);
constexpr COLORREF kMinorTick = RGB(0x88, 0x88, 0x88);

struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Notification> notifications;

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= SLM_GETVALUE && message <= SLM_SETCOLDTINT) {
        notifications.push_back({message, wParam, lParam});
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Counts the slider's WM_PAINT messages through a subclass.
WNDPROC sliderProc = nullptr;
int paintCount = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++paintCount;
    return CallWindowProcA(sliderProc, window, message, wParam, lParam);
}

LONG fakeMessageTime = 0;
LONG FakeMessageClock() { return fakeMessageTime; }

// The slider's client area as shown, without doing a pending paint first.
CPixels Picture(HWND window) { return CPixels(window, CPixels::kAsShown); }

class CSliderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HINSTANCE module = GetModuleHandleA(nullptr);
        ASSERT_TRUE(RegisterSliderClass(module));
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PageProc;
        wc.hInstance = module;
        wc.lpszClassName = "twSliderTestPage";
        RegisterClassA(&wc);
        skin_ = LoadSkinBitmap(module, skin::kPageBackgroundId, nullptr);
        // One page for all tests: showing and destroying a top-level window is slow under Wine.
        page_ = CreateWindowExA(0, "twSliderTestPage", "", WS_POPUP | WS_VISIBLE, 100, 100,
                                skin::kPageWidth, skin::kPageHeight, nullptr, nullptr, module,
                                nullptr);
        // An opaque test thumb of one colour, so its extent reads back exactly.
        thumb_.assign(kThumbLength * kThumbAcross * 4, 0);
        for (size_t i = 0; i < thumb_.size(); i += 4) {
            thumb_[i] = GetRValue(kThumbColour);
            thumb_[i + 1] = GetGValue(kThumbColour);
            thumb_[i + 2] = GetBValue(kThumbColour);
        }
    }
    static void TearDownTestSuite() {
        DestroyWindow(page_);
        UnregisterSliderClass(GetModuleHandleA(nullptr));
        DeleteObject(skin_);
    }

    void SetUp() override {
        ASSERT_NE(skin_, nullptr);
        ASSERT_NE(page_, nullptr);
        SetCursorPos(kRestX, kRestY);
        slider_ = CreateSlider(WS_CHILD | WS_VISIBLE | WS_TABSTOP);
        ASSERT_NE(slider_, nullptr);
        Send(SLM_SETRANGE, static_cast<WPARAM>(-180), 180);
        SetFocus(page_);
        ControlCaptureFlag = 0;
        InlineEditorWindow = nullptr;
        notifications.clear();
    }
    void TearDown() override {
        DestroyWindow(slider_);
        SetSliderMessageClock(nullptr);
        InlineEditorWindow = nullptr;
    }

    HWND CreateSlider(DWORD style) {
        return CreateWindowExA(0, kSliderClassName, nullptr, style, kSliderX, kSliderY,
                               kSliderWidth, kSliderHeight, page_,
                               reinterpret_cast<HMENU>(kSliderId), GetModuleHandleA(nullptr),
                               skin_);
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(slider_, message, wParam, lParam);
    }
    int Value() { return static_cast<int>(Send(SLM_GETVALUE)); }
    void Press(int x) { Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 8)); }
    void Move(int x) { Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 8)); }
    void Release(int x) { Send(WM_LBUTTONUP, 0, MAKELPARAM(x, 8)); }
    void Key(WPARAM key) { Send(WM_KEYDOWN, key, 1); }
    void Wheel(short delta, LONG time) {
        fakeMessageTime = time;
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(kRestX, kRestY));
    }
    void Redraw() { RedrawWindow(slider_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

    int Count(UINT message) const {
        return static_cast<int>(std::count_if(notifications.begin(), notifications.end(),
                                              [&](const Notification& n) {
                                                  return n.message == message;
                                              }));
    }
    // The notifications so far as (message, wParam) pairs, all from the slider.
    std::vector<std::pair<UINT, int>> Received() const {
        std::vector<std::pair<UINT, int>> result;
        for (const Notification& n : notifications) {
            EXPECT_EQ(n.lParam, reinterpret_cast<LPARAM>(slider_));
            result.emplace_back(n.message, static_cast<int>(n.wParam));
        }
        return result;
    }
    static POINT CursorPos() {
        POINT p;
        GetCursorPos(&p);
        return p;
    }

    static constexpr int kRestX = 640, kRestY = 500;  // well inside the screen, off the page
    static HBITMAP skin_;
    static std::vector<BYTE> thumb_;
    static HWND page_;
    HWND slider_ = nullptr;
};

HBITMAP CSliderTest::skin_ = nullptr;
std::vector<BYTE> CSliderTest::thumb_;
HWND CSliderTest::page_ = nullptr;

using Changes = std::vector<std::pair<UINT, int>>;

TEST_F(CSliderTest, DragMovesOneUnitPerPixelAndEndsOnceAtRelease) {
    Press(20);  // off the thumb, which sits at 66..94
    EXPECT_EQ(ControlCaptureFlag, 1);
    EXPECT_EQ(GetCapture(), slider_);
    EXPECT_EQ(Value(), 0) << "the value must not jump to the pressed point";
    SetCursorPos(700, 600);  // where the hidden pointer wanders meanwhile
    for (int x = 21; x <= 25; ++x) Move(x);
    EXPECT_EQ(Value(), 5);
    EXPECT_EQ(Count(SLN_CHANGEEND), 0) << "no end before the release";
    Release(25);
    EXPECT_EQ(ControlCaptureFlag, 0);
    EXPECT_NE(GetCapture(), slider_);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 1},
                                   {SLN_VALUECHANGED, 2},
                                   {SLN_VALUECHANGED, 3},
                                   {SLN_VALUECHANGED, 4},
                                   {SLN_VALUECHANGED, 5},
                                   {SLN_CHANGEEND, 0}}));
    // Pressed off the thumb: the pointer comes back where the press was.
    EXPECT_EQ(CursorPos().x, kRestX);
    EXPECT_EQ(CursorPos().y, kRestY);

    // Leftwards, and clamped at the minimum.
    Send(SLM_SETVALUE, static_cast<WPARAM>(-178), 0);
    notifications.clear();
    Press(20);
    Move(17);
    Release(17);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, -180}, {SLN_CHANGEEND, 0}}));
}

TEST_F(CSliderTest, AccelerationSquaresTheMotion) {
    Send(SLM_SETACCEL, 1);
    Press(20);
    Move(22);
    EXPECT_EQ(Value(), 3);
    Move(21);
    EXPECT_EQ(Value(), 2);
    Move(25);
    EXPECT_EQ(Value(), 11);
    Move(22);
    EXPECT_EQ(Value(), 6);
    Release(22);
    EXPECT_EQ(Count(SLN_VALUECHANGED), 4);
    EXPECT_EQ(Count(SLN_CHANGEEND), 1);
}

TEST_F(CSliderTest, PressAndReleaseWithoutMotionChangesNothing) {
    Press(20);
    SetCursorPos(700, 600);
    Release(20);
    EXPECT_TRUE(notifications.empty());
    EXPECT_EQ(Value(), 0);
    EXPECT_EQ(ControlCaptureFlag, 0);
    EXPECT_EQ(CursorPos().x, 700) << "nothing is put back after a press without motion";
    EXPECT_EQ(CursorPos().y, 600);
}

TEST_F(CSliderTest, ReleaseAfterGrabbingTheThumbPutsThePointerOnIt) {
    Press(70);  // on the thumb at 66
    Move(80);
    Release(80);
    ASSERT_EQ(Value(), 10);
    RECT w;
    GetWindowRect(slider_, &w);
    // Value 10 puts the thumb at (180 + 190 * 131) / 360 = 69.
    EXPECT_EQ(CursorPos().x, w.left + 69 + 12);
    EXPECT_EQ(CursorPos().y, (w.top + w.bottom) / 2 - 2);
}

TEST_F(CSliderTest, ScreenEdgeWarpsToTheCentreWithoutAJump) {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    Press(20);
    Move(23);
    ASSERT_EQ(Value(), 3);
    SetCursorPos(desktop.left, 300);  // the pointer reached the left edge
    Move(24);
    EXPECT_EQ(CursorPos().x, (desktop.left + desktop.right) / 2);
    EXPECT_EQ(CursorPos().y, (desktop.top + desktop.bottom) / 2);
    EXPECT_EQ(Value(), 3);
    Move(300);  // the warp's own jump is absorbed
    EXPECT_EQ(Value(), 3);
    Move(302);
    EXPECT_EQ(Value(), 5);

    SetCursorPos(900, desktop.bottom - 1);  // the last row counts as the edge too
    Move(303);
    EXPECT_EQ(CursorPos().y, (desktop.top + desktop.bottom) / 2);
    Move(-40);
    Move(-39);
    EXPECT_EQ(Value(), 6);
    Release(-39);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 3},
                                   {SLN_VALUECHANGED, 5},
                                   {SLN_VALUECHANGED, 6},
                                   {SLN_CHANGEEND, 0}}));
}

TEST_F(CSliderTest, LosingTheCaptureLowersTheFlag) {
    Press(20);
    ASSERT_EQ(ControlCaptureFlag, 1);
    SetCapture(page_);
    EXPECT_EQ(ControlCaptureFlag, 0);
    ReleaseCapture();

    Press(20);
    ASSERT_EQ(ControlCaptureFlag, 1);
    ReleaseCapture();
    EXPECT_EQ(ControlCaptureFlag, 0);
}

TEST_F(CSliderTest, DoubleClickNotifiesWithTheControlIdAndStartsNoDrag) {
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 8));
    EXPECT_EQ(Received(), (Changes{{SLN_DOUBLECLICK, kSliderId}}));
    EXPECT_EQ(ControlCaptureFlag, 0);
    Move(30);
    EXPECT_EQ(Value(), 0);
}

TEST_F(CSliderTest, KeysStepClampAndNotifyEvenAtTheLimits) {
    Key(VK_HOME);
    EXPECT_EQ(Value(), -180);
    notifications.clear();
    Key(VK_HOME);  // already there: nothing at all
    EXPECT_TRUE(notifications.empty());
    Key(VK_LEFT);
    Key(VK_DOWN);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, -180},
                                   {SLN_CHANGEEND, 0},
                                   {SLN_VALUECHANGED, -180},
                                   {SLN_CHANGEEND, 0}}));
    notifications.clear();
    Key(VK_UP);
    Key(VK_RIGHT);
    EXPECT_EQ(Value(), -178);
    Key(VK_END);
    EXPECT_EQ(Value(), 180);
    notifications.clear();
    Key(VK_END);
    Key('A');
    EXPECT_TRUE(notifications.empty());
    Key(VK_RIGHT);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 180}, {SLN_CHANGEEND, 0}}));
}

TEST_F(CSliderTest, PageStepComesFromTheWidthUnlessSet) {
    // 360 * 15 / (160 - 4) = 34.
    Key(VK_PRIOR);
    EXPECT_EQ(Value(), 34);
    Key(VK_NEXT);
    Key(VK_NEXT);
    EXPECT_EQ(Value(), -34);

    // A step already set survives a new range.
    Send(SLM_SETPAGESTEP, 5);
    Send(SLM_SETRANGE, 0, 100);
    Send(SLM_SETVALUE, 50, 0);
    Key(VK_PRIOR);
    EXPECT_EQ(Value(), 55);

    // A small range on a fresh slider still steps by at least 1.
    DestroyWindow(slider_);
    slider_ = CreateSlider(WS_CHILD | WS_VISIBLE);
    Send(SLM_SETRANGE, 0, 5);
    Key(VK_PRIOR);
    EXPECT_EQ(Value(), 1);
}

TEST_F(CSliderTest, WheelStepGrowsWithTurningSpeed) {
    SetSliderMessageClock(FakeMessageClock);
    Wheel(WHEEL_DELTA, 100000);
    Wheel(WHEEL_DELTA, 100050);
    Wheel(WHEEL_DELTA, 100100);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 1},
                                   {SLN_CHANGEEND, 0},
                                   {SLN_VALUECHANGED, 11},
                                   {SLN_CHANGEEND, 0},
                                   {SLN_VALUECHANGED, 21},
                                   {SLN_CHANGEEND, 0}}));
    // Two notches at once count four; a fraction of a notch counts one, either way.
    Wheel(-2 * WHEEL_DELTA, 101000);
    EXPECT_EQ(Value(), 17);
    Wheel(30, 102000);
    EXPECT_EQ(Value(), 18);
    Wheel(-30, 103000);
    EXPECT_EQ(Value(), 17);
    // Two messages with the same time: the fastest step, 500 per notch; then clamped.
    Send(SLM_SETRANGE, static_cast<WPARAM>(-1000), 1000);
    Wheel(WHEEL_DELTA, 103000);
    EXPECT_EQ(Value(), 517);
    Wheel(WHEEL_DELTA, 103000);
    EXPECT_EQ(Value(), 1000);
}

TEST_F(CSliderTest, WheelIsIgnoredWhileAnInlineEditorIsOpen) {
    SetSliderMessageClock(FakeMessageClock);
    InlineEditorWindow = page_;
    Wheel(WHEEL_DELTA, 100000);
    EXPECT_TRUE(notifications.empty());
    EXPECT_EQ(Value(), 0);
    InlineEditorWindow = nullptr;
    Wheel(WHEEL_DELTA, 100020);
    EXPECT_EQ(Value(), 1) << "the ignored notch must not count for the speed";
}

TEST_F(CSliderTest, SetValueStoresUnclampedUntilTheNextChange) {
    Send(SLM_SETVALUE, 500, 1);
    EXPECT_EQ(Value(), 500);
    EXPECT_TRUE(notifications.empty());
    Key(VK_LEFT);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 180}, {SLN_CHANGEEND, 0}}));

    Send(SLM_SETVALUE, static_cast<WPARAM>(-500), 0);
    Press(20);
    Move(21);
    Release(21);
    EXPECT_EQ(Value(), -180);

    // A new range leaves the value alone too.
    Send(SLM_SETRANGE, 0, 10);
    EXPECT_EQ(Value(), -180);
}

TEST_F(CSliderTest, SetRangeRepaintsAtOnceOnlyWhenTheRangeChanges) {
    sliderProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(slider_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    UpdateWindow(slider_);
    paintCount = 0;
    Send(SLM_SETRANGE, static_cast<WPARAM>(-180), 180);
    EXPECT_EQ(paintCount, 0);
    EXPECT_FALSE(GetUpdateRect(slider_, nullptr, FALSE));
    Send(SLM_SETRANGE, static_cast<WPARAM>(-180), 90);
    EXPECT_EQ(paintCount, 1);
    Send(SLM_SETRANGE, static_cast<WPARAM>(-90), 90);
    EXPECT_EQ(paintCount, 2);

    // Setting a value invalidates; the repaint waits unless asked for.
    Send(SLM_SETVALUE, 10, 0);
    EXPECT_EQ(paintCount, 2);
    EXPECT_TRUE(GetUpdateRect(slider_, nullptr, FALSE));
    Send(SLM_SETVALUE, 20, 1);
    EXPECT_EQ(paintCount, 3);
}

TEST_F(CSliderTest, ThumbSitsAtItsValueAndGlowsWhileHeld) {
    Send(SLM_SETTHUMBIMAGE, reinterpret_cast<WPARAM>(thumb_.data()));
    Redraw();
    {
        CPixels picture(slider_, CPixels::kAsShown);
        for (int y = 0; y < kThumbAcross; ++y) {
            for (int x = 66; x < 66 + kThumbLength; ++x) {
                ASSERT_EQ(picture.At(x, y), kThumbColour) << x << ", " << y;
            }
        }
        EXPECT_NE(picture.At(65, 3), kThumbColour);
        EXPECT_NE(picture.At(95, 3), kThumbColour);
        EXPECT_NE(picture.At(70, 16), kThumbColour);
    }

    Press(20);
    EXPECT_EQ(Picture(slider_).At(70, 3), kThumbHotColour);
    Release(20);
    SetFocus(page_);
    EXPECT_EQ(Picture(slider_).At(70, 3), kThumbColour);
    SetFocus(slider_);
    ASSERT_EQ(GetFocus(), slider_);
    EXPECT_EQ(Picture(slider_).At(70, 3), kThumbHotColour) << "focus selects the hot tint";
    SetFocus(page_);

    Send(SLM_SETCOLDTINT, 0x01020202);  // doubles red, green and blue
    Send(SLM_SETVALUE, 180, 1);
    CPixels atMax(slider_, CPixels::kAsShown);
    EXPECT_EQ(atMax.At(kSliderWidth - 1, 3), RGB(255, 255, 255));
    EXPECT_NE(atMax.At(130, 3), RGB(255, 255, 255));
    EXPECT_EQ(atMax.At(131, 3), RGB(255, 255, 255));
}

TEST_F(CSliderTest, DisabledThumbIsTranslucentOverTheBareBackground) {
    Send(SLM_SETGROOVE, 0);
    Redraw();
    const CPixels bare(slider_, CPixels::kAsShown);

    Send(SLM_SETGROOVE, 1);
    Send(SLM_SETTHUMBIMAGE, reinterpret_cast<WPARAM>(thumb_.data()));
    Redraw();  // the thumb is drawn at 66, which the disabled paint below remembers
    EnableWindow(slider_, FALSE);
    Redraw();
    const CPixels disabled(slider_, CPixels::kAsShown);
    EXPECT_EQ(disabled.At(10, 6), RGB(0xa0, 0xa0, 0xa0)) << "disabled groove";
    // Opacity 192 on an opaque pixel keeps 193/256 of what lies below: the background, not
    // the groove, inside the thumb's span.
    auto blend = [](COLORREF below) {
        return RGB(skin::BlendChannel(GetRValue(kThumbColour), GetRValue(below), 193),
                   skin::BlendChannel(GetGValue(kThumbColour), GetGValue(below), 193),
                   skin::BlendChannel(GetBValue(kThumbColour), GetBValue(below), 193));
    };
    for (int x : {66, 70, 80, 91}) {
        for (int y : {2, 6, 7, 9}) {  // above the ticks, which are drawn over the copy
            EXPECT_EQ(disabled.At(x, y), blend(bare.At(x, y))) << x << ", " << y;
        }
    }
    // Pressing a disabled slider's thumb (as a test can) must not make it glow.
    Press(70);
    EXPECT_EQ(Picture(slider_).At(70, 6), blend(bare.At(70, 6)));
    Release(70);
}

TEST_F(CSliderTest, GrooveAndTicksFollowTheRangeAndInterval) {
    const int h = kSliderHeight;
    Redraw();
    CPixels phase(slider_, CPixels::kAsShown);
    for (int x : {4, 80, 155}) {
        EXPECT_EQ(phase.At(x, 6), RGB(0x20, 0x20, 0x20)) << x;
        EXPECT_EQ(phase.At(x, 7), RGB(0x20, 0x20, 0x20)) << x;
    }
    EXPECT_NE(phase.At(3, 6), RGB(0x20, 0x20, 0x20));
    EXPECT_NE(phase.At(156, 6), RGB(0x20, 0x20, 0x20));
    // 19 ticks, every 20 from -180; majors (down to row h - 10) at -180, 0 and 180.
    EXPECT_EQ(phase.Columns(h - 5, {kMajorTick, kMinorTick}).size(), 19u);
    EXPECT_EQ(phase.Columns(h - 10, {kMajorTick}), (std::vector<int>{12, 78, 143}));
    EXPECT_TRUE(phase.Columns(h - 9, {kMinorTick}).empty()) << "minor ticks are shorter";
    EXPECT_EQ(phase.Columns(h - 8, {kMinorTick}).size(), 16u);
    EXPECT_TRUE(phase.Columns(h - 4, {kMajorTick, kMinorTick}).empty());

    Send(SLM_SETRANGE, 0, 200);
    Send(SLM_SETTICKINTERVAL, 10);
    Redraw();
    CPixels width(slider_, CPixels::kAsShown);
    EXPECT_EQ(width.Columns(h - 5, {kMajorTick, kMinorTick}).size(), 21u);
    EXPECT_EQ(width.Columns(h - 10, {kMajorTick}), (std::vector<int>{12, 143}));

    // Offset 1: -361, then -340, -320, ..., 60.
    Send(SLM_SETRANGE, static_cast<WPARAM>(-361), 60);
    Send(SLM_SETTICKINTERVAL, 20);
    Send(SLM_SETTICKOFFSET, 1);
    Redraw();
    CPixels output(slider_, CPixels::kAsShown);
    const auto ticks = output.Columns(h - 5, {kMajorTick, kMinorTick});
    ASSERT_EQ(ticks.size(), 22u);
    EXPECT_EQ(ticks.front(), 12);
    EXPECT_EQ(ticks[1], 12 + 7);  // -340 is 21 of 421 units along 131 pixels
    EXPECT_EQ(ticks.back(), 143);
    EXPECT_EQ(output.Columns(h - 10, {kMajorTick}),
              (std::vector<int>{12, 12 + 112, 143}));

    // No interval, or no groove: no ticks; no groove either in the latter case.
    Send(SLM_SETTICKINTERVAL, 0);
    Redraw();
    EXPECT_TRUE(Picture(slider_).Columns(h - 5, {kMajorTick, kMinorTick}).empty());
    Send(SLM_SETTICKINTERVAL, 20);
    Send(SLM_SETGROOVE, 0);
    Redraw();
    CPixels bare(slider_, CPixels::kAsShown);
    EXPECT_TRUE(bare.Columns(h - 5, {kMajorTick, kMinorTick}).empty());
    EXPECT_TRUE(bare.Columns(6, {RGB(0x20, 0x20, 0x20)}).size() < 10u);
}

TEST_F(CSliderTest, VerticalSliderGrowsUpwards) {
    DestroyWindow(slider_);
    slider_ = CreateWindowExA(0, kSliderClassName, nullptr, WS_CHILD | WS_VISIBLE | SLS_VERTICAL,
                              20, 40, 20, 160, page_, nullptr, GetModuleHandleA(nullptr), skin_);
    Send(SLM_SETRANGE, 0, 100);
    Send(SLM_SETTHUMBIMAGE, reinterpret_cast<WPARAM>(thumb_.data()));
    Redraw();
    // travel 131: value 0 puts the thumb at the bottom, rows 131..159, columns 2..17.
    CPixels bottom(slider_, CPixels::kAsShown);
    EXPECT_EQ(bottom.At(2, 131), kThumbColour);
    EXPECT_EQ(bottom.At(17, 159), kThumbColour);
    EXPECT_NE(bottom.At(5, 130), kThumbColour);

    auto at = [](int y) { return MAKELPARAM(8, y); };
    Send(WM_LBUTTONDOWN, MK_LBUTTON, at(10));  // far above the thumb
    Send(WM_MOUSEMOVE, MK_LBUTTON, at(8));
    Send(WM_MOUSEMOVE, MK_LBUTTON, at(5));
    Send(WM_LBUTTONUP, 0, at(5));
    EXPECT_EQ(Value(), 5) << "upwards increases";
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 2},
                                   {SLN_VALUECHANGED, 5},
                                   {SLN_CHANGEEND, 0}}));
}

}  // namespace
