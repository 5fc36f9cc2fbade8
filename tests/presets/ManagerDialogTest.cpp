// The preset manager dialog under Wine, driven the way a user drives it: a thread timer finds
// the foremost dialog, menu or message box, reads it, and presses buttons, clicks tree items or
// types keys. Import and export get their file names from a scripted chooser (one import uses the
// system's open dialog). Library and exported files are read back with the private-profile
// functions.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "presets/PresetFile.h"
#include "presets/PresetText.h"
#include "presets/win/AddPresetDialogIds.h"
#include "presets/win/PresetDialogIds.h"
#include "presets/win/PresetManager.h"
#include "presets/win/PresetTransfer.h"

namespace {

const char kRootItem[] = "Available tw:Phase presets";
const char kSettings[] = "9,150,-20,1,0,1";  // what the editor page answers
// The library most tests start from, "Bank/Name=Data" in file order: ids 3501..3505.
const std::vector<std::string> kLibrary = {"Drums/Snare=1,100,0,0,1,0", "Drums/Kick=2,100,0,0,1,0",
                                           "Keys/Piano=3,100,0,0,1,0", "Lead=4,100,0,0,1,0",
                                           "Bass=5,100,0,0,1,0"};
const char kTree[] = "Available tw:Phase presets(Drums(Kick,Snare),Keys(Piano),Bass,Lead)";
constexpr int kPiano = 3503;

std::string Text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// ---- Files ----------------------------------------------------------------------------------

// A preset file: the header with classKey (none when empty), then the presets, each given as
// "Bank/Name=Data" or "Name=Data".
void WritePresetFile(const std::string& path, const std::vector<std::string>& presets,
                     const std::string& classKey = presetfile::kClassKey) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!classKey.empty())
        out << "[Plug-in]\r\nPluginName=tw:Phase\r\nCLSID=" << classKey << "\r\n";
    for (size_t i = 0; i < presets.size(); ++i) {
        const std::string& p = presets[i];
        const size_t slash = p.find('/'), eq = p.find('=');
        const size_t nameAt = slash < eq ? slash + 1 : 0;
        out << "[Preset" << i + 1 << "]\r\nVersion=3\r\nName=" << p.substr(nameAt, eq - nameAt)
            << "\r\nBank=" << (nameAt ? p.substr(0, slash) : "") << "\r\nData=" << p.substr(eq + 1)
            << "\r\n";
    }
}

std::string Ini(const std::string& path, const std::string& section, const char* key) {
    char value[4096];
    GetPrivateProfileStringA(section.c_str(), key, "KEY_NOT_FOUND", value, sizeof value,
                             path.c_str());
    return value;
}

// The presets of a file in section order, in WritePresetFile's form.
std::vector<std::string> FilePresets(const std::string& path) {
    std::vector<std::string> presets;
    for (int n = 1; Ini(path, "Preset" + std::to_string(n), "Version") != "KEY_NOT_FOUND"; ++n) {
        const std::string s = "Preset" + std::to_string(n), bank = Ini(path, s, "Bank");
        presets.push_back((bank.empty() ? "" : bank + "/") + Ini(path, s, "Name") + "=" +
                          Ini(path, s, "Data"));
    }
    return presets;
}

// ---- The user ----------------------------------------------------------------------------------

// One step acts on the foremost window (a menu, else the enabled dialog or message box) and
// says whether it was the window it waited for.
using Step = std::function<bool(HWND)>;
std::deque<Step> g_steps;
DWORD g_lastStep = 0;
std::vector<std::string> g_messages;  // texts of the message boxes answered

HWND Foremost() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM out) CALLBACK -> BOOL {
            if (!IsWindowVisible(window)) return TRUE;
            const std::string name = ClassOf(window);
            if (name == "#32768") {
                *reinterpret_cast<HWND*>(out) = window;
                return FALSE;
            }
            if (name == "#32770" && IsWindowEnabled(window)) *reinterpret_cast<HWND*>(out) = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    static bool busy = false;
    HWND top = busy ? nullptr : Foremost();
    if (!top) return;
    busy = true;
    if (!g_steps.empty() && g_steps.front()(top)) {
        g_steps.pop_front();
        g_lastStep = GetTickCount();
    } else if (GetTickCount() - g_lastStep > 8000) {
        // Stuck: say where, and close whatever is open so that the test ends.
        ADD_FAILURE() << "no step for the window \"" << Text(top) << "\" (" << g_steps.size()
                      << " steps left)";
        g_steps.clear();
        if (ClassOf(top) == "#32768")
            EndMenu();
        else
            PostMessageA(top, WM_COMMAND,
                         GetDlgItem(top, IDC_MANAGER_TREE) ? IDC_MANAGER_CANCEL : IDCANCEL, 0);
        g_lastStep = GetTickCount() - 7000;
    }
    busy = false;
}

bool IsManager(HWND window) {
    return GetDlgItem(window, IDC_MANAGER_TREE) != nullptr;
}

// Acts in the manager dialog.
Step Manager(std::function<void(HWND)> act) {
    return [act](HWND top) { return IsManager(top) && (act(top), true); };
}

// Acts in the dialog with that title.
Step Dialog(const std::string& title, std::function<void(HWND)> act) {
    return [title, act](HWND top) { return Text(top) == title && (act(top), true); };
}

// Answers a message box with button, noting its text.
Step Box(int button) {
    return [button](HWND top) {
        HWND text = GetDlgItem(top, 0xFFFF);
        if (!text || IsManager(top)) return false;
        g_messages.push_back(Text(text));
        PostMessageA(top, WM_COMMAND, button, 0);
        return true;
    };
}

void Press(HWND dialog, int id) {
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << "button " << id;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Sets a field and presses the default button.
void Enter(HWND dialog, int field, const char* text) {
    SetDlgItemTextA(dialog, field, text);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

// The enabled buttons' captions, in order.
std::string EnabledButtons(HWND dialog) {
    std::string names;
    for (int id : {IDC_MANAGER_ADD, IDC_MANAGER_UPDATE, IDC_MANAGER_RENAME, IDC_MANAGER_DELETE,
                   IDC_MANAGER_IMPORT, IDC_MANAGER_EXPORT, IDOK, IDC_MANAGER_CANCEL})
        if (IsWindowEnabled(GetDlgItem(dialog, id)))
            names += (names.empty() ? "" : " ") + Text(GetDlgItem(dialog, id));
    return names;
}

std::string Label(HWND tree, HTREEITEM item) {
    char text[256] = {};
    TVITEMA data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

// The item's label rectangle; false when the item is not visible.
bool ItemRect(HWND tree, HTREEITEM item, RECT* rect) {
    std::memcpy(rect, &item, sizeof item);
    return SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(rect)) != 0;
}

// The tree as "Root(Bank(Preset,...),...)", the selected item marked with '>'.
std::string TreeText(HWND tree, HTREEITEM item) {
    std::string text;
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        if (!text.empty()) text += ",";
        if (item == TreeView_GetSelection(tree)) text += ">";
        text += Label(tree, item);
        if (HTREEITEM child = TreeView_GetChild(tree, item))
            text += "(" + TreeText(tree, child) + ")";
    }
    return text;
}

HWND Tree(HWND dialog) {
    return GetDlgItem(dialog, IDC_MANAGER_TREE);
}

std::string TreeText(HWND dialog) {
    return TreeText(Tree(dialog), TreeView_GetRoot(Tree(dialog)));
}

HTREEITEM FindItem(HWND tree, HTREEITEM item, const std::string& label) {
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        if (Label(tree, item) == label) return item;
        if (HTREEITEM found = FindItem(tree, TreeView_GetChild(tree, item), label)) return found;
    }
    return nullptr;
}

HTREEITEM Select(HWND dialog, const std::string& label) {
    HTREEITEM item = FindItem(Tree(dialog), TreeView_GetRoot(Tree(dialog)), label);
    EXPECT_NE(nullptr, item) << label;
    TreeView_SelectItem(Tree(dialog), item);
    return item;
}

// Posts a mouse press (and its release) at the middle of the item's label.
void Click(HWND dialog, const std::string& label, UINT down, UINT up) {
    HTREEITEM item = Select(dialog, label);
    TreeView_EnsureVisible(Tree(dialog), item);
    RECT rect;
    ItemRect(Tree(dialog), item, &rect);
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(Tree(dialog), down, 0, at);
    if (up) PostMessageA(Tree(dialog), up, 0, at);
}

void RightClick(HWND dialog, const std::string& label) {
    Click(dialog, label, WM_RBUTTONDOWN, WM_RBUTTONUP);
}

std::string MenuItemText(HMENU menu, int position) {
    char text[256] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, position, TRUE, &info);
    if (info.fType & MFT_SEPARATOR) return "-";
    std::string item = (info.fState & MFS_GRAYED) ? std::string("~") + text : text;
    return info.hSubMenu ? item + ">" : item;
}

// The items of a menu, "|"-separated: "-" a separator, "~" a grayed item, ">" a submenu.
std::string MenuText(HMENU menu) {
    std::string text;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) text += (i ? "|" : "") + MenuItemText(menu, i);
    return text;
}

// Chooses the item at the end of path (texts as MenuText shows them, without marks) with the
// keys: the menu opens with nothing highlighted, a submenu with its first item highlighted,
// and the arrow keys skip separators.
void Choose(HWND menuWindow, HMENU menu, const std::vector<std::string>& path) {
    for (size_t level = 0; level < path.size(); ++level) {
        int index = 0;
        HMENU submenu = nullptr;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            std::string text = MenuItemText(menu, i);
            if (text == "-") continue;
            if (text.back() == '>') text.pop_back();
            if (text == path[level]) {
                submenu = GetSubMenu(menu, i);
                break;
            }
            ++index;
        }
        for (int i = level == 0 ? -1 : 0; i < index; ++i)
            PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menuWindow, WM_KEYDOWN, level + 1 < path.size() ? VK_RIGHT : VK_RETURN, 0);
        menu = submenu;
    }
}

// Acts on the context menu: reads it and chooses path ({} closes it).
Step Menu(std::string* text, std::string* moveText, std::vector<std::string> path) {
    return [=](HWND top) {
        if (ClassOf(top) != "#32768") return false;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageA(top, MN_GETHMENU, 0, 0));
        if (text) *text = MenuText(menu);
        const int last = GetMenuItemCount(menu) - 1;
        if (moveText) *moveText = GetSubMenu(menu, last) ? MenuText(GetSubMenu(menu, last)) : "";
        if (path.empty())
            EndMenu();
        else
            Choose(top, menu, path);
        return true;
    };
}

// ---- The editor page and the chooser ----------------------------------------------------------

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 10900) return DefWindowProcA(window, message, wParam, lParam);
    char* text = new char[128];
    strcpy(text, kSettings);
    *reinterpret_cast<char**>(wParam) = text;
    return 0;
}

// Created once: destroying a top-level window costs Wine seconds without a window manager.
HWND OwnerWindow() {
    static HWND window = [] {
        WNDCLASSA type = {};
        type.lpfnWndProc = OwnerProc;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = "twManagerTestOwner";
        RegisterClassA(&type);
        return CreateWindowExA(0, type.lpszClassName, "editor", WS_POPUP | WS_VISIBLE, 0, 0, 500,
                               400, nullptr, nullptr, type.hInstance, nullptr);
    }();
    return window;
}

std::deque<std::string> g_chosenPaths;  // "" answers that the dialog failed
std::vector<PresetFileRequest> g_requests;

PresetFileChoice ScriptedChooser(HWND, const PresetFileRequest& request, std::string* path) {
    g_requests.push_back(request);
    if (g_chosenPaths.empty()) return PresetFileChoice::kCancelled;
    *path = g_chosenPaths.front();
    g_chosenPaths.pop_front();
    return path->empty() ? PresetFileChoice::kFailed : PresetFileChoice::kChosen;
}

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "twmanager-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + presetfile::kLibraryFileName;
        g_messages.clear();
        g_requests.clear();
        g_chosenPaths.clear();
        SetPresetFileChooser(ScriptedChooser);
        Load(kLibrary);
    }
    void TearDown() override {
        SetPresetFileChooser(nullptr);
        manager.reset();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            DeleteFileA((folder + found.cFileName).c_str());
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        RemoveDirectoryA(folder.c_str());
    }

    // A new manager on a library file holding presets (written unless file is given).
    void Load(const std::vector<std::string>& presets, const std::string& file = "") {
        if (file.empty()) WritePresetFile(path, presets);
        manager.reset(new CPresetManager(GetModuleHandleA(nullptr), OwnerWindow(), "tw:Phase"));
        manager->Library().SetAltClassKey(presetfile::kAltClassKey);
        manager->Library().LoadPresetLibrary(presetfile::kClassKey, file.empty() ? path : file);
    }

    int Run(std::deque<Step> steps) {
        g_steps = std::move(steps);
        g_lastStep = GetTickCount();
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
        const int result = manager->RunManagerDialog();
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_steps.empty()) << g_steps.size() << " steps left";
        EXPECT_EQ(nullptr, manager->ManagerWindow());
        return result;
    }
    CPresetLibrary& Library() { return manager->Library(); }

    std::string folder, path;
    std::unique_ptr<CPresetManager> manager;
};

}  // namespace

TEST_F(ManagerTest, OpensOnTheLibraryWithTheCurrentPresetShownAndButtonsBySelection) {
    Library().SetCurrentId(kPiano);
    std::string title, tree, buttons[4];
    LONG style = 0;
    bool pianoVisible = false;
    EXPECT_EQ(0, Run({Manager([&](HWND d) {
                  title = Text(d);
                  tree = TreeText(d);
                  style = GetWindowLongA(Tree(d), GWL_STYLE);
                  RECT rect;
                  pianoVisible = ItemRect(Tree(d), TreeView_GetSelection(Tree(d)), &rect);
                  buttons[0] = EnabledButtons(d);
                  Select(d, kRootItem);
                  buttons[1] = EnabledButtons(d);
                  Select(d, "Drums");
                  buttons[2] = EnabledButtons(d);
                  PostMessageA(d, WM_COMMAND, IDCANCEL, 0);  // Escape: nothing changed, no question
              })}));
    EXPECT_EQ("tw:Phase Preset Manager", title);
    EXPECT_EQ("Available tw:Phase presets(Drums(Kick,Snare),Keys(>Piano),Bass,Lead)", tree);
    EXPECT_TRUE(pianoVisible);
    EXPECT_FALSE(style & TVS_EDITLABELS);  // renaming goes through the rename dialog only
    EXPECT_EQ("Add... Update... Rename... Delete Import... Export... Save Cancel", buttons[0]);
    EXPECT_EQ("Add... Delete Import... Export... Save Cancel", buttons[1]);
    EXPECT_EQ("Add... Rename... Delete Import... Export... Save Cancel", buttons[2]);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(kLibrary, FilePresets(path));

    Load({});
    EXPECT_EQ(0, Run({Manager([&](HWND d) {
                  buttons[3] = EnabledButtons(d);
                  tree = TreeText(d);
                  Press(d, IDC_MANAGER_CANCEL);
              })}));
    EXPECT_EQ("Add... Import... Save Cancel", buttons[3]);
    EXPECT_EQ(">Available tw:Phase presets", tree);
}

// Each kind of selection asks its own question; Yes deletes, No keeps. Deleting a preset that
// has a next item removes only that item; the last one of a bank takes the bank with it.
TEST_F(ManagerTest, DeleteAsksByKindAndSaveWritesWhatIsLeft) {
    // clang-format off
    const struct {
        const char* select;
        bool byKey;  // the Delete key in the tree instead of the button
        int answer;
        const char* question;
        const char* tree;   // after the delete
        bool sameBankItem;  // no rebuild: Drums stays open
        std::vector<std::string> saved;
    } cases[] = {
        {kRootItem, false, IDYES,
         "Are you sure you want to delete ALL the tw:Phase banks and presets?",
         ">Available tw:Phase presets", false, {}},
        {"Drums", true, IDYES,
         "Do you want to delete the tw:Phase preset bank \"Drums\"?\nAll presets contained in this "
         "bank will be lost.",
         ">Available tw:Phase presets(Keys(Piano),Bass,Lead)", false,
         {"Keys/Piano=3,100,0,0,1,0", "Bass=5,100,0,0,1,0", "Lead=4,100,0,0,1,0"}},
        {"Kick", false, IDYES, "Do you want to delete the tw:Phase preset \"Kick\"?",
         "Available tw:Phase presets(Drums(Snare),Keys(Piano),Bass,Lead)", true,
         {"Drums/Snare=1,100,0,0,1,0", "Keys/Piano=3,100,0,0,1,0", "Bass=5,100,0,0,1,0",
          "Lead=4,100,0,0,1,0"}},
        {"Piano", true, IDYES, "Do you want to delete the tw:Phase preset \"Piano\"?",
         ">Available tw:Phase presets(Drums(Kick,Snare),Bass,Lead)", false,
         {"Drums/Kick=2,100,0,0,1,0", "Drums/Snare=1,100,0,0,1,0", "Bass=5,100,0,0,1,0",
          "Lead=4,100,0,0,1,0"}},
        {"Snare", false, IDNO, "Do you want to delete the tw:Phase preset \"Snare\"?", kTree, true,
         {"Drums/Kick=2,100,0,0,1,0", "Drums/Snare=1,100,0,0,1,0", "Keys/Piano=3,100,0,0,1,0",
          "Bass=5,100,0,0,1,0", "Lead=4,100,0,0,1,0"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.select);
        Load(kLibrary);
        Library().SetCurrentId(kPiano);
        g_messages.clear();
        std::string tree, buttons;
        bool drumsOpen = false;
        EXPECT_EQ(
            0, Run({Manager([&](HWND d) {
                        Select(d, c.select);
                        if (c.byKey)
                            PostMessageA(Tree(d), WM_KEYDOWN, VK_DELETE, 0);
                        else
                            Press(d, IDC_MANAGER_DELETE);
                    }),
                    Box(c.answer), Manager([&](HWND d) {
                        // A rebuilt tree has its banks closed again.
                        HTREEITEM drums = FindItem(Tree(d), TreeView_GetRoot(Tree(d)), "Drums");
                        drumsOpen = drums && (TreeView_GetItemState(Tree(d), drums, TVIS_EXPANDED) &
                                              TVIS_EXPANDED);
                        tree = TreeText(d);
                        if (c.sameBankItem)
                            tree.erase(std::remove(tree.begin(), tree.end(), '>'), tree.end());
                        buttons = EnabledButtons(d);
                        Press(d, IDOK);
                    })}));
        EXPECT_EQ(c.sameBankItem, drumsOpen);
        EXPECT_EQ(std::vector<std::string>{c.question}, g_messages);
        EXPECT_EQ(c.tree, tree);
        EXPECT_EQ(c.saved, FilePresets(path));
        EXPECT_EQ("1", Ini(path, "Plug-in", "DefaultPreset"));
        // The deleted current preset is no longer current.
        const bool pianoGone = c.answer == IDYES && std::string(c.select) != "Drums" &&
                               std::string(c.select) != "Kick";
        EXPECT_EQ(pianoGone ? -1 : kPiano, Library().CurrentId());
        if (c.saved.empty()) {
            EXPECT_EQ("Add... Import... Save Cancel", buttons);
        }
    }
}

// Add (through the add-preset dialog), Update, and Rename of a preset and of a bank; names
// are entered in the form the file keeps them; Enter saves.
TEST_F(ManagerTest, AddUpdateAndRenameChangeTheCopyAndEnterSavesIt) {
    std::string afterAdd, renameField, bankField, tree;
    int addedCurrent = 0;
    EXPECT_EQ(
        0,
        Run({
            Manager([](HWND d) { Press(d, IDC_MANAGER_ADD); }),
            Dialog("Add tw:Phase preset",
                   [](HWND d) {
                       SetDlgItemTextA(d, IDC_ADD_BANK, "Keys");
                       Enter(d, IDC_ADD_NAME, "  Pad  ");
                   }),
            Manager([&](HWND d) {
                afterAdd = TreeText(d);
                addedCurrent = Library().CurrentId();
                Select(d, "Kick");
                Press(d, IDC_MANAGER_UPDATE);
            }),
            Box(IDYES),
            Manager([](HWND d) {
                Select(d, "Lead");
                Press(d, IDC_MANAGER_RENAME);
            }),
            Dialog("Rename tw:Phase preset",
                   [&](HWND d) {
                       renameField = Text(GetDlgItem(d, IDC_RENAME_NAME));
                       Enter(d, IDC_RENAME_NAME, "   ");
                   }),
            Box(IDOK),
            Dialog("Rename tw:Phase preset", [](HWND d) { Enter(d, IDC_RENAME_NAME, "\"Solo\""); }),
            Manager([](HWND d) {
                Select(d, "Drums");
                Press(d, IDC_MANAGER_RENAME);
            }),
            Dialog("Rename tw:Phase bank",
                   [&](HWND d) {
                       bankField = Text(GetDlgItem(d, IDC_RENAME_NAME));
                       Enter(d, IDC_RENAME_NAME, "keys");  // merges with Keys, as spelled
                   }),
            Manager([&](HWND d) {
                tree = TreeText(d);
                PostMessageA(d, WM_COMMAND, IDOK, 0);  // Enter: the default button, Save
            }),
        }));
    EXPECT_EQ("Available tw:Phase presets(Drums(Kick,Snare),Keys(>Pad,Piano),Bass,Lead)", afterAdd);
    EXPECT_EQ(3506, addedCurrent);
    EXPECT_EQ(
        (std::vector<std::string>{UpdateQuestionText("Kick"),
                                  "Unable to rename preset because you did not specify any name."}),
        g_messages);
    EXPECT_EQ("Lead", renameField);
    EXPECT_EQ("Drums", bankField);
    EXPECT_EQ(">Available tw:Phase presets(Keys(Kick,Pad,Piano,Snare),Bass,Solo)", tree);
    EXPECT_EQ((std::vector<std::string>{"Keys/Kick=9,150,-20,1,0,1", "Keys/Pad=9,150,-20,1,0,1",
                                        "Keys/Piano=3,100,0,0,1,0", "Keys/Snare=1,100,0,0,1,0",
                                        "Bass=5,100,0,0,1,0", "Solo=4,100,0,0,1,0"}),
              FilePresets(path));
    EXPECT_EQ(3506, Library().CurrentId());
}

// The right button selects the item under it and opens the context menu; "Move Preset" lists
// the other banks once each, names shown as typed, and moves the preset.
TEST_F(ManagerTest, ContextMenuMovesPresetsBetweenBanks) {
    std::string kickMenu, kickMove, leadMove, pianoMove, rootMenu, tree;
    EXPECT_EQ(0,
              Run({
                  Manager([](HWND d) { RightClick(d, "Kick"); }),
                  Menu(&kickMenu, &kickMove, {"Move Preset", "Keys"}),
                  Manager([](HWND d) { RightClick(d, "Lead"); }),
                  Menu(nullptr, &leadMove, {"Move Preset", "to New Bank..."}),
                  Dialog("Move preset \"Lead\" to new bank",
                         [](HWND d) { Enter(d, IDC_NEW_BANK_NAME, ""); }),
                  Box(IDOK),
                  Dialog("Move preset \"Lead\" to new bank",
                         [](HWND d) { Enter(d, IDC_NEW_BANK_NAME, "R&B"); }),
                  Manager([](HWND d) { RightClick(d, "Piano"); }),
                  Menu(nullptr, &pianoMove, {"Move Preset", "to Root"}),
                  Manager([](HWND d) { RightClick(d, kRootItem); }),
                  Menu(&rootMenu, nullptr, {}),
                  Manager([](HWND d) { RightClick(d, "Bass"); }),
                  Menu(nullptr, nullptr, {"Rename..."}),  // passed on to the dialog's own command
                  Dialog("Rename tw:Phase preset",
                         [](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); }),
                  Manager([&](HWND d) {
                      tree = TreeText(d);
                      Press(d, IDOK);
                  }),
              }));
    EXPECT_EQ("Add...|Update...|Rename...|Delete|-|Move Preset>", kickMenu);
    EXPECT_EQ("to Root|to New Bank...|-|Keys", kickMove);
    EXPECT_EQ("to New Bank...|-|Drums|Keys", leadMove);
    EXPECT_EQ("to Root|to New Bank...|-|Drums|R&&B", pianoMove);
    EXPECT_EQ("Add...|~Update...|~Rename...|Delete", rootMenu);
    EXPECT_EQ(
        std::vector<std::string>{
            "Unable to move preset to new bank because no bank name was specified."},
        g_messages);
    EXPECT_EQ("Available tw:Phase presets(Drums(Snare),Keys(Kick),R&B(Lead),>Bass,Piano)", tree);
    EXPECT_EQ((std::vector<std::string>{"Drums/Snare=1,100,0,0,1,0", "Keys/Kick=2,100,0,0,1,0",
                                        "R&B/Lead=4,100,0,0,1,0", "Bass=5,100,0,0,1,0",
                                        "Piano=3,100,0,0,1,0"}),
              FilePresets(path));
}

// Leaving: Cancel, and No to the save question, bring back the library and the current preset
// as they were; Cancel to the question stays; Yes saves. A double-click on a preset closes the
// dialog with its identifier for the editor to apply, after the same question when something
// changed; after No it is handed back only while it still names that preset.
TEST_F(ManagerTest, LeavingSavesOrRestoresAndHandsBackOnlyAPresetStillNamed) {
    auto doubleClick = [](const char* label) {
        return Manager([label](HWND d) { Click(d, label, WM_LBUTTONDBLCLK, 0); });
    };
    auto deleting = [](const char* label) {
        return Manager([label](HWND d) {
            Select(d, label);
            Press(d, IDC_MANAGER_DELETE);
        });
    };
    const Step escape = Manager([](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); });
    const Step cancel = Manager([](HWND d) { Press(d, IDC_MANAGER_CANCEL); });
    const Step update = Manager([](HWND d) {
        Select(d, "Piano");
        Press(d, IDC_MANAGER_UPDATE);
    });
    const Step add = Manager([](HWND d) { Press(d, IDC_MANAGER_ADD); });
    const Step named = Dialog("Add tw:Phase preset", [](HWND d) { Enter(d, IDC_ADD_NAME, "New"); });
    const std::string oldPiano = kLibrary[2], newPiano = "Keys/Piano=9,150,-20,1,0,1";
    // clang-format off
    const struct {
        const char* name;
        std::deque<Step> steps;
        int result;
        size_t saveQuestions;
        int presets;  // in the library and the file afterwards
        int current;
        std::string piano;  // in the file afterwards
    } cases[] = {
        {"all deleted, Cancel", {deleting(kRootItem), Box(IDYES), cancel}, 0, 0, 5, kPiano,
         oldPiano},
        {"all deleted, Escape, Cancel, Escape, No",
         {deleting(kRootItem), Box(IDYES), escape, Box(IDCANCEL), escape, Box(IDNO)}, 0, 2, 5,
         kPiano, oldPiano},
        {"all deleted, Escape, Yes", {deleting(kRootItem), Box(IDYES), escape, Box(IDYES)}, 0, 1,
         0, -1, ""},
        {"unchanged", {doubleClick("Piano")}, kPiano, 0, 5, kPiano, oldPiano},
        {"bank opens", {doubleClick("Keys"), doubleClick("Piano")}, kPiano, 0, 5, kPiano, oldPiano},
        {"updated, No", {update, Box(IDYES), doubleClick("Piano"), Box(IDNO)}, kPiano, 1, 5, kPiano,
         oldPiano},
        {"updated, Yes", {update, Box(IDYES), doubleClick("Piano"), Box(IDYES)}, kPiano, 1, 5,
         kPiano, newPiano},
        {"added, No", {add, named, doubleClick("New"), Box(IDNO)}, 0, 1, 5, kPiano, oldPiano},
        // The new preset takes the deleted one's identifier, which the restored library gives
        // back to Bass: nothing is applied.
        {"identifier reused, No",
         {deleting("Bass"), Box(IDYES), add, named, doubleClick("New"), Box(IDNO)}, 0, 1, 5, kPiano,
         oldPiano},
        {"added, Cancel, Cancel", {add, named, doubleClick("New"), Box(IDCANCEL), cancel}, 0, 1, 5,
         kPiano, oldPiano},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Load(kLibrary);
        Library().SetCurrentId(kPiano);
        g_messages.clear();
        EXPECT_EQ(c.result, Run(c.steps));
        EXPECT_EQ(c.saveQuestions, static_cast<size_t>(std::count(
                                       g_messages.begin(), g_messages.end(),
                                       "Save changes before exiting the Preset Manager?")));
        EXPECT_EQ(c.presets, Library().Count());
        EXPECT_EQ(c.current, Library().CurrentId());
        const std::vector<std::string> saved = FilePresets(path);
        EXPECT_EQ(c.presets, static_cast<int>(saved.size()));
        EXPECT_EQ(c.piano, saved.size() > 2 ? saved[2] : "");
    }
}

// Import accepts our files and the alternate class key's, asks about each duplicate, tells
// about files it cannot use and about a read cut short, and changes the library only when it
// added something.
TEST_F(ManagerTest, ImportAddsPresetsFromOurFilesAndNamesTheOthers) {
    const std::string file = folder + "import.ini";
    const std::string ours[] = {"Pads/Warm=7,100,0,0,1,0", "Wide=8,180,0,0,1,0"};
    CPresetLibrary::ReadSummary cut;
    cut.stop = CPresetLibrary::ReadStop::kMissingKey;
    cut.stoppedAt = 2;
    cut.missingKey = "Bank";
    auto Duplicate = [](const std::string& name) {
        return "The preset \"" + name +
               "\" you are importing already exists in the tw:Phase preset list.\n"
               "Do you want to add it anyway?";
    };
    const Step typePath = Dialog("Import Preset(s)", [file](HWND d) {  // the system's dialog
        SetDlgItemTextA(d, GetDlgItem(d, cmb13) ? cmb13 : edt1, file.c_str());
        PostMessageA(d, WM_COMMAND, IDOK, 0);
    });
    // clang-format off
    const struct {
        const char* name;
        std::vector<std::string> presets;
        std::string classKey;
        std::deque<Step> answers;
        int added;
        std::vector<std::string> messages;
    } cases[] = {
        {"ours", {ours[0], ours[1]}, presetfile::kClassKey, {}, 2, {}},
        {"alternate key", {ours[1]}, presetfile::kAltClassKey, {}, 1, {}},
        {"foreign", {ours[1]}, "SOFTWARE\\Classes\\CLSID\\{00000000-1111-2222-3333-444444444444}",
         {Box(IDOK)}, 0,
         {"The preset file you are trying to import does not contain data for this plug-in."}},
        {"no header", {ours[1]}, "", {Box(IDOK)}, 0,
         {"The file you selected does not contain Quillmoor Corvane:tw plug-in preset data."}},
        {"duplicates", {kLibrary[1], ours[1], kLibrary[4]}, presetfile::kClassKey,
         {Box(IDYES), Box(IDNO)}, 2, {Duplicate("Kick"), Duplicate("Bass")}},
        {"cut", {ours[0], ours[1], kLibrary[4]}, presetfile::kClassKey, {Box(IDOK)}, 1,
         {Library().ReadStopText(file, cut)}},
        {"dialog failed", {}, "", {Box(IDOK)}, 0, {"Unable to open file dialog."}},
        {"cancelled", {}, "", {}, 0, {}},
        {"system dialog", {ours[0]}, presetfile::kClassKey, {typePath}, 1, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        g_messages.clear();
        WritePresetFile(file, c.presets, c.classKey);
        if (name == "cut") WritePrivateProfileStringA("Preset2", "Bank", nullptr, file.c_str());
        if (name == "system dialog") SetPresetFileChooser(nullptr);
        if (name != "cancelled") g_chosenPaths.push_back(name == "dialog failed" ? "" : file);
        int count = 0;
        std::deque<Step> steps = {Manager([](HWND d) { Press(d, IDC_MANAGER_IMPORT); })};
        steps.insert(steps.end(), c.answers.begin(), c.answers.end());
        steps.push_back(Manager([&](HWND d) {
            count = Library().Count();
            PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
        }));
        if (c.added) steps.push_back(Box(IDNO));  // the save question: only after a change
        EXPECT_EQ(0, Run(steps));
        EXPECT_EQ(5 + c.added, count);
        std::vector<std::string> expected = c.messages;
        if (c.added) expected.push_back("Save changes before exiting the Preset Manager?");
        EXPECT_EQ(expected, g_messages);
        EXPECT_EQ(5, Library().Count());
    }
    // The first dialog starts in the library's folder; later ones where the system chooses.
    ASSERT_EQ(8u, g_requests.size());
    EXPECT_EQ("Import Preset(s)", g_requests[0].title);
    EXPECT_FALSE(g_requests[0].save);
    EXPECT_EQ(folder, g_requests[0].initialFolder);
    EXPECT_EQ("", g_requests[1].initialFolder);
}

// Export proposes a file name from the selection and writes only the chosen presets, with
// unsaved changes, over whatever presets the file held; the library stays unchanged.
TEST_F(ManagerTest, ExportWritesTheSelectionInPlaceOfTheFilesPresets) {
    const std::string file = folder + "export.ini";
    // clang-format off
    const struct {
        const char* select;
        const char* title;
        const char* proposed;
        std::vector<std::string> written;
        const char* defaultPreset;
    } cases[] = {
        {kRootItem, "Export all presets", "tw_Phase.ini",
         {"Drums/Kick=2,100,0,0,1,0", "Drums/Snare=1,100,0,0,1,0", "Keys/a b:c=3,100,0,0,1,0",
          "Bass=5,100,0,0,1,0", "CON=4,100,0,0,1,0"}, "1"},
        {"Drums", "Export preset bank", "Drums.ini",
         {"Drums/Kick=2,100,0,0,1,0", "Drums/Snare=1,100,0,0,1,0"}, "KEY_NOT_FOUND"},
        {"CON", "Export preset", "_CON.ini", {"CON=4,100,0,0,1,0"}, "KEY_NOT_FOUND"},
        {"a b:c", "Export preset", "a_b_c.ini", {"Keys/a b:c=3,100,0,0,1,0"}, "KEY_NOT_FOUND"},
    };
    // clang-format on
    Library().At(4)->SetName("CON");  // unsaved changes go out too
    Library().At(2)->SetName("a b:c");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.select);
        WritePresetFile(file, kLibrary);  // five old presets in the way
        g_requests.clear();
        g_chosenPaths.push_back(file);
        Run({Manager([&](HWND d) {
                 Select(d, c.select);
                 Press(d, IDC_MANAGER_EXPORT);
             }),
             Manager([](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); })});  // no question
        ASSERT_EQ(1u, g_requests.size());
        EXPECT_TRUE(g_requests[0].save);
        EXPECT_EQ(c.title, g_requests[0].title);
        EXPECT_EQ(c.proposed, g_requests[0].fileName);
        EXPECT_EQ(c.written, FilePresets(file));
        EXPECT_EQ(presetfile::kClassKey, Ini(file, "Plug-in", "CLSID"));
        EXPECT_EQ(c.defaultPreset, Ini(file, "Plug-in", "DefaultPreset"));
    }
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(kLibrary, FilePresets(path));

    // A device name typed in the dialog is refused.
    g_chosenPaths.push_back(folder + "nul.ini");
    Run({Manager([](HWND d) { Press(d, IDC_MANAGER_EXPORT); }), Box(IDOK),
         Manager([](HWND d) { Press(d, IDC_MANAGER_CANCEL); })});
    EXPECT_EQ(std::vector<std::string>{"Unable to export the presets to \"" + folder +
                                       "nul.ini\" because that name is reserved for a device."},
              g_messages);
}

// Save tells why it failed and keeps the dialog, and the changes, open; a file another editor
// changed since it was read is overwritten only when the user says so.
TEST_F(ManagerTest, SaveFailureKeepsTheManagerOpenAndAChangedFileIsOverwrittenOnlyOnYes) {
    const Step deleteBass = Manager([](HWND d) {
        Select(d, "Bass");
        Press(d, IDC_MANAGER_DELETE);
    });
    const Step save = Manager([](HWND d) { Press(d, IDOK); });
    // Another editor saved a sixth preset after this one read the file.
    WritePresetFile(path, {kLibrary[0], kLibrary[1], kLibrary[2], kLibrary[3], kLibrary[4],
                           "Other=6,100,0,0,1,0"});
    EXPECT_EQ(0, Run({deleteBass, Box(IDYES), save, Box(IDNO), save, Box(IDYES)}));
    ASSERT_EQ(3u, g_messages.size());
    EXPECT_EQ(Library().OverwriteQuestionText(), g_messages[1]);
    EXPECT_EQ(g_messages[1], g_messages[2]);
    EXPECT_EQ(4u, FilePresets(path).size());

    const std::string missing = folder + "missing\\" + presetfile::kLibraryFileName;
    Load({}, missing);
    g_messages.clear();
    EXPECT_EQ(0, Run({save, Box(IDOK), Manager([](HWND d) { Press(d, IDC_MANAGER_CANCEL); })}));
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(Library().SaveErrorText(), g_messages[0]);
    EXPECT_NE(std::string::npos, g_messages[0].find("Unable to save the presets to " + missing));
}
