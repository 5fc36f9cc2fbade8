// The value field: drag, key and wheel steps posted to the parent, drawing, the text-change
// protocol, and the inline text editor.
#include "editor/controls/ValueEdit.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "editor/Compositing.h"
#include "editor/win/Drawing.h"
#include "editor/controls/ControlShared.h"

namespace {

constexpr int kEnabledOpacity = skin::kFullOpacity;
constexpr int kDisabledOpacity = 160;
constexpr COLORREF kTextShadowColour = 0xcbc7c5;
constexpr COLORREF kTextColour = 0x454140;
constexpr COLORREF kDisabledTextColour = 0x909090;
constexpr int kFocusFrameInset = 2;
constexpr int kTextInset = 3;
constexpr int kCompareTextChars = 127;  // WM_SETTEXT compares this much of the text
constexpr int kMaxTextChars = 255;

struct EditState {
    int dragging;
    int acceleration;
    int reverse;
    short lastX, lastY;
    WheelClock wheel;
    int verticalAxis;
    int changeCount;
    HBITMAP background;
    const BYTE* image;
};

ValueEditMessageClock messageClock = nullptr;

LONG MessageTime() { return messageClock ? messageClock() : GetMessageTime(); }

void PostStep(HWND window, int step) {
    // The step travels as a signed 16-bit number; clamp instead of wrapping into the other sign.
    if (step > SHRT_MAX) step = SHRT_MAX;
    if (step < SHRT_MIN) step = SHRT_MIN;
    PostMessageA(GetParent(window), EDN_DELTA,
                 MAKEWPARAM(GetDlgCtrlID(window), static_cast<WORD>(static_cast<short>(step))),
                 reinterpret_cast<LPARAM>(window));
}

void Paint(HWND window, const EditState& st, HDC target) {
    COffscreenPaint paint(window, st.background, target);
    HDC dc = paint.Dc();
    const int width = paint.Width();
    const int height = paint.Height();
    const bool enabled = IsWindowEnabled(window) != FALSE;

    if (st.image) {
        CompositeImage(dc, 0, 0, width, height, st.image,
                       enabled ? kEnabledOpacity : kDisabledOpacity, skin::kNoTint,
                       skin::kTintWholeImage);
    }
    if (GetFocus() == window) {
        const int l = kFocusFrameInset, t = kFocusFrameInset;
        const int r = width - kFocusFrameInset, b = height - kFocusFrameInset;
        DrawLine(dc, l, t, r, t, kFocusLightColour);
        DrawLine(dc, l, t, l, b, kFocusLightColour);
        DrawLine(dc, l, b - 1, r, b - 1, kFocusDarkColour);
        DrawLine(dc, r - 1, t, r - 1, b, kFocusDarkColour);
    }

    RECT text = {kTextInset, kTextInset, width - kTextInset, height - kTextInset};
    if ((text.bottom - text.top) & 1) text.top += 1;
    text.right -= 2;
    char buffer[kMaxTextChars + 1];
    GetWindowTextA(window, buffer, sizeof buffer);
    HFONT font = CreateCaptionFont(dc);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const UINT format = ((GetWindowLongA(window, GWL_STYLE) & EDS_RIGHTALIGN) ? DT_RIGHT : DT_LEFT) |
                        DT_VCENTER | DT_END_ELLIPSIS;
    RECT shadow = text;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, kTextShadowColour);
    DrawTextA(dc, buffer, -1, &shadow, format);
    SetTextColor(dc, enabled ? kTextColour : kDisabledTextColour);
    DrawTextA(dc, buffer, -1, &text, format);
    SelectObject(dc, oldFont);
    DeleteObject(font);

    paint.Present();
}

// Ends a drag at the release, or when the capture went elsewhere (then moves over the field
// must not go on stepping with no button held).
void EndDrag(HWND window, EditState& st) {
    if (!st.dragging) return;
    st.dragging = 0;  // first, so that giving up the capture is no loss
    ReleaseControlCapture(window);
    Paint(window, st, nullptr);
}

void Drag(HWND window, EditState& st, LPARAM position) {
    const short x = static_cast<short>(LOWORD(position));
    const short y = static_cast<short>(HIWORD(position));
    const int dx = static_cast<short>(x - st.lastX);
    const int dy = static_cast<short>(st.lastY - y);  // upwards is positive
    // Hysteresis: a diagonal drag keeps its axis until the other one clearly dominates.
    if (!st.verticalAxis && 2 * std::abs(dx) < std::abs(dy)) st.verticalAxis = 1;
    else if (st.verticalAxis && 2 * std::abs(dy) < std::abs(dx)) st.verticalAxis = 0;
    int step = st.verticalAxis ? dy : dx;
    if (st.reverse) step = -step;
    st.lastX = x;
    st.lastY = y;
    PostStep(window, st.acceleration ? step * std::abs(step) : step);
}

void Wheel(HWND window, EditState& st, WPARAM wParam) {
    int c = static_cast<short>(HIWORD(wParam));
    if (st.reverse) c = -c;
    int notches = c / kWheelNotch;
    if (std::abs(c) < kWheelNotch) notches = c < 0 ? -1 : 1;
    const int speed = WheelSpeed(&st.wheel, static_cast<DWORD>(MessageTime()));
    PostStep(window, notches * std::abs(notches) * speed);
}

bool KeyStep(WPARAM key, int* step) {
    switch (key) {
    case VK_PRIOR: *step = kEditPageStep; return true;
    case VK_NEXT: *step = -kEditPageStep; return true;
    case VK_END: *step = kEditEndStep; return true;
    case VK_HOME: *step = -kEditEndStep; return true;
    case VK_LEFT:
    case VK_DOWN: *step = -1; return true;
    case VK_UP:
    case VK_RIGHT: *step = 1; return true;
    default: return false;
    }
}

// Text change: returns false (and leaves everything alone) when the text is already shown.
bool NoteTextChange(HWND window, EditState& st, const char* text) {
    char current[kCompareTextChars + 1];
    GetWindowTextA(window, current, sizeof current);
    if (std::strncmp(current, text ? text : "", kCompareTextChars) == 0) return false;
    st.changeCount += 1;
    InvalidateRect(window, nullptr, FALSE);
    return true;
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    auto* st = CreateControlState<EditState>(window);
    if (!st) return -1;
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    st->acceleration = (create->style & EDS_LINEAR) ? 0 : 1;
    st->changeCount = -1;
    st->background = CreationBackground(lParam);
    return 0;
}

LRESULT OnDestroy(HWND window, EditState& st) {
    st.dragging = 0;  // closed mid-drag: lower the flag
    ReleaseControlCapture(window);
    DestroyControlState(window);
    return 0;
}

LRESULT OnLButtonDown(HWND window, EditState& st, LPARAM lParam) {
    st.lastX = static_cast<short>(LOWORD(lParam));
    st.lastY = static_cast<short>(HIWORD(lParam));
    st.dragging = 1;
    BeginControlCapture(window);
    SetFocus(window);
    Paint(window, st, nullptr);
    return 0;
}

LRESULT OnMouseMove(HWND window, EditState& st, WPARAM wParam, LPARAM lParam) {
    if (!st.dragging) return DefWindowProcA(window, WM_MOUSEMOVE, wParam, lParam);
    Drag(window, st, lParam);
    return 0;
}

LRESULT OnKillFocus(HWND window, EditState& st) {
    PostStep(window, 0);
    if (st.dragging) EndDrag(window, st);
    else Paint(window, st, nullptr);
    return 0;
}

LRESULT OnRButtonDown(HWND window, const EditState& st, WPARAM wParam, LPARAM lParam) {
    if (st.dragging) return 0;
    return DefWindowProcA(window, WM_RBUTTONDOWN, wParam, lParam);
}

LRESULT OnKeyDown(HWND window, WPARAM wParam, LPARAM lParam) {
    if (wParam == VK_SPACE) {
        OpenInlineEditor(window);
        return 0;
    }
    int step;
    if (!KeyStep(wParam, &step)) return DefWindowProcA(window, WM_KEYDOWN, wParam, lParam);
    PostStep(window, step);
    return 0;
}

LRESULT OnMouseWheel(HWND window, EditState& st, WPARAM wParam) {
    if (!InlineEditorWindow) Wheel(window, st, wParam);
    return 0;
}

LRESULT OnSetText(HWND window, EditState& st, WPARAM wParam, LPARAM lParam) {
    if (!NoteTextChange(window, st, reinterpret_cast<const char*>(lParam))) return 0;
    return DefWindowProcA(window, WM_SETTEXT, wParam, lParam);
}

LRESULT OnCheckChanged(HWND window, EditState& st) {
    if (st.changeCount != 0) {
        st.changeCount -= 1;
    } else {
        PostMessageA(GetParent(window), EDN_CHANGED, GetDlgCtrlID(window),
                     reinterpret_cast<LPARAM>(window));
    }
    return 0;
}

LRESULT OnSetImage(EditState& st, WPARAM wParam) {
    if (!IsSentFromAnotherThread()) st.image = reinterpret_cast<const BYTE*>(wParam);
    return 0;
}

// The field's own messages (EDM_*); any other message goes to DefWindowProc.
LRESULT OnEditMessage(HWND window, EditState& st, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case EDM_SETACCEL: st.acceleration = wParam ? 1 : 0; return 0;
    case EDM_SETFLAGS: st.reverse = (wParam & EDF_REVERSE) ? 1 : 0; return 0;
    case EDM_CHECKCHANGED: return OnCheckChanged(window, st);
    case EDM_SETIMAGE: return OnSetImage(st, wParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK ValueEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    auto* st = ControlState<EditState>(window);
    if (!st) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result;
    const auto paint = [&](HDC dc) {
        Paint(window, *st, dc);
        if (st->changeCount < 0) st->changeCount = 0;  // the first paint opens the text protocol
    };
    if (HandleCommonControlMessage(window, message, lParam, paint,
                                   [&] { EndDrag(window, *st); }, &result)) {
        return result;
    }

    switch (message) {
    case WM_DESTROY: return OnDestroy(window, *st);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: return OnLButtonDown(window, *st, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(window, *st, wParam, lParam);
    case WM_LBUTTONUP: EndDrag(window, *st); return 0;
    case WM_KILLFOCUS: return OnKillFocus(window, *st);
    case WM_SETFOCUS: Paint(window, *st, nullptr); return 0;
    case WM_LBUTTONDBLCLK: OpenInlineEditor(window); return 0;
    case WM_RBUTTONDOWN: return OnRButtonDown(window, *st, wParam, lParam);
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(window, *st, wParam);
    case WM_SETTEXT: return OnSetText(window, *st, wParam, lParam);
    default: return OnEditMessage(window, *st, message, wParam, lParam);
    }
}

// The inline editor being destroyed by its own handler: destroying the focused window takes
// its focus away, and that WM_KILLFOCUS must not destroy it a second time.
HWND closingEditor = nullptr;

void CloseInlineEditor(HWND editor) {
    if (editor == closingEditor) return;
    HWND previous = closingEditor;
    closingEditor = editor;
    DestroyWindow(editor);
    closingEditor = previous;
}

void CommitInlineEditor(HWND editor) {
    HWND field = GetParent(editor);
    HWND page = GetParent(field);
    const int id = GetDlgCtrlID(field);
    char text[kMaxTextChars + 1];
    GetWindowTextA(editor, text, sizeof text);
    SetWindowTextA(field, text);
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(field));
    PostMessageA(page, EDN_DELTA, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(field));
}

// Enter and Escape, which a dialog manager would otherwise give to the host frame's default
// and cancel buttons.
bool IsEditorKey(const MSG& msg) {
    return msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE);
}

// The EDIT procedure that the inline editor replaces, kept in its user data.
LRESULT CallEditProcedure(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(editor, GWLP_USERDATA));
    return CallWindowProcA(previous, editor, message, wParam, lParam);
}

LRESULT OnEditorGetDlgCode(HWND editor, WPARAM wParam, LPARAM lParam) {
    const LRESULT code = CallEditProcedure(editor, WM_GETDLGCODE, wParam, lParam);
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && !IsSentFromAnotherThread() && IsEditorKey(*msg)) return code | DLGC_WANTMESSAGE;
    return code;
}

LRESULT OnEditorKeyDown(HWND editor, WPARAM wParam, LPARAM lParam) {
    // The window is gone afterwards, so the key does not reach the EDIT procedure.
    if (wParam == VK_RETURN) {
        CommitInlineEditor(editor);
        CloseInlineEditor(editor);
        return 0;
    }
    if (wParam == VK_ESCAPE) {
        CloseInlineEditor(editor);
        return 0;
    }
    return CallEditProcedure(editor, WM_KEYDOWN, wParam, lParam);
}

LRESULT OnEditorKillFocus(HWND editor, WPARAM wParam, LPARAM lParam) {
    if (editor == closingEditor) return CallEditProcedure(editor, WM_KILLFOCUS, wParam, lParam);
    CloseInlineEditor(editor);
    return 0;
}

LRESULT OnEditorDestroy(HWND editor, WPARAM wParam, LPARAM lParam) {
    if (InlineEditorWindow == editor) InlineEditorWindow = nullptr;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(editor, WM_GETFONT, 0, 0));
    const LRESULT result = CallEditProcedure(editor, WM_DESTROY, wParam, lParam);
    if (font) DeleteObject(font);  // deleting the stock GUI font is harmless
    return result;
}

LRESULT CALLBACK InlineEditorProc(HWND editor, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: return OnEditorGetDlgCode(editor, wParam, lParam);
    case WM_KEYDOWN: return OnEditorKeyDown(editor, wParam, lParam);
    case WM_KILLFOCUS: return OnEditorKillFocus(editor, wParam, lParam);
    case WM_DESTROY: return OnEditorDestroy(editor, wParam, lParam);
    default: return CallEditProcedure(editor, message, wParam, lParam);
    }
}

}  // namespace

void OpenInlineEditor(HWND edit) {
    RECT client;
    GetClientRect(edit, &client);
    // Single-line: a multi-line edit drops automatic scrolling when right-aligned, and then
    // refuses every character that would not fit its width.
    HWND editor = CreateWindowExA(
        0, "EDIT", nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL, 2, 2,
        client.right - 4, client.bottom - 4, edit, reinterpret_cast<HMENU>(kInlineEditorId),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(edit, GWLP_HINSTANCE)), nullptr);
    if (!editor) return;

    HDC dc = GetDC(editor);
    HFONT font = CreateCaptionFont(dc);
    ReleaseDC(editor, dc);
    SendMessageA(editor, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    char text[kMaxTextChars + 1];
    GetWindowTextA(edit, text, sizeof text);
    SetWindowTextA(editor, text);
    // Moving the focus closes any other inline editor before this one becomes the open one.
    SetFocus(editor);
    SendMessageA(editor, EM_SETSEL, 0, -1);

    const LONG_PTR previous =
        SetWindowLongPtrA(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InlineEditorProc));
    SetWindowLongPtrA(editor, GWLP_USERDATA, previous);
    InlineEditorWindow = editor;
}

bool RegisterValueEditClass(HINSTANCE instance) {
    return RegisterCustomControlClass(instance, kValueEditClassName, ValueEditProc);
}

void UnregisterValueEditClass(HINSTANCE instance) {
    UnregisterClassA(kValueEditClassName, instance);
}

void SetValueEditMessageClock(ValueEditMessageClock clock) { messageClock = clock; }
