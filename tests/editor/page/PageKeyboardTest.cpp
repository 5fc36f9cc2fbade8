// The editor page worked from the keyboard inside Wine's property frame: keys are posted to the
// focused window as the keyboard queues them, and go through the frame's own message loop and
// dialog manager (which gives Enter, Escape and Tab to the frame unless a control asks for them).
#include <functional>
#include <map>

#include "tests/editor/page/EditorPageFixture.h"

using namespace pagetest;

namespace {

// Posts a key's press and release to the focused window; the loop that takes them translates
// them into characters. '\r', '\x1b', '\t' and ' ' are keys, other characters arrive as typed.
void PostKey(WORD key, bool alt = false) {
    HWND focus = GetFocus();
    const LPARAM down =
        1 | LPARAM(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)) << 16 | (alt ? 1 << 29 : 0);
    PostMessageA(focus, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, down);
    PostMessageA(focus, alt ? WM_SYSKEYUP : WM_KEYUP, key, down | LPARAM(0xc0000000));
}
void PostKeys(const std::string& keys) {
    for (char c : keys) {
        if (c == '\r' || c == '\x1b' || c == '\t' || c == ' ')
            PostKey(WORD(c == '\x1b' ? VK_ESCAPE : c));
        else
            PostMessageA(GetFocus(), WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1);
    }
}

// A popup menu is open on this thread.
bool MenuIsOpen() {
    bool open = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) CALLBACK -> BOOL {
            if (ClassOf(w) != "#32768" || !IsWindowVisible(w)) return TRUE;
            *reinterpret_cast<bool*>(found) = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&open));
    return open;
}

// Plays steps inside Wine's property frame, one per timer tick from within the frame's own
// message loop (or an open menu's), then closes the frame with OK. Each step gets the page.
class CFrameScript {
public:
    using Step = std::function<void(HWND page)>;
    // Returns how many steps ran: fewer than given when the frame closed early.
    static size_t Run(HWND owner, IUnknown* filter, std::vector<Step> steps) {
        s_steps = std::move(steps);
        s_ran = 0;
        s_page = nullptr;
        const UINT_PTR timer = SetTimer(nullptr, 0, 60, Tick);
        IUnknown* objects[] = {filter};
        CLSID pages[] = {CLSID_TwPhasePropertyPage};
        EXPECT_EQ(S_OK, OleCreatePropertyFrame(owner, 10, 10, L"tw:Phase", 1, objects, 1, pages, 0,
                                               0, nullptr));
        KillTimer(nullptr, timer);
        return s_ran;
    }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (!s_page) s_page = FindPage();
        if (!s_page || !IsWindow(s_page) || s_busy) return;
        s_busy = true;  // a step that opens a menu ticks on inside it
        if (s_ran < s_steps.size())
            s_steps[s_ran++](s_page);
        else
            PostMessageA(GetAncestor(s_page, GA_ROOT), WM_COMMAND, IDOK, 0);
        s_busy = false;
    }
    static HWND FindPage() {
        HWND found = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND frame, LPARAM out) CALLBACK -> BOOL {
                EnumChildWindows(
                    frame,
                    [](HWND child, LPARAM out) CALLBACK -> BOOL {
                        if (GetDlgCtrlID(child) != IDC_PHASE_EDIT) return TRUE;
                        *reinterpret_cast<HWND*>(out) = GetParent(child);
                        return FALSE;
                    },
                    out);
                return *reinterpret_cast<HWND*>(out) == nullptr;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
    static inline std::vector<Step> s_steps;
    static inline size_t s_ran = 0;
    static inline HWND s_page = nullptr;
    static inline bool s_busy = false;
};

// A value typed into the inline editor of the output field is taken whole: the editor scrolls
// instead of refusing what does not fit; Escape drops the text and leaves the frame open.
TEST_F(EditorPage, TypedKeystrokesReachThePlugInWhole) {
    Close();
    const struct {
        const char* keys;  // after the double-click
        int output;
        const char* shown;
    } cases[] = {
        {"-12.34\r", -123, "-12.3"},
        {"-24.5\r", -245, "-24.5"},
        {"-5\x1b", -245, "-24.5"},
    };
    std::vector<std::pair<int, std::string>> seen;
    std::vector<CFrameScript::Step> steps;
    for (const auto& c : cases) {
        steps.push_back([](HWND page) {
            HWND field = GetDlgItem(page, IDC_OUTPUT_EDIT);
            for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
                PostMessageA(field, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                             MAKELPARAM(20, 10));
        });
        steps.push_back([keys = c.keys](HWND) { PostKeys(keys); });
        steps.push_back([&](HWND page) {
            seen.push_back(
                {Get(&IVxPlugInProp::GetOutput), Text(GetDlgItem(page, IDC_OUTPUT_EDIT))});
        });
    }
    EXPECT_EQ(steps.size(), CFrameScript::Run(parent_, filter_.Get(), steps)) << "the frame closed";
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(cases[i].output, seen[i].first) << cases[i].keys;
        EXPECT_EQ(cases[i].shown, seen[i].second) << cases[i].keys;
    }
}

// Enter presses the focused button instead of closing the frame; Space, F4 and Alt+Down open
// each drop-down, whose menu stays open for the keys until Escape and whose arrow comes back up;
// Tab walks through the page and the frame without stopping at a meter.
TEST_F(EditorPage, KeysWorkTheButtonsInsideWinesPropertyFrame) {
    Close();
    prop_->SetPhase(-33, 0);
    int phaseAfterEnter = -12345;
    std::vector<std::string> failures;
    std::vector<CFrameScript::Step> steps = {
        [](HWND page) {
            SetFocus(GetDlgItem(page, IDC_RESET));
            PostKey(VK_RETURN);
        },
        [&](HWND) { phaseAfterEnter = Get(&IVxPlugInProp::GetPhase); },
    };
    // Space and Enter on the Filter button step through the three filters and round again.
    std::vector<int> filters;
    for (WORD key : {WORD(VK_SPACE), WORD(VK_RETURN), WORD(VK_SPACE)}) {
        steps.push_back([key](HWND page) {
            SetFocus(GetDlgItem(page, IDC_FILTER));
            PostKey(key);
        });
        steps.push_back(
            [this, &filters](HWND) { filters.push_back(Get(&IVxPlugInProp::GetFilter)); });
    }
    struct OpenKey {
        WORD key;
        bool alt;
        const char* name;
    };
    const int arrows[] = {IDC_SETUP_MENU, IDC_PRESETS, IDC_MODE_MENU};
    std::map<int, std::unique_ptr<controltest::CPixels>> up;  // each arrow up, with the focus
    steps.push_back([&](HWND page) {
        for (int arrowId : arrows) {
            SetFocus(GetDlgItem(page, arrowId));
            up[arrowId] = std::make_unique<controltest::CPixels>(GetDlgItem(page, arrowId));
        }
    });
    for (int arrowId : arrows) {
        for (OpenKey open : {OpenKey{VK_SPACE, false, "Space"}, OpenKey{VK_F4, false, "F4"},
                             OpenKey{VK_DOWN, true, "Alt+Down"}}) {
            const std::string what = std::to_string(arrowId) + " " + open.name;
            steps.push_back([=](HWND page) {
                SetFocus(GetDlgItem(page, arrowId));
                PostKey(open.key, open.alt);
            });
            steps.push_back([&failures, what](HWND) {
                if (!MenuIsOpen()) {
                    failures.push_back(what + ": no menu open");
                    return;
                }
                PostKey(VK_ESCAPE);
            });
            steps.push_back([&failures, &up, what, arrowId](HWND page) {
                if (MenuIsOpen()) failures.push_back(what + ": the menu stayed open");
                if (!controltest::CPixels(GetDlgItem(page, arrowId))
                         .Differences(*up[arrowId])
                         .Empty())
                    failures.push_back(what + ": the arrow stayed down");
            });
        }
    }
    std::vector<int> pageStops;  // the page's controls the focus reached, in order
    steps.push_back([](HWND page) {
        SetFocus(GetDlgItem(page, IDC_BYPASS));
        PostKey(VK_TAB);
    });
    for (int i = 0; i < 40; ++i) {
        steps.push_back([&](HWND page) {
            if (!pageStops.empty() && pageStops.back() == IDC_BYPASS) return;
            HWND focus = GetFocus();
            if (GetParent(focus) == page) pageStops.push_back(GetDlgCtrlID(focus));
            PostKey(VK_TAB);
        });
    }
    EXPECT_EQ(steps.size(), CFrameScript::Run(parent_, filter_.Get(), steps)) << "the frame closed";
    EXPECT_EQ(0, phaseAfterEnter) << "Enter on Reset";
    EXPECT_EQ((std::vector<int>{1, 2, 0}), filters) << "Space, Enter, Space on Filter";
    EXPECT_EQ(std::vector<std::string>(), failures);
    // Round the frame and back: every page control that takes keys once, no meter.
    std::vector<int> expected = {
        IDC_UNDO,         IDC_SETUP,      IDC_SETUP_MENU,   IDC_RESET,       IDC_PRESETS,
        IDC_HELP,         IDC_FILTER,     IDC_MODE,         IDC_MODE_MENU,   IDC_PHASE_EDIT,
        IDC_PHASE_SLIDER, IDC_WIDTH_EDIT, IDC_WIDTH_SLIDER, IDC_OUTPUT_EDIT, IDC_OUTPUT_SLIDER,
        IDC_METER_POST,   IDC_BYPASS};
    EXPECT_EQ(expected, pageStops);
}

// A frame that asks the page first (IPropertyPage::TranslateAccelerator) gets Enter on a focused
// button taken by the button; keys the page's controls leave alone stay with the frame.
TEST_F(EditorPage, TranslateAcceleratorGivesTheFocusedButtonItsEnter) {
    prop_->SetPhase(-33, 0);
    HWND reset = Item(IDC_RESET);
    SetFocus(reset);
    MSG enter = {reset, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_EQ(S_OK, page_->TranslateAccelerator(&enter));
    MSG release = {reset, WM_KEYUP, VK_RETURN, LPARAM(0xc0000001), 0, {}};
    DispatchMessageA(&release);
    EXPECT_EQ(0, Get(&IVxPlugInProp::GetPhase));
    for (WORD key : {WORD(VK_TAB), WORD(VK_ESCAPE)}) {
        MSG other = {reset, WM_KEYDOWN, key, 1, 0, {}};
        EXPECT_EQ(S_FALSE, page_->TranslateAccelerator(&other)) << key;
    }
}

}  // namespace
