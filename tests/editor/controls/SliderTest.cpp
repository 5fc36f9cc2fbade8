// "tw:Slider" under Wine on the test page: the thumb's place for every value, its tints, the
// groove and ticks, and how drags, keys and the wheel move the value and notify the page.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "ControlTestPage.h"
#include "editor/controls/Slider.h"

using namespace controltest;

namespace {

constexpr int kId = 42, kLength = 160, kBreadth = 20;
constexpr int kRestX = 640, kRestY = 500;  // where the pointer waits: on the screen, off the page
constexpr COLORREF kThumbColour = RGB(235, 235, 235);
using Changes = std::vector<std::pair<UINT, int>>;

// The skin's thumb image, as long along the axis as a slider's thumb is by default.
const skin::RawImageInfo& SkinThumb() {
    return *std::find_if(std::begin(skin::kRawImages), std::end(skin::kRawImages),
                         [](const skin::RawImageInfo& i) { return i.id == skin::kSliderThumbId; });
}

// Counts the slider's WM_PAINT messages through a subclass.
WNDPROC sliderProc = nullptr;
int paintCount = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++paintCount;
    return CallWindowProcA(sliderProc, window, message, wParam, lParam);
}

class SliderTest : public CControlTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterSliderClass(Module()));
        ASSERT_TRUE(RegisterSliderClass(Module())) << "a second editor registers the class again";
        Recreate(0);
    }
    void TearDown() override {
        CControlTest::TearDown();
        SetSliderMessageClock(nullptr);
        InlineEditorWindow = nullptr;
    }

    // A new slider along or across the page, with its first range.
    void Recreate(DWORD style, int length = kLength, int min = -180, int max = 180) {
        if (control) DestroyWindow(control);
        vertical_ = (style & SLS_VERTICAL) != 0;
        control = page.Create(kSliderClassName, kId, 200, 20, vertical_ ? kBreadth : length,
                              vertical_ ? length : kBreadth, style);
        ASSERT_NE(control, nullptr);
        Send(SLM_SETRANGE, WPARAM(min), max);
        SetFocus(page.window());
        SetCursorPos(kRestX, kRestY);
        page.Take();
    }
    int Value() { return int(Send(SLM_GETVALUE)); }
    // An opaque thumb of one colour, so its extent reads back exactly.
    void ShowThumb() { Send(SLM_SETTHUMBIMAGE, reinterpret_cast<WPARAM>(thumb_.data())); }
    Box Thumb() {
        const CPixels shown(control, CPixels::kRepainted);
        return shown.BoundsWhere([&](int x, int y) { return shown.At(x, y) == kThumbColour; });
    }
    // A mouse message at a position along the axis, half way across.
    void Mouse(UINT message, int along) {
        Send(message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
             vertical_ ? Point(8, along) : Point(along, 8));
    }
    void Drag(int from, int to) {
        Mouse(WM_LBUTTONDOWN, from);
        Mouse(WM_MOUSEMOVE, to);
        Mouse(WM_LBUTTONUP, to);
    }
    void Key(WPARAM key) { Send(WM_KEYDOWN, key, 1); }
    void Wheel(int delta, LONG time) {
        fakeMessageTime = time;
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(delta)), Point(kRestX, kRestY));
    }
    // The notifications so far as (message, wParam), all from the slider. All are sent, so
    // no pump: that would deliver the mouse moves that moving the pointer during a drag posts.
    Changes Received() {
        Changes changes;
        for (const Note& n : Notes(0, false)) changes.emplace_back(n.message, int(n.wParam));
        return changes;
    }

    const std::vector<BYTE> thumb_ = SolidRgbt(18, SkinThumb().width, kThumbColour);
    bool vertical_ = false;
};

TEST_F(SliderTest, ThumbStaysWholeInsideAndMovesWithTheValueFromEndToEnd) {
    // Across the axis the thumb is as wide as its image: 16, or 18 when vertical without groove.
    const struct {
        DWORD style;
        int groove, across;
    } cases[] = {
        {0, 1, SkinThumb().height}, {SLS_VERTICAL, 1, SkinThumb().height}, {SLS_VERTICAL, 0, 18}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style << ", groove " << c.groove);
        Recreate(c.style);
        Send(SLM_SETGROOVE, c.groove);
        ShowThumb();
        std::map<int, int> positions;  // value -> distance from the minimum's end (left or bottom)
        for (int v = -180; v <= 180; v += 15) {
            Send(SLM_SETVALUE, WPARAM(v));
            const Box box = Thumb();
            ASSERT_EQ(vertical_ ? box.Height() : box.Width(), SkinThumb().width) << v;
            ASSERT_EQ(vertical_ ? box.Width() : box.Height(), c.across) << v;
            positions[v] = vertical_ ? kLength - 1 - box.bottom : box.left;
        }
        const int travel = kLength - SkinThumb().width;
        EXPECT_TRUE(positions[-180] == 0 && positions[180] == travel) << "from end to end";
        for (int v = -165; v <= 180; v += 15) {
            EXPECT_GT(positions[v], positions[v - 15]) << v;
            // Mirrored values, mirrored places: rounded to the nearest pixel, halves up.
            EXPECT_NEAR(positions[v] + positions[-v], travel + 0.5, 0.5) << v;
        }
    }
}

TEST_F(SliderTest, ThumbGlowsWhileHeldOrFocusedUnlessDisabled) {
    ShowThumb();
    const Box box = Thumb();
    auto centre = [&] { return CPixels(control, CPixels::kAsShown).At(box.left + 9, box.top + 3); };
    const COLORREF hot = Tinted(kThumbColour, skin::kHighlightTint);
    ASSERT_NE(hot, kThumbColour);
    Mouse(WM_LBUTTONDOWN, 5);
    EXPECT_EQ(centre(), hot);
    Mouse(WM_LBUTTONUP, 5);
    EXPECT_EQ(GetFocus(), control) << "a press takes the focus";
    EXPECT_EQ(centre(), hot) << "focus selects the hot tint";
    SetFocus(page.window());
    EXPECT_EQ(centre(), kThumbColour);

    const DWORD doubling = 0x01020202, halving = 0x02010101;
    Send(SLM_SETCOLDTINT, halving);
    Send(SLM_SETHOTTINT, doubling);
    EXPECT_EQ(CPixels(control, CPixels::kRepainted).At(box.left + 9, box.top + 3),
              Tinted(kThumbColour, halving));
    SetFocus(control);
    EXPECT_EQ(centre(), Tinted(kThumbColour, doubling));

    EnableWindow(control, FALSE);
    const COLORREF disabled = CPixels(control, CPixels::kRepainted).At(box.left + 9, box.top + 3);
    Mouse(WM_LBUTTONDOWN, 5);  // a test can press a disabled slider; it must not glow
    EXPECT_EQ(centre(), disabled);
    Mouse(WM_LBUTTONUP, 5);
}

// The disabled thumb is translucent, but the groove must not show through it: over the groove
// it looks as it does on a slider without one.
TEST_F(SliderTest, DisabledThumbIsTranslucentAndHidesTheGroove) {
    Send(SLM_SETTICKINTERVAL, 0);
    Send(SLM_SETGROOVE, 0);
    const CPixels bare(control, CPixels::kRepainted);
    Send(SLM_SETGROOVE, 1);
    const CPixels grooved(control, CPixels::kRepainted);
    const Box groove = grooved.Differences(bare);
    ASSERT_FALSE(groove.Empty());
    EnableWindow(control, FALSE);
    EXPECT_GT(GetGValue(CPixels(control, CPixels::kRepainted).At(groove.left, groove.top)),
              GetGValue(grooved.At(groove.left, groove.top)))
        << "the disabled groove is lighter";

    ShowThumb();
    for (int v : {0, 150}) {
        Send(SLM_SETVALUE, WPARAM(v));
        Send(SLM_SETGROOVE, 0);
        const CPixels without(control, CPixels::kRepainted);
        Send(SLM_SETGROOVE, 1);
        const CPixels with(control, CPixels::kRepainted);
        const int first = without.Differences(bare).left;
        for (int x = first; x < first + SkinThumb().width * 2 / 3; ++x) {
            for (int y = groove.top; y <= groove.bottom; ++y) {
                const COLORREF c = with.At(x, y);
                ASSERT_TRUE(c == without.At(x, y) && c != kThumbColour && c != bare.At(x, y))
                    << v << ": " << x << ", " << y;
            }
        }
    }
}

// A disabled paint hides the groove under the thumb where it is now, not where it was at the
// previous paint: else after a value change the groove shows through the thumb, and has a gap
// where the thumb was, until the next repaint.
TEST_F(SliderTest, DisabledThumbHidesTheGrooveAtOnceAfterAValueChange) {
    ShowThumb();
    EnableWindow(control, FALSE);
    Send(SLM_SETVALUE, WPARAM(150), 1);
    Send(SLM_SETVALUE, WPARAM(-150), 1);
    const CPixels atOnce(control, CPixels::kAsShown);
    const Box stale = CPixels(control, CPixels::kRepainted).Differences(atOnce);
    EXPECT_TRUE(stale.Empty()) << "differs at columns " << stale.left << ".." << stale.right;
}

// Ticks at min, min + offset + interval, then every interval, and at max; the longer (major)
// ones at min, 0 and max. Each lies at the same spot under the thumb at its own value.
TEST_F(SliderTest, TicksRunAlongTheGrooveAndSitUnderTheThumbAtTheirValues) {
    const struct {
        int min, max, interval, offset;
    } cases[] = {{-180, 180, 20, 0}, {0, 200, 10, 0}, {-361, 60, 20, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " every " << c.interval);
        Send(SLM_SETRANGE, WPARAM(c.min), c.max);
        Send(SLM_SETTICKOFFSET, c.offset);
        Send(SLM_SETTHUMBIMAGE, 0);
        Send(SLM_SETTICKINTERVAL, 0);
        const CPixels grooveOnly(control, CPixels::kRepainted);
        Send(SLM_SETGROOVE, 0);
        const CPixels bare(control, CPixels::kRepainted);
        Send(SLM_SETTICKINTERVAL, c.interval);
        EXPECT_TRUE(CPixels(control, CPixels::kRepainted).Differences(bare).Empty())
            << "no groove, no ticks";
        Send(SLM_SETGROOVE, 1);
        const CPixels ticked(control, CPixels::kRepainted);
        const Box groove = grooveOnly.Differences(bare);

        std::vector<int> values = {c.min};
        for (int v = c.min + c.offset + c.interval; v <= c.max; v += c.interval)
            values.push_back(v);
        if (values.back() != c.max) values.push_back(c.max);
        std::vector<std::pair<int, int>> ticks;  // column, length
        for (int x = 0; x < kLength; ++x) {
            int rows = 0;
            for (int y = 0; y < kBreadth; ++y) rows += ticked.At(x, y) != grooveOnly.At(x, y);
            if (rows > 0) ticks.emplace_back(x, rows);
        }
        ASSERT_EQ(ticks.size(), values.size());
        EXPECT_TRUE(groove.left <= ticks.front().first && ticks.back().first <= groove.right);
        int major = 0;
        for (const auto& tick : ticks) major = std::max(major, tick.second);
        ShowThumb();
        std::set<int> spots;  // where along the thumb its value's tick lies
        for (size_t i = 0; i < values.size(); ++i) {
            const int v = values[i], x = ticks[i].first;
            EXPECT_EQ(ticks[i].second == major, v == c.min || v == 0 || v == c.max) << v;
            Send(SLM_SETVALUE, WPARAM(v));
            const Box thumb = Thumb();
            EXPECT_TRUE(thumb.left <= x && x <= thumb.right) << v;
            EXPECT_TRUE(thumb.top <= groove.top && groove.bottom <= thumb.bottom) << v;
            spots.insert(x - thumb.left);
        }
        EXPECT_EQ(spots.size(), 1u);
    }
}

TEST_F(SliderTest, DragMovesOneUnitPerPixelAndEndsOnceAtTheRelease) {
    for (DWORD style : {DWORD(0), SLS_VERTICAL}) {
        SCOPED_TRACE(style);
        Recreate(style);
        const int up = vertical_ ? -1 : 1;              // towards the maximum
        const int start = vertical_ ? kLength - 5 : 5;  // off the thumb, which is mid-way
        Mouse(WM_LBUTTONDOWN, start);
        EXPECT_TRUE(Captured(control));
        SetCursorPos(700, 600);  // where the hidden pointer wanders meanwhile
        for (int i = 1; i <= 3; ++i) Mouse(WM_MOUSEMOVE, start + up * i);
        EXPECT_EQ(Received(),
                  (Changes{{SLN_VALUECHANGED, 1}, {SLN_VALUECHANGED, 2}, {SLN_VALUECHANGED, 3}}))
            << "relative to the press, and no end before the release";
        Mouse(WM_LBUTTONUP, start + up * 3);
        EXPECT_EQ(Received(), (Changes{{SLN_CHANGEEND, 0}}));
        EXPECT_TRUE(Released(control));
        EXPECT_TRUE(CursorPos().x == kRestX && CursorPos().y == kRestY)
            << "pressed off the thumb: the pointer comes back where the press was";

        Send(SLM_SETVALUE, WPARAM(-178));  // towards the minimum, clamped there
        Drag(start, start - up * 3);
        EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, -180}, {SLN_CHANGEEND, 0}}));
    }
    // Without motion nothing changes and the pointer is not put back. Losing the capture
    // lowers the flag; a double-click notifies and starts no drag.
    Mouse(WM_LBUTTONDOWN, 20);
    SetCursorPos(700, 600);
    Mouse(WM_LBUTTONUP, 20);
    EXPECT_EQ(CursorPos().x, 700);
    Mouse(WM_LBUTTONDOWN, 20);
    SetCapture(page.window());
    EXPECT_EQ(ControlCaptureFlag, 0);
    ReleaseCapture();
    Mouse(WM_LBUTTONUP, 20);
    Mouse(WM_LBUTTONDBLCLK, 20);
    Mouse(WM_MOUSEMOVE, 30);
    EXPECT_EQ(Received(), (Changes{{SLN_DOUBLECLICK, kId}}));
    EXPECT_EQ(ControlCaptureFlag, 0);
}

// Losing the capture mid-drag (to another window, or by WM_CANCELMODE) ends the drag as the
// release would, but leaves the pointer alone; later moves change nothing. Closing the slider
// mid-drag lowers the flag and shows the pointer again.
TEST_F(SliderTest, LosingTheCaptureOrTheWindowEndsTheDrag) {
    const HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    for (const auto& [moves, cancelMode] : {std::pair(2, false), std::pair(1, true), std::pair(0, false)}) {
        SCOPED_TRACE(moves);
        Send(SLM_SETVALUE, 0);
        SetCursor(arrow);
        Mouse(WM_LBUTTONDOWN, 20);
        Changes changes;
        for (int i = 1; i <= moves; ++i) {
            Mouse(WM_MOUSEMOVE, 20 + i);
            changes.emplace_back(SLN_VALUECHANGED, i);
        }
        if (moves) changes.emplace_back(SLN_CHANGEEND, 0);
        LoseCapture(cancelMode);
        EXPECT_TRUE(Released(control));
        EXPECT_EQ(GetCursor(), arrow);
        Send(WM_MOUSEMOVE, 0, Point(40, 8));
        EXPECT_EQ(Received(), changes);
        EXPECT_EQ(Value(), moves);
    }
    Mouse(WM_LBUTTONDOWN, 20);
    DestroyWindow(control);
    control = nullptr;
    EXPECT_EQ(ControlCaptureFlag, 0);
    EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(SliderTest, AcceleratedDragGrowsFasterThanThePointer) {
    Send(SLM_SETACCEL, 1);
    auto step = [&](int pixels) {
        Send(SLM_SETVALUE, 0);
        Drag(20, 20 + pixels);
        return Value();
    };
    EXPECT_TRUE(step(1) == 1 && step(-1) == -1) << "single pixels stay fine";
    for (int pixels : {2, 3, 4}) {
        EXPECT_GT(step(pixels), pixels) << pixels;
        EXPECT_EQ(step(-pixels), -step(pixels)) << pixels;
    }
    EXPECT_GT(step(4), 2 * step(2));
}

TEST_F(SliderTest, ReleaseAfterGrabbingTheThumbPutsThePointerOnIt) {
    for (DWORD style : {DWORD(0), SLS_VERTICAL}) {
        Recreate(style);
        ShowThumb();
        Box thumb = Thumb();
        const int grab =
            vertical_ ? (thumb.top + thumb.bottom) / 2 : (thumb.left + thumb.right) / 2;
        Drag(grab, grab + (vertical_ ? -10 : 10));
        ASSERT_EQ(Value(), 10);
        SetFocus(page.window());  // the thumb in its cold colour
        thumb = Thumb();
        POINT p = CursorPos();
        ScreenToClient(control, &p);
        EXPECT_TRUE(thumb.left <= p.x && p.x <= thumb.right && thumb.top <= p.y &&
                    p.y <= thumb.bottom)
            << style << ": " << p.x << ", " << p.y;
    }
}

TEST_F(SliderTest, ScreenEdgeWarpsToTheCentreWithoutAJump) {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const POINT centre = {(desktop.left + desktop.right) / 2, (desktop.top + desktop.bottom) / 2};
    Mouse(WM_LBUTTONDOWN, 20);
    Mouse(WM_MOUSEMOVE, 23);
    SetCursorPos(desktop.left, 300);  // the pointer reached the left edge
    Mouse(WM_MOUSEMOVE, 24);
    EXPECT_TRUE(CursorPos().x == centre.x && CursorPos().y == centre.y);
    Mouse(WM_MOUSEMOVE, 300);  // the warp's own jump is absorbed
    Mouse(WM_MOUSEMOVE, 302);
    SetCursorPos(900, desktop.bottom - 1);  // the last row counts as the edge too
    Mouse(WM_MOUSEMOVE, 303);
    EXPECT_EQ(CursorPos().y, centre.y);
    Mouse(WM_MOUSEMOVE, -40);
    Mouse(WM_MOUSEMOVE, -39);
    Mouse(WM_LBUTTONUP, -39);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 3},
                                   {SLN_VALUECHANGED, 5},
                                   {SLN_VALUECHANGED, 6},
                                   {SLN_CHANGEEND, 0}}));
}

TEST_F(SliderTest, KeysStepWithinTheRangeAndNotifyUnlessThereIsNothingToDo) {
    Key(VK_PRIOR);
    const int page = Value();
    Received();
    const struct {
        int from;
        WPARAM key;
        int to;
        bool notifies;
    } cases[] = {
        {0, VK_HOME, -180, true},    {-180, VK_HOME, -180, false}, {-180, VK_LEFT, -180, true},
        {-180, VK_DOWN, -180, true}, {0, VK_UP, 1, true},          {0, VK_RIGHT, 1, true},
        {0, VK_LEFT, -1, true},      {0, VK_DOWN, -1, true},       {0, VK_END, 180, true},
        {180, VK_END, 180, false},   {180, VK_RIGHT, 180, true},   {0, 'A', 0, false},
        {0, VK_PRIOR, page, true},   {0, VK_NEXT, -page, true},    {175, VK_PRIOR, 180, true},
    };
    for (const auto& c : cases) {
        Send(SLM_SETVALUE, WPARAM(c.from));
        Key(c.key);
        const Changes expected = {{SLN_VALUECHANGED, c.to}, {SLN_CHANGEEND, 0}};
        EXPECT_EQ(Received(), c.notifies ? expected : Changes()) << c.from << " key " << c.key;
        EXPECT_EQ(Value(), c.to) << c.from << " key " << c.key;
    }
    EXPECT_EQ(Send(WM_GETDLGCODE), DLGC_WANTARROWS);

    // The page step, unless set, is a fixed share of the range per pixel of length, at least 1.
    auto pageStep = [&](int length, int range) {
        Recreate(0, length, -range / 2, range / 2);
        Key(VK_PRIOR);
        return Value();
    };
    EXPECT_GT(page, 1);
    EXPECT_NEAR(pageStep(kLength, 720), 2 * page, 1);
    EXPECT_NEAR(2 * pageStep(2 * kLength - 4, 360), page, 1);
    EXPECT_EQ(pageStep(kLength, 4), 1);
    Send(SLM_SETPAGESTEP, 5);  // a step once set survives a new range
    Send(SLM_SETRANGE, 0, 100);
    Send(SLM_SETVALUE, 50);
    Key(VK_PRIOR);
    EXPECT_EQ(Value(), 55);
}

TEST_F(SliderTest, WheelStepsGrowWithTurningSpeedAndNotchesWithinTheRange) {
    SetSliderMessageClock(FakeMessageClock);
    InlineEditorWindow = page.window();  // ignored while an inline editor is open
    Wheel(WHEEL_DELTA, 100000);
    EXPECT_TRUE(Received().empty());
    InlineEditorWindow = nullptr;
    Wheel(WHEEL_DELTA, 100020);
    EXPECT_EQ(Value(), 1) << "the ignored notch must not count for the speed";

    Send(SLM_SETRANGE, WPARAM(-100000), 100000);
    LONG now = 100000;
    auto step = [&](int delta, LONG gap) {
        Send(SLM_SETVALUE, 0);
        Wheel(delta, now += gap);
        return Value();
    };
    // Half a second or more apart: a notch, or part of one, is one unit.
    for (int delta : {WHEEL_DELTA, 30, -30, -WHEEL_DELTA})
        EXPECT_EQ(step(delta, 1000), delta > 0 ? 1 : -1);
    int previous = 1;
    for (LONG gap : {400, 100, 50, 10, 1, 0}) {
        const int s = step(WHEEL_DELTA, gap);
        EXPECT_TRUE(s >= previous && step(-WHEEL_DELTA, gap) == -s) << gap << ": " << s;
        previous = s;
    }
    EXPECT_GT(previous, 100);
    EXPECT_GT(step(2 * WHEEL_DELTA, 1000), 2) << "two notches at once count more than twice";
    Send(SLM_SETRANGE, WPARAM(-180), 180);
    Send(SLM_SETVALUE, 170);
    Received();
    Wheel(WHEEL_DELTA, now);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 180}, {SLN_CHANGEEND, 0}}));
}

// The first notch after creation is slow whatever the clock reads (negative after 24.8 days
// up); the next is timed across the clock's wrap.
TEST_F(SliderTest, FirstWheelNotchIsSlowWhateverTheClockReads) {
    SetSliderMessageClock(FakeMessageClock);
    for (LONG first : {LONG(0x80000010), LONG(-50), LONG(1)}) {
        Recreate(0, kLength, -1000, 1000);
        Wheel(WHEEL_DELTA, first);
        EXPECT_EQ(Value(), 1) << first;
        Wheel(WHEEL_DELTA, LONG(DWORD(first) + 100));
        EXPECT_EQ(Value(), 6) << first << ": 100 ms later steps by 5";
    }
}

TEST_F(SliderTest, SetValueStoresUnclampedAndRepaintsAtOnceOnlyWhenAsked) {
    Send(SLM_SETVALUE, 500, 1);
    EXPECT_EQ(Value(), 500);
    EXPECT_TRUE(Received().empty());
    Key(VK_LEFT);
    EXPECT_EQ(Received(), (Changes{{SLN_VALUECHANGED, 180}, {SLN_CHANGEEND, 0}}));
    Send(SLM_SETVALUE, WPARAM(-500));
    Drag(20, 21);
    EXPECT_EQ(Value(), -180);
    Send(SLM_SETRANGE, 0, 10);
    EXPECT_EQ(Value(), -180) << "a new range leaves the value alone";

    sliderProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    UpdateWindow(control);
    paintCount = 0;
    Send(SLM_SETRANGE, 0, 10);
    EXPECT_TRUE(paintCount == 0 && !GetUpdateRect(control, nullptr, FALSE))
        << "the same range again";
    Send(SLM_SETRANGE, 0, 20);
    Send(SLM_SETRANGE, WPARAM(-20), 20);
    EXPECT_EQ(paintCount, 2);
    Send(SLM_SETVALUE, 10, 0);
    EXPECT_TRUE(paintCount == 2 && GetUpdateRect(control, nullptr, FALSE));
    Send(SLM_SETVALUE, 15, 1);
    EXPECT_EQ(paintCount, 3);
}

}  // namespace
