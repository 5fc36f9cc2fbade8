// "tw:Edit" under Wine: steps posted for drags, keys and the wheel, the text-change protocol,
// the inline text editor (open, type, Enter, Escape, focus loss) and what the field paints.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "ControlTestPage.h"
#include "editor/controls/ControlShared.h"
#include "editor/controls/PushButton.h"
#include "editor/controls/ValueEdit.h"

using namespace controltest;

namespace {

constexpr int kId = 11;
constexpr int kWidth = 40;
constexpr int kHeight = 21;

LONG fakeTime = 0;
LONG FakeClock() { return fakeTime; }

class ValueEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterValueEditClass(Module()));
        ASSERT_TRUE(RegisterPushButtonClass(Module()));
        edit = Create(0);
        ASSERT_NE(edit, nullptr);
        page.Take();
    }
    void TearDown() override {
        page.Reset();
        SetValueEditMessageClock(nullptr);
        ControlCaptureFlag = 0;
    }

    HWND Create(DWORD style, int id = kId, int x = 60, int y = 60) {
        return page.Create(kValueEditClassName, id, x, y, kWidth, kHeight, style);
    }
    // The steps of the EDN_DELTA notes received, in order.
    std::vector<int> Steps() {
        std::vector<int> steps;
        for (const Note& n : page.Take()) {
            if (n.message != EDN_DELTA) continue;
            EXPECT_EQ(reinterpret_cast<HWND>(n.lParam), edit);
            EXPECT_EQ(LOWORD(n.wParam), kId);
            steps.push_back(static_cast<short>(HIWORD(n.wParam)));
        }
        return steps;
    }
    void Move(int x, int y) { SendMessageA(edit, WM_MOUSEMOVE, MK_LBUTTON, Point(x, y)); }
    void Wheel(int delta, LONG time) {
        fakeTime = time;
        SendMessageA(edit, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
    }
    std::string Text(HWND window) {
        char text[256];
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    CTestPage& page = CTestPage::Get();
    HWND edit = nullptr;
};

using StepList = std::vector<int>;

TEST_F(ValueEditTest, DragStepsAreSquaredWithAcceleration) {
    SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
    EXPECT_EQ(ControlCaptureFlag, 1);
    EXPECT_EQ(GetCapture(), edit);
    EXPECT_EQ(GetFocus(), edit);
    page.Take();
    Move(13, 10);
    Move(11, 10);
    Move(11, 10);  // no motion still posts a step of 0
    EXPECT_EQ(Steps(), StepList({9, -4, 0}));
    SendMessageA(edit, WM_LBUTTONUP, 0, Point(11, 10));
    EXPECT_EQ(ControlCaptureFlag, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    Move(20, 10);  // not dragging any more
    EXPECT_EQ(Steps(), StepList());

    SendMessageA(edit, EDM_SETACCEL, 0, 0);
    SendMessageA(edit, EDM_SETFLAGS, EDF_REVERSE, 0);
    SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
    Move(13, 10);
    SendMessageA(edit, WM_LBUTTONUP, 0, Point(13, 10));
    EXPECT_EQ(Steps(), StepList({-3}));
}

TEST_F(ValueEditTest, LinearStyleAndPositionsOutsideTheWindow) {
    edit = Create(EDS_LINEAR, kId, 150, 60);
    SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    page.Take();
    Move(8, 5);
    Move(-2, 5);  // the pointer left the window to the left: -10
    SendMessageA(edit, WM_LBUTTONUP, 0, Point(-2, 5));
    EXPECT_EQ(Steps(), StepList({3, -10}));
}

TEST_F(ValueEditTest, DiagonalDragKeepsItsAxisUntilTheOtherIsMoreThanTwiceAsLarge) {
    SendMessageA(edit, EDM_SETACCEL, 0, 0);
    SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(100, 100));
    page.Take();
    Move(102, 97);  // dx 2, dy 3: stays horizontal
    Move(103, 94);  // dx 1, dy 3: vertical, upwards positive
    Move(106, 92);  // dx 3, dy 2: stays vertical
    Move(106, 96);  // dy -4
    Move(111, 94);  // dx 5, dy 2: horizontal again
    SendMessageA(edit, WM_LBUTTONUP, 0, Point(111, 94));
    EXPECT_EQ(Steps(), StepList({2, 3, 2, -4, 5}));
}

TEST_F(ValueEditTest, KeysPostFixedSteps) {
    SetFocus(edit);
    page.Take();
    const struct {
        WPARAM key;
        int step;
    } keys[] = {{VK_PRIOR, 10}, {VK_NEXT, -10}, {VK_END, 17504}, {VK_HOME, -17504},
                {VK_LEFT, -1},  {VK_DOWN, -1},  {VK_UP, 1},       {VK_RIGHT, 1}};
    for (const auto& k : keys) {
        SendMessageA(edit, WM_KEYDOWN, k.key, 1);
        EXPECT_EQ(Steps(), StepList({k.step})) << k.key;
    }
    // Keys do not follow the reversed drag direction; other keys post nothing.
    SendMessageA(edit, EDM_SETFLAGS, EDF_REVERSE, 0);
    SendMessageA(edit, WM_KEYDOWN, VK_UP, 1);
    SendMessageA(edit, WM_KEYDOWN, 'A', 1);
    EXPECT_EQ(Steps(), StepList({1}));
    EXPECT_EQ(SendMessageA(edit, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
}

TEST_F(ValueEditTest, LosingTheFocusEndsTheDragAndPostsTheFinalStep) {
    SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
    page.Take();
    SetFocus(page.window());
    EXPECT_EQ(Steps(), StepList({0}));
    EXPECT_EQ(ControlCaptureFlag, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    Move(30, 10);
    EXPECT_EQ(Steps(), StepList());
    // A right press during a drag is swallowed; afterwards it takes its default course.
    SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
    EXPECT_EQ(SendMessageA(edit, WM_RBUTTONDOWN, MK_RBUTTON, Point(10, 10)), 0);
    SendMessageA(edit, WM_LBUTTONUP, 0, Point(10, 10));
    SendMessageA(edit, WM_CAPTURECHANGED, 0, 0);
    EXPECT_EQ(ControlCaptureFlag, 0);
}

TEST_F(ValueEditTest, WheelStepGrowsWithNotchesAndSpeed) {
    SetValueEditMessageClock(FakeClock);
    Wheel(120, 100000);  // the first notch: long after time 0
    Wheel(120, 100100);  // 100 ms later: 5
    Wheel(120, 100120);  // 20 ms later: 25
    Wheel(-240, 100140); // two notches, 20 ms later: -4 x 25
    Wheel(60, 100140);   // part of a notch counts as one; same time counts as 1 ms
    Wheel(-360, 101000); // three notches more than half a second later: -9
    EXPECT_EQ(Steps(), StepList({1, 5, 25, -100, 500, -9}));

    SendMessageA(edit, EDM_SETFLAGS, EDF_REVERSE, 0);
    Wheel(240, 102000);
    EXPECT_EQ(Steps(), StepList({-4}));
}

TEST_F(ValueEditTest, WheelDoesNothingWhileAnInlineEditorIsOpen) {
    SetValueEditMessageClock(FakeClock);
    HWND other = Create(0, kId + 1, 150, 60);
    OpenInlineEditor(other);
    ASSERT_NE(InlineEditorWindow, nullptr);
    page.Take();
    Wheel(120, 100000);
    EXPECT_EQ(Steps(), StepList());
    SendMessageA(InlineEditorWindow, WM_KEYDOWN, VK_ESCAPE, 1);
    Wheel(120, 200000);
    EXPECT_EQ(Steps(), StepList({1}));
}

TEST_F(ValueEditTest, ChangeProtocolCountsTextChanges) {
    auto changedNotes = [&] {
        int count = 0;
        for (const Note& n : page.Take()) {
            if (n.message != EDN_CHANGED) continue;
            EXPECT_EQ(n.wParam, WPARAM(kId));
            EXPECT_EQ(reinterpret_cast<HWND>(n.lParam), edit);
            ++count;
        }
        return count;
    };
    UpdateWindow(edit);  // painting raises the initial -1 to 0
    SendMessageA(edit, EDM_CHECKCHANGED, 0, 0);
    EXPECT_EQ(changedNotes(), 1);

    SetWindowTextA(edit, "12.5");
    EXPECT_EQ(Text(edit), "12.5");
    EXPECT_TRUE(GetUpdateRect(edit, nullptr, FALSE));
    UpdateWindow(edit);
    // The same text again is no change and does not invalidate.
    EXPECT_EQ(SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("12.5")), 0);
    EXPECT_FALSE(GetUpdateRect(edit, nullptr, FALSE));
    SendMessageA(edit, EDM_CHECKCHANGED, 0, 0);
    EXPECT_EQ(changedNotes(), 0);
    SendMessageA(edit, EDM_CHECKCHANGED, 0, 0);
    EXPECT_EQ(changedNotes(), 1);
}

TEST_F(ValueEditTest, DoubleClickOpensAnInlineEditorWithTheTextSelected) {
    SetWindowTextA(edit, "-90");
    SetFocus(edit);
    page.Take();
    SendMessageA(edit, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
    HWND editor = InlineEditorWindow;
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(GetParent(editor), edit);
    EXPECT_EQ(GetDlgCtrlID(editor), kInlineEditorId);
    char className[16];
    GetClassNameA(editor, className, sizeof className);
    EXPECT_STREQ(className, "Edit");
    EXPECT_EQ(GetFocus(), editor);
    EXPECT_EQ(Text(editor), "-90");
    DWORD start = 1, end = 0;
    SendMessageA(editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);
    RECT rect;
    GetWindowRect(editor, &rect);
    MapWindowPoints(nullptr, edit, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 2);
    EXPECT_EQ(rect.top, 2);
    EXPECT_EQ(rect.right - rect.left, kWidth - 4);
    EXPECT_EQ(rect.bottom - rect.top, kHeight - 4);
    const LONG style = GetWindowLongA(editor, GWL_STYLE);
    EXPECT_TRUE(style & ES_MULTILINE);
    EXPECT_TRUE(style & ES_RIGHT);
    // Handing the focus to the editor ended editing of the field itself.
    EXPECT_EQ(Steps(), StepList({0}));
}

TEST_F(ValueEditTest, EnterCommitsTheTypedText) {
    SetWindowTextA(edit, "0");
    SetFocus(edit);
    SendMessageA(edit, WM_KEYDOWN, VK_SPACE, 1);  // space opens the editor too
    HWND editor = InlineEditorWindow;
    ASSERT_NE(editor, nullptr);
    page.Take();
    for (char c : std::string("45")) SendMessageA(editor, WM_CHAR, c, 1);
    ASSERT_EQ(Text(editor), "45");
    SendMessageA(editor, WM_KEYDOWN, VK_RETURN, 1);

    EXPECT_EQ(InlineEditorWindow, nullptr);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(Text(edit), "45");
    EXPECT_EQ(GetFocus(), edit);
    // EN_CHANGE first, then the final step; both posted.
    const auto notes = page.Take();
    std::vector<std::pair<UINT, WPARAM>> seen;
    for (const Note& n : notes) {
        EXPECT_EQ(reinterpret_cast<HWND>(n.lParam), edit);
        seen.push_back({n.message, n.wParam});
    }
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_COMMAND, MAKEWPARAM(kId, EN_CHANGE)}, {EDN_DELTA, MAKEWPARAM(kId, 0)}};
    EXPECT_EQ(seen, expected);
}

TEST_F(ValueEditTest, EscapeAndFocusLossDropTheTypedText) {
    SetWindowTextA(edit, "7");
    OpenInlineEditor(edit);
    HWND editor = InlineEditorWindow;
    ASSERT_NE(editor, nullptr);
    SendMessageA(editor, WM_CHAR, '3', 1);
    SendMessageA(editor, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(InlineEditorWindow, nullptr);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(Text(edit), "7");

    OpenInlineEditor(edit);
    editor = InlineEditorWindow;
    ASSERT_NE(editor, nullptr);
    SendMessageA(editor, WM_CHAR, '3', 1);
    page.Take();
    SetFocus(page.window());  // the user clicked elsewhere
    EXPECT_EQ(InlineEditorWindow, nullptr);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(Text(edit), "7");
    for (const Note& n : page.Take()) EXPECT_NE(n.message, UINT(WM_COMMAND));
}

TEST_F(ValueEditTest, OpeningAnotherInlineEditorClosesTheFirst) {
    HWND other = Create(0, kId + 1, 150, 60);
    OpenInlineEditor(edit);
    HWND first = InlineEditorWindow;
    SendMessageA(other, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
    EXPECT_FALSE(IsWindow(first));
    ASSERT_NE(InlineEditorWindow, nullptr);
    EXPECT_EQ(GetParent(InlineEditorWindow), other);
    // Destroying the field takes its open editor with it.
    DestroyWindow(other);
    EXPECT_EQ(InlineEditorWindow, nullptr);
}

TEST_F(ValueEditTest, PaintsImageFocusFrameAndAlignedText) {
    const BYTE* image = LoadRawImage(Module(), skin::kEditFieldId);
    ASSERT_NE(image, nullptr);
    HWND right = Create(EDS_RIGHTALIGN, kId + 1, 150, 60);
    SendMessageA(edit, EDM_SETIMAGE, reinterpret_cast<WPARAM>(image), 0);
    SendMessageA(right, EDM_SETIMAGE, reinterpret_cast<WPARAM>(image), 0);
    InvalidateRect(edit, nullptr, FALSE);  // setting the image does not repaint
    InvalidateRect(right, nullptr, FALSE);
    const int row = 1;  // above the text and the focus frame
    ASSERT_EQ(RgbtTransparency(image, kWidth, 20, row), skin::kOpaque);
    const CPixels plainLeft(edit), plainRight(right);
    EXPECT_EQ(plainLeft.At(20, row), RgbtColour(image, kWidth, 20, row));

    // Text ink: the columns that changed when the text was set.
    auto inkSpan = [](HWND field, const CPixels& plain, int* first, int* last) {
        SetWindowTextA(field, "1");
        const CPixels p(field);
        *first = kWidth;
        *last = -1;
        for (int x = 0; x < kWidth; ++x) {
            for (int y = 0; y < kHeight; ++y) {
                if (p.At(x, y) == plain.At(x, y)) continue;
                if (x < *first) *first = x;
                *last = x;
            }
        }
    };
    int first, last;
    inkSpan(edit, plainLeft, &first, &last);
    EXPECT_GE(first, 3);
    EXPECT_LT(last, kWidth / 2);
    inkSpan(right, plainRight, &first, &last);
    EXPECT_GT(first, kWidth / 2);
    EXPECT_LE(last, kWidth - 5 + 1);  // text right edge W - 5, its shadow one further

    SetWindowTextA(edit, "");
    SetFocus(edit);
    CPixels focused(edit);
    const COLORREF light = RGB(225, 0, 0), dark = RGB(200, 0, 0);
    EXPECT_EQ(focused.At(2, 2), light);
    EXPECT_EQ(focused.At(20, 2), light);
    EXPECT_EQ(focused.At(2, 10), light);
    EXPECT_EQ(focused.At(20, kHeight - 3), dark);
    EXPECT_EQ(focused.At(kWidth - 3, 10), dark);
    EXPECT_EQ(focused.At(20, kHeight - 2), plainLeft.At(20, kHeight - 2));
    EXPECT_EQ(focused.At(kWidth - 2, 10), plainLeft.At(kWidth - 2, 10));
}

}  // namespace
