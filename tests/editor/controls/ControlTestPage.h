// A stand-in for the editor page in the control tests: a visible top-level window with the skin
// background that records what its controls notify, plus read-back of painted pixels and small
// helpers the control tests share.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "editor/Compositing.h"
#include "editor/SkinImages.h"
#include "editor/controls/ControlShared.h"
#include "editor/win/SkinResources.h"
#include "tests/editor/TestSurface.h"

namespace controltest {

using edtest::Box;
using edtest::CSurface;
using edtest::Tinted;

struct Note {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}
inline LPARAM Point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

// The page: records WM_COMMAND and the controls' own notification messages (all numbered
// 2000..2999) in notes, sent and posted alike (Take() delivers the posted ones), and answers
// them with `answer`. One page serves the whole program (destroying a top-level window costs
// Wine seconds without a window manager); Reset() clears it between tests.
class CTestPage {
public:
    static CTestPage& Get() {
        static CTestPage page;
        return page;
    }

    // Destroys every control, forgets the notes and takes the focus.
    void Reset() {
        while (HWND child = GetWindow(window_, GW_CHILD)) DestroyWindow(child);
        SetFocus(window_);
        Take();
        answer = 0;
    }

    HWND window() const { return window_; }
    HBITMAP background() const { return background_; }

    HWND Create(const char* className, int id, int x, int y, int w, int h, DWORD style = 0) {
        return CreateWindowExA(0, className, nullptr, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                               window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Module(),
                               background_);
    }

    // Returns and forgets the notes so far, after delivering everything posted to this thread's
    // windows unless told not to (that would also deliver the mouse moves that moving the
    // pointer during a capture posts).
    std::vector<Note> Take(bool pump = true) {
        for (MSG msg; pump && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
        std::vector<Note> taken;
        taken.swap(notes_);
        return taken;
    }

    LRESULT answer = 0;

private:
    CTestPage() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = Module();
        wc.lpszClassName = "twtest:Page";
        RegisterClassA(&wc);
        background_ = LoadSkinBitmap(Module(), skin::kPageBackgroundId, nullptr);
        window_ =
            CreateWindowExA(0, "twtest:Page", "page", WS_POPUP | WS_VISIBLE, 40, 40,
                            skin::kPageWidth, skin::kPageHeight, nullptr, nullptr, Module(), this);
        Reset();
    }

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        }
        auto* page = reinterpret_cast<CTestPage*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (page && (message == WM_COMMAND || (message >= 2000 && message < 3000))) {
            page->notes_.push_back({message, wParam, lParam});
            return page->answer;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    std::vector<Note> notes_;
    HWND window_ = nullptr;
    HBITMAP background_ = nullptr;
};

// A message to a control under test: mouse messages carry a client position (with the left
// button down, except at its release), key messages a virtual key.
inline Note Pointer(UINT message, int x, int y) {
    return {message, WPARAM(message == WM_LBUTTONUP ? 0 : MK_LBUTTON), Point(x, y)};
}
inline Note Key(UINT message, WPARAM key) {
    return {message, key, message == WM_KEYUP ? LPARAM(0xc0000001) : 1};
}

// Delivers a key message to a control as a host frame's dialog manager does: IsDialogMessage
// on the window that holds it, which keeps Enter, Escape and Tab for the dialog unless the
// control asks for them, and otherwise translates and dispatches the message.
inline void ThroughDialogManager(HWND dialog, HWND target, const Note& key) {
    MSG msg = {target, key.message, key.wParam, key.lParam, 0, {0, 0}};
    IsDialogMessageA(dialog, &msg);
}

// The fixture of the control tests: the page, cleared after each test, and the control under
// test with the messages it is sent and the notes it leaves with the page.
class CControlTest : public ::testing::Test {
protected:
    void TearDown() override {
        page.Reset();
        ControlCaptureFlag = 0;
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(control, message, wParam, lParam);
    }
    void Play(const std::vector<Note>& messages) {
        for (const Note& m : messages) Send(m.message, m.wParam, m.lParam);
    }
    // Takes the capture away from the control: by WM_CANCELMODE, or to another window.
    void LoseCapture(bool cancelMode) {
        if (cancelMode) {
            Send(WM_CANCELMODE);
            return;
        }
        SetCapture(page.window());
        ReleaseCapture();
    }
    // The notes so far of one message (0: all) from the control; pumped first unless told not.
    std::vector<Note> Notes(UINT message = 0, bool pump = true) {
        std::vector<Note> notes;
        for (const Note& n : page.Take(pump)) {
            if (message != 0 && n.message != message) continue;
            EXPECT_EQ(reinterpret_cast<HWND>(n.lParam), control) << n.message;
            notes.push_back(n);
        }
        return notes;
    }

    CTestPage& page = CTestPage::Get();
    HWND control = nullptr;
};

// What a control shows on screen, read back through its own device context: by default after
// any pending paint has been done; kAsShown reads the window as it is, for tests of when a
// control paints; kRepainted after a whole new paint, for setters that do not repaint.
class CPixels : public CSurface {
public:
    enum Moment { kAfterPendingPaint, kAsShown, kRepainted };
    explicit CPixels(HWND window, Moment moment = kAfterPendingPaint)
        : CSurface(Client(window).right, Client(window).bottom) {
        if (moment != kAsShown) {
            RedrawWindow(
                window, nullptr, nullptr,
                RDW_UPDATENOW | RDW_ALLCHILDREN | (moment == kRepainted ? RDW_INVALIDATE : 0));
        }
        HDC screen = GetDC(window);
        BitBlt(Dc(), 0, 0, Width(), Height(), screen, 0, 0, SRCCOPY);
        ReleaseDC(window, screen);
    }

private:
    static RECT Client(HWND window) {
        RECT client = {};
        GetClientRect(window, &client);
        return client;
    }
};

// The colour of pixel (x, y) of a w-pixel-wide RGBT image, and its transparency.
inline COLORREF RgbtColour(const BYTE* image, int w, int x, int y) {
    const BYTE* p = image + (size_t(y) * w + x) * 4;
    return RGB(p[0], p[1], p[2]);
}
inline int RgbtTransparency(const BYTE* image, int w, int x, int y) {
    return image[(size_t(y) * w + x) * 4 + 3];
}
// An opaque w x h RGBT image of one colour.
inline std::vector<BYTE> SolidRgbt(int w, int h, COLORREF colour) {
    std::vector<BYTE> image;
    for (int i = 0; i < w * h; ++i) {
        image.insert(image.end(), {GetRValue(colour), GetGValue(colour), GetBValue(colour), 0});
    }
    return image;
}

// Whether the pixels where two pictures differ are exactly the one-pixel outline of a box;
// *box receives the box.
inline bool DiffersInAnOutline(const CSurface& a, const CSurface& b, Box* box) {
    *box = a.Differences(b);
    const Box& r = *box;
    return !r.Empty() && a.CountWhere([&](int x, int y) {
        const bool edge = (x == r.left || x == r.right || y == r.top || y == r.bottom) &&
                          x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
        return edge != (a.At(x, y) != b.At(x, y));
    }) == 0;
}

// How many pixels of `shown` are not `bitmap` laid at (left, top) with its key colour, and
// everything around it, showing `under`.
inline int PixelsNotShowing(const CSurface& shown, const CSurface& bitmap, int left, int top,
                            COLORREF key, const CSurface& under) {
    return shown.CountWhere([&](int x, int y) {
        const int bx = x - left, by = y - top;
        const bool in = bx >= 0 && by >= 0 && bx < bitmap.Width() && by < bitmap.Height();
        const COLORREF c = in ? bitmap.At(bx, by) : key;
        return shown.At(x, y) != (c == key ? under.At(x, y) : c);
    });
}

// The pixels of a bitmap resource.
inline std::unique_ptr<CSurface> BitmapPixels(int id) {
    HBITMAP bitmap = LoadSkinBitmap(Module(), id, nullptr);
    auto pixels = std::make_unique<CSurface>(bitmap);
    DeleteObject(bitmap);
    return pixels;
}

// Whether a control holds the mouse capture for a press or drag, with the flag the page reads.
inline bool Captured(HWND control) {
    return ControlCaptureFlag == 1 && GetCapture() == control;
}
inline bool Released(HWND control) {
    return ControlCaptureFlag == 0 && GetCapture() != control;
}
inline POINT CursorPos() {
    POINT p;
    GetCursorPos(&p);
    return p;
}

// Sends a message to a window from a new thread and returns the answer, delivering the
// messages sent to this thread meanwhile (that send among them) as a page's thread would.
inline LRESULT SendFromAnotherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    struct Call {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
        static DWORD WINAPI Run(void* call) {
            auto* c = static_cast<Call*>(call);
            c->result = SendMessageA(c->window, c->message, c->wParam, c->lParam);
            return 0;
        }
    } call = {window, message, wParam, lParam, -1};
    HANDLE thread = CreateThread(nullptr, 0, Call::Run, &call, 0, nullptr);
    if (!thread) {
        ADD_FAILURE() << "no thread";
        return -1;
    }
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0) break;
        if (woken != WAIT_OBJECT_0 + 1) {
            ADD_FAILURE() << "the sending thread did not finish";
            break;
        }
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
    return call.result;
}

// The message clock the slider and value field read in place of GetMessageTime.
inline LONG fakeMessageTime = 0;
inline LONG FakeMessageClock() {
    return fakeMessageTime;
}

}  // namespace controltest
