// "tw:Edit" under Wine: steps posted for drags, keys and the wheel, the text-change protocol,
// the inline text editor (open, type, Enter, Escape, focus loss) and what the field paints.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ControlTestPage.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/ValueEdit.h"

using namespace controltest;

namespace {

constexpr int kId = 11, kWidth = 40, kHeight = 21;
using StepList = std::vector<int>;

class ValueEditTest : public CControlTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterValueEditClass(Module()));
        control = Create(0);
        ASSERT_NE(control, nullptr);
        page.Take();
    }
    void TearDown() override {
        CControlTest::TearDown();
        SetValueEditMessageClock(nullptr);
    }
    HWND Create(DWORD style, int id = kId, int x = 60) {
        return page.Create(kValueEditClassName, id, x, 60, kWidth, kHeight, style);
    }
    void Mouse(UINT message, int x = 10, int y = 10) { Play({Pointer(message, x, y)}); }
    void Wheel(int delta, LONG time) {
        fakeMessageTime = time;
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)));
    }
    // The steps of the EDN_DELTA notes received, in order.
    StepList Steps() {
        StepList steps;
        for (const Note& n : Notes(EDN_DELTA)) {
            EXPECT_EQ(LOWORD(n.wParam), kId);
            steps.push_back(static_cast<short>(HIWORD(n.wParam)));
        }
        return steps;
    }
    static std::string Text(HWND window) {
        char text[256];
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
};

// Steps are the pointer's motion since the last move, squared (keeping the sign) unless the
// response is linear, negated when reversed; no motion still posts a step of 0. A diagonal
// drag keeps its axis (upwards positive) until the other is more than twice as large.
TEST_F(ValueEditTest, DragPostsTheMotionSquaredLinearOrReversed) {
    Mouse(WM_LBUTTONDOWN);
    EXPECT_TRUE(Captured(control) && GetFocus() == control);
    Play({Pointer(WM_MOUSEMOVE, 13, 10), Pointer(WM_MOUSEMOVE, 11, 10),
          Pointer(WM_MOUSEMOVE, 11, 10), Pointer(WM_LBUTTONUP, 11, 10),
          Pointer(WM_MOUSEMOVE, 20, 10)});
    EXPECT_EQ(Steps(), StepList({9, -4, 0}));
    EXPECT_TRUE(Released(control));

    // Linear by style, or else by message.
    const struct {
        DWORD style;
        WPARAM flags;
        std::vector<std::pair<int, int>> path;
        StepList steps;
    } drags[] = {
        {0, EDF_REVERSE, {{10, 10}, {13, 10}}, {-3}},
        {EDS_LINEAR, 0, {{5, 5}, {8, 5}, {-2, 5}}, {3, -10}},  // left the window to the left
        // dx 2 dy 3; 1, 3: vertical; 3, 2: still vertical; dy -4; dx 5 dy 2.
        {EDS_LINEAR, 0, {{100, 100}, {102, 97}, {103, 94}, {106, 92}, {106, 96}, {111, 94}},
         {2, 3, 2, -4, 5}},
    };
    for (const auto& d : drags) {
        page.Reset();
        control = Create(d.style);
        if (d.style == 0) Send(EDM_SETACCEL, 0);
        Send(EDM_SETFLAGS, d.flags);
        Mouse(WM_LBUTTONDOWN, d.path[0].first, d.path[0].second);
        for (size_t i = 1; i < d.path.size(); ++i)
            Mouse(WM_MOUSEMOVE, d.path[i].first, d.path[i].second);
        Mouse(WM_LBUTTONUP);
        EXPECT_EQ(Steps(), d.steps) << &d - drags;
    }
}

TEST_F(ValueEditTest, KeysPostFixedStepsWhateverTheDirection) {
    SetFocus(control);
    Send(EDM_SETFLAGS, EDF_REVERSE);  // keys do not follow the reversed drag direction
    page.Take();
    const struct {
        WPARAM key;
        int step;
    } keys[] = {{VK_PRIOR, kEditPageStep}, {VK_NEXT, -kEditPageStep}, {VK_END, kEditEndStep},
                {VK_HOME, -kEditEndStep},  {VK_LEFT, -1}, {VK_DOWN, -1}, {VK_UP, 1}, {VK_RIGHT, 1}};
    for (const auto& k : keys) {
        Send(WM_KEYDOWN, k.key, 1);
        Send(WM_KEYDOWN, 'A', 1);  // posts nothing
        EXPECT_EQ(Steps(), StepList({k.step})) << k.key;
    }
    EXPECT_EQ(Send(WM_GETDLGCODE), DLGC_WANTARROWS);
}

TEST_F(ValueEditTest, LosingTheFocusEndsTheDragAndPostsTheFinalStep) {
    Mouse(WM_LBUTTONDOWN, 10);
    SetFocus(page.window());
    Mouse(WM_MOUSEMOVE, 30);
    EXPECT_EQ(Steps(), StepList({0}));
    EXPECT_TRUE(Released(control));
    // A right press during a drag is swallowed; losing the capture lowers the flag.
    Mouse(WM_LBUTTONDOWN, 10);
    EXPECT_EQ(Send(WM_RBUTTONDOWN, MK_RBUTTON, Point(10, 10)), 0);
    SetCapture(page.window());
    EXPECT_EQ(ControlCaptureFlag, 0);
    ReleaseCapture();
}

// Losing the capture mid-drag (to another window, or by WM_CANCELMODE) ends the drag: later
// moves post nothing.
TEST_F(ValueEditTest, LosingTheCaptureOrTheWindowEndsTheDrag) {
    for (bool cancelMode : {false, true}) {
        Mouse(WM_LBUTTONDOWN, 10);
        Mouse(WM_MOUSEMOVE, 12);
        LoseCapture(cancelMode);
        EXPECT_TRUE(Released(control)) << cancelMode;
        Send(WM_MOUSEMOVE, 0, Point(20, 10));
        EXPECT_EQ(Steps(), StepList({4})) << cancelMode;
    }
}

TEST_F(ValueEditTest, WheelStepGrowsWithNotchesAndSpeedUnlessAnInlineEditorIsOpen) {
    SetValueEditMessageClock(FakeMessageClock);
    Wheel(120, 100000);    // the first notch: long after time 0
    Wheel(120, 100100);    // 100 ms later: 5
    Wheel(120, 100120);    // 20 ms later: 25
    Wheel(-240, 100140);   // two notches, 20 ms later: -4 x 25
    Wheel(60, 100140);     // part of a notch counts as one; the same time counts as 1 ms
    Wheel(-360, 101000);   // three notches more than half a second later: -9
    Wheel(-1200, 101000);  // +-100 x 500 do not fit the note: the largest steps instead
    Wheel(1200, 101000);
    EXPECT_EQ(Steps(), StepList({1, 5, 25, -100, 500, -9, -32768, 32767}));
    Send(EDM_SETFLAGS, EDF_REVERSE);
    Wheel(240, 102000);
    EXPECT_EQ(Steps(), StepList({-4}));

    HWND other = Create(0, kId + 1, 150);
    OpenInlineEditor(other);
    ASSERT_NE(InlineEditorWindow, nullptr);
    page.Take();
    Wheel(120, 103000);
    EXPECT_EQ(Steps(), StepList());
    SendMessageA(InlineEditorWindow, WM_KEYDOWN, VK_ESCAPE, 1);
    Wheel(120, 104000);
    EXPECT_EQ(Steps(), StepList({-1}));
}

// The first notch after creation is slow whatever the clock reads (negative after 24.8 days
// up); the next is timed across the clock's wrap.
TEST_F(ValueEditTest, FirstWheelNotchIsSlowWhateverTheClockReads) {
    SetValueEditMessageClock(FakeMessageClock);
    for (LONG first : {LONG(0x80000010), LONG(-50), LONG(1)}) {
        DestroyWindow(control);
        control = Create(0);
        Wheel(120, first);
        Wheel(120, LONG(DWORD(first) + 100));
        EXPECT_EQ(Steps(), StepList({1, 5})) << first;
    }
}

TEST_F(ValueEditTest, ChangeProtocolCountsTextChanges) {
    auto changes = [&] {
        const auto notes = Notes(EDN_CHANGED);
        for (const Note& n : notes) EXPECT_EQ(n.wParam, WPARAM(kId));
        return notes.size();
    };
    UpdateWindow(control);  // the first paint opens the protocol
    Send(EDM_CHECKCHANGED);
    EXPECT_EQ(changes(), 1u);
    SetWindowTextA(control, "12.5");
    EXPECT_EQ(Text(control), "12.5");
    EXPECT_TRUE(GetUpdateRect(control, nullptr, FALSE));
    UpdateWindow(control);
    EXPECT_EQ(Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("12.5")), 0);
    EXPECT_FALSE(GetUpdateRect(control, nullptr, FALSE)) << "the same text is no change";
    Send(EDM_CHECKCHANGED);
    EXPECT_EQ(changes(), 0u);
    Send(EDM_CHECKCHANGED);
    EXPECT_EQ(changes(), 1u);
}

TEST_F(ValueEditTest, DoubleClickOpensAnInlineEditorWithTheTextSelected) {
    SetWindowTextA(control, "-90");
    SetFocus(control);
    page.Take();
    Mouse(WM_LBUTTONDBLCLK, 5);
    HWND editor = InlineEditorWindow;
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(GetParent(editor), control);
    EXPECT_EQ(GetDlgCtrlID(editor), kInlineEditorId);
    char className[16];
    GetClassNameA(editor, className, sizeof className);
    EXPECT_STREQ(className, "Edit");
    EXPECT_TRUE(GetFocus() == editor && Text(editor) == "-90");
    EXPECT_EQ(SendMessageA(editor, EM_GETSEL, 0, 0), MAKELRESULT(0, 3)) << "all of it selected";
    // Inside the field, with the same margin on every side.
    RECT r;
    GetWindowRect(editor, &r);
    MapWindowPoints(nullptr, control, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(r.left > 0 && r.left == r.top && kWidth - r.right == r.left &&
                kHeight - r.bottom == r.top);
    EXPECT_TRUE(GetWindowLongA(editor, GWL_STYLE) & ES_RIGHT);
    EXPECT_EQ(Steps(), StepList({0})) << "the field itself has finished editing";
}

// Keys go the way a host frame's dialog manager routes them (IsDialogMessage, which keeps Enter
// and Escape for the frame unless the focused window asks for them). A text wider than the
// editor scrolls and is taken whole.
TEST_F(ValueEditTest, EnterCommitsTheTypedTextEscapeAndFocusLossDropIt) {
    SetWindowTextA(control, "0");
    SetFocus(control);
    Send(WM_KEYDOWN, VK_SPACE, 1);  // space opens the editor too
    HWND editor = InlineEditorWindow;
    ASSERT_NE(editor, nullptr);
    page.Take();
    const auto key = [&](UINT message, WPARAM wParam) {
        ThroughDialogManager(page.window(), editor, {message, wParam, 1});
    };
    const std::string typed = "-12.345678";
    for (char c : typed) key(WM_CHAR, c);
    key(WM_KEYDOWN, VK_RETURN);
    EXPECT_TRUE(!InlineEditorWindow && !IsWindow(editor) && GetFocus() == control);
    EXPECT_EQ(Text(control), typed);
    std::vector<std::pair<UINT, WPARAM>> seen;  // EN_CHANGE first, then the final step
    for (const Note& n : Notes()) seen.push_back({n.message, n.wParam});
    EXPECT_EQ(seen, (std::vector<std::pair<UINT, WPARAM>>{{WM_COMMAND, MAKEWPARAM(kId, EN_CHANGE)},
                                                          {EDN_DELTA, MAKEWPARAM(kId, 0)}}));

    for (bool escape : {true, false}) {
        OpenInlineEditor(control);
        editor = InlineEditorWindow;
        ASSERT_NE(editor, nullptr);
        key(WM_CHAR, '3');
        page.Take();
        if (escape) {
            key(WM_KEYDOWN, VK_ESCAPE);
        } else {
            SetFocus(page.window());  // the user clicked elsewhere
        }
        EXPECT_TRUE(!InlineEditorWindow && !IsWindow(editor)) << escape;
        EXPECT_EQ(Text(control), typed);
        for (const Note& n : page.Take()) EXPECT_NE(n.message, UINT(WM_COMMAND));
    }
}

TEST_F(ValueEditTest, OpeningAnotherInlineEditorClosesTheFirst) {
    HWND other = Create(0, kId + 1, 150);
    OpenInlineEditor(control);
    HWND first = InlineEditorWindow;
    SendMessageA(other, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
    EXPECT_FALSE(IsWindow(first));
    ASSERT_NE(InlineEditorWindow, nullptr);
    EXPECT_EQ(GetParent(InlineEditorWindow), other);
    DestroyWindow(other);  // destroying the field takes its open editor with it
    EXPECT_EQ(InlineEditorWindow, nullptr);
}

TEST_F(ValueEditTest, PaintsImageFocusFrameAndAlignedText) {
    const BYTE* image = LoadRawImage(Module(), skin::kEditFieldId);
    ASSERT_NE(image, nullptr);
    HWND right = Create(EDS_RIGHTALIGN, kId + 1, 150);
    for (HWND field : {control, right}) {
        SendMessageA(field, EDM_SETIMAGE, reinterpret_cast<WPARAM>(image), 0);
        InvalidateRect(field, nullptr, FALSE);  // setting the image does not repaint
    }
    const CPixels plain(control), plainRight(right);
    EXPECT_EQ(plain.CountWhere([&](int x, int y) {
        return RgbtTransparency(image, kWidth, x, y) == skin::kOpaque &&
               plain.At(x, y) != RgbtColour(image, kWidth, x, y);
    }),
              0);

    SetFocus(control);
    Box frame;
    const CPixels focused(control);
    ASSERT_TRUE(DiffersInAnOutline(focused, plain, &frame));
    EXPECT_TRUE(frame.left > 0 && frame.top > 0 && frame.right < kWidth - 1 &&
                frame.bottom < kHeight - 1);
    // Lit from the top left: those edges lighter than the bottom and right ones.
    EXPECT_GT(GetRValue(focused.At(frame.left, frame.top + 3)),
              GetRValue(focused.At(frame.right, frame.top + 3)));
    EXPECT_GT(GetRValue(focused.At(frame.left + 3, frame.top)),
              GetRValue(focused.At(frame.left + 3, frame.bottom)));

    // Text inside the frame, in the left or right half.
    SetFocus(page.window());
    SetWindowTextA(control, "1");
    SetWindowTextA(right, "1");
    const Box leftInk = CPixels(control).Differences(plain),
              rightInk = CPixels(right).Differences(plainRight);
    EXPECT_TRUE(leftInk.left > frame.left && leftInk.right < kWidth / 2) << leftInk.left;
    EXPECT_TRUE(rightInk.left > kWidth / 2 && rightInk.right < frame.right) << rightInk.right;
}

}  // namespace
