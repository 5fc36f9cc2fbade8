// The editor's presets: the menu built from the library, choosing a preset, and adding one
// through the add-preset dialog, with the library file in a folder named by "PluginPath".
#include "presets/PresetFile.h"
#include "presets/win/PresetManager.h"
#include "presets/win/PresetsMenu.h"
#include "tests/editor/page/EditorPageFixture.h"

using namespace pagetest;

namespace {

struct Preset {
    const char* name;
    const char* bank;
    const char* data;
};

// The menu as text, one entry per item: submenus as "[name: item, item]", the radio mark as
// "*", a separator as "-".
std::string Describe(HMENU menu) {
    std::string text;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (i) text += ", ";
        char label[256] = {};
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        item.dwTypeData = label;
        item.cch = sizeof label;
        GetMenuItemInfoA(menu, i, TRUE, &item);
        if (item.fType & MFT_SEPARATOR) {
            text += "-";
            continue;
        }
        text += label;
        if (item.fState & MFS_CHECKED) text += "*";
        if (item.hSubMenu) text += ": [" + Describe(item.hSubMenu) + "]";
    }
    return text;
}

// The library folder the plug-in's "PluginPath" names for the test, with a file in it.
class PresetsTest : public EditorPage {
public:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "twphase-presets-test";
        CreateDirectoryA(folder_.c_str(), nullptr);
        file_ = folder_ + "\\" + presetfile::kLibraryFileName;
        DeleteFileA(file_.c_str());
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_LOCAL_MACHINE, presetfile::kClassKey, "PluginPath",
                                                 REG_SZ, folder_.c_str(), DWORD(folder_.size() + 1)));
        EditorPage::SetUp();
    }
    void TearDown() override {
        EditorPage::TearDown();
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, presetfile::kClassKey, "PluginPath");
        DeleteFileA(file_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    // Writes the library and reopens the page, which reads it.
    void WriteLibrary(const std::vector<Preset>& presets) {
        Close();
        const char* f = file_.c_str();
        WritePrivateProfileStringA(presetfile::kHeaderSection, presetfile::kPluginNameKey, "tw:Phase", f);
        WritePrivateProfileStringA(presetfile::kHeaderSection, presetfile::kClassKeyKey, presetfile::kClassKey, f);
        for (size_t i = 0; i < presets.size(); ++i) {
            const std::string section = "Preset" + std::to_string(i + 1);
            WritePrivateProfileStringA(section.c_str(), "Version", "3", f);
            WritePrivateProfileStringA(section.c_str(), "Name", presets[i].name, f);
            WritePrivateProfileStringA(section.c_str(), "Bank", presets[i].bank, f);
            WritePrivateProfileStringA(section.c_str(), "Data", presets[i].data, f);
        }
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, f);  // flush the cache
        Open();
    }
    std::string Read(const char* section, const char* key) {
        char value[256] = {};
        GetPrivateProfileStringA(section, key, "", value, sizeof value, file_.c_str());
        return value;
    }

    std::string folder_, file_;
};

// Fills in and confirms the add-preset dialog once it is open.
std::string g_addName, g_addBank;
void CALLBACK FillAddDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowA(nullptr, "Add tw:Phase preset");
    if (!dialog) return;
    KillTimer(nullptr, id);
    SetDlgItemTextA(dialog, 1511, g_addName.c_str());
    SetDlgItemTextA(dialog, 1513, g_addBank.c_str());
    PostMessageA(dialog, WM_COMMAND, g_addName == "(cancel)" ? IDCANCEL : IDOK, 0);
}

}  // namespace

TEST_F(PresetsTest, MenuGroupsPresetsByBankAndMarksTheCurrentOne) {
    CPresetManager manager(GetModuleHandleA(nullptr), window_, "tw:Phase");
    auto build = [&] {
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, kAddPresetCommand, "Add Preset...");
        AppendMenuA(menu, MF_STRING, kPresetManagerCommand, "Preset Manager...");
        manager.BuildPresetsMenu(menu);
        const std::string text = Describe(menu);
        DestroyMenu(menu);
        return text;
    };
    EXPECT_EQ("Add Preset..., Preset Manager...", build());

    const Preset presets[] = {{"Kick", "Drums", "1,2,3,0,1,0"}, {"Rock & Roll", "Add Preset...", "0,100,0,0,1,0"},
                              {"Snare", "drums", "4,5,6,0,1,0"}, {"Pad", "", "0,100,0,0,1,0"},
                              {"Lead", "Keys", "0,100,0,0,1,0"}};
    for (const Preset& p : presets) {
        auto record = std::make_unique<PresetRecord>();
        record->SetName(p.name);
        record->SetBank(p.bank);
        record->data = p.data;
        ASSERT_EQ(CPresetLibrary::AddResult::kAdded, manager.Library().AddPreset(std::move(record)));
    }
    manager.Library().SortLibrary();
    manager.Library().SetCurrentId(manager.Library().At(1)->id);
    // Banks that differ in case are one submenu under the spelling the library holds; a bank
    // named like a fixed item is still a bank; '&' is doubled so that it shows as itself.
    EXPECT_EQ(
        "Add Preset..., Update Preset: Kick..., Preset Manager..., -, "
        "Add Preset...: [Rock && Roll], Drums: [Kick*, Snare], Keys: [Lead], Pad",
        build());
}

TEST_F(PresetsTest, ChoosingAPresetAppliesItWithAnUndoPoint) {
    WriteLibrary({{"Wide", "", "10,200,-60,1,0,2"}, {"Narrow", "", "-20,50,0,0,1,0"}});
    SetAll(0, 100, 0, 0, 1, 0);
    Tick();
    // Add Preset..., Preset Manager..., then the presets in name order: Narrow, Wide.
    ChooseFromMenu(IDC_PRESETS, 4);
    EXPECT_EQ(std::vector<int>({10, 200, -60, 1, 0, 2}), Params());
    EXPECT_EQ("200", ItemText(IDC_WIDTH_EDIT));
    EXPECT_EQ("Precise", ItemText(IDC_FILTER));
    EXPECT_EQ(0, SendMessageA(Item(IDC_PRESETS), BTM_GETSTATE, 0, 0));
    Click(IDC_UNDO);
    EXPECT_EQ(std::vector<int>({0, 100, 0, 0, 1, 0}), Params());

    // The current preset survives closing the editor: the update item appears and "Wide" is
    // marked after reopening.
    Close();
    Open();
    EXPECT_NE(-1, prop_->GetPresetId());
}

TEST_F(PresetsTest, AddingAPresetStoresTheCurrentSettingsAndCancelWritesNothing) {
    WriteLibrary({{"Old", "Keys", "1,100,0,0,1,0"}});
    SetAll(-33, 150, -10, 2, 0, 2);
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    GetFileAttributesExA(file_.c_str(), GetFileExInfoStandard, &before);

    g_addName = "(cancel)";
    SetTimer(nullptr, 0, 50, FillAddDialog);
    ChooseFromMenu(IDC_PRESETS, 1);
    WIN32_FILE_ATTRIBUTE_DATA after = {};
    GetFileAttributesExA(file_.c_str(), GetFileExInfoStandard, &after);
    EXPECT_EQ(0, CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime))
        << "Cancel rewrote the library";

    g_addName = "  Wide encode  ";
    g_addBank = "Keys";
    SetTimer(nullptr, 0, 50, FillAddDialog);
    ChooseFromMenu(IDC_PRESETS, 1);
    // Banked presets sort before root ones; within Keys by name: "Old", "Wide encode".
    EXPECT_EQ("Wide encode", Read("Preset2", "Name"));
    EXPECT_EQ("Keys", Read("Preset2", "Bank"));
    EXPECT_EQ("-33,150,-10,2,0,2", Read("Preset2", "Data"));
    EXPECT_EQ("Old", Read("Preset1", "Name"));
}

TEST_F(PresetsTest, UpdatingTheCurrentPresetAsksAndStoresTheSettings) {
    WriteLibrary({{"Wide", "", "10,200,-60,1,0,1"}});
    ChooseFromMenu(IDC_PRESETS, 3);  // Add Preset..., Preset Manager..., Wide
    prop_->SetWidth(120, 0);
    for (int answer : {IDNO, IDYES}) {
        g_messageText.clear();
        g_messageAnswer = answer;
        SetTimer(nullptr, 0, 50, CloseMessageBox);
        ChooseFromMenu(IDC_PRESETS, 2);  // Add Preset..., Update Preset: Wide...
        EXPECT_EQ("Would you like to update the stored parameters for\nthe \"Wide\" preset with the "
                  "current settings?",
                  g_messageText);
        EXPECT_EQ(answer == IDYES ? "10,120,-60,1,0,1" : "10,200,-60,1,0,1", Read("Preset1", "Data"));
    }
    g_messageAnswer = IDOK;
}

namespace {

// Answers the next box of the preset code (an error or a question) with g_messageAnswer,
// keeping its text in g_messageText; other dialogs (the add dialog) are left alone.
void CALLBACK AnswerPresetMessage(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowA("#32770", "tw:Phase Preset Manager");
    if (!box || !IsWindowVisible(box)) return;
    KillTimer(nullptr, id);
    g_messageText.clear();
    EnumChildWindows(
        box,
        [](HWND child, LPARAM) CALLBACK -> BOOL {
            if (ClassOf(child) == "Static" && Text(child).size() > g_messageText.size())
                g_messageText = Text(child);
            return TRUE;
        },
        0);
    // The preset manager shares the caption: it is closed, leaving no question text.
    PostMessageA(box, WM_COMMAND, GetDlgItem(box, 1510) ? IDCANCEL : g_messageAnswer, 0);
}

}  // namespace

TEST_F(PresetsTest, UpdateAfterReopeningStoresIntoTheCurrentPresetAndNoOther) {
    WriteLibrary({{"Lead", "", "3,100,0,0,1,0"}, {"Pad", "", "4,100,0,0,1,0"}});
    auto add = [&](const char* name, const char* bank) {
        g_addName = name;
        g_addBank = bank;
        SetTimer(nullptr, 0, 50, FillAddDialog);
        ChooseFromMenu(IDC_PRESETS, 1);
    };
    // Closes and opens the editor, then chooses "Update Preset" and says Yes: returns the name
    // the question gives.
    auto updateAfterReopening = [&] {
        Close();
        Open();
        prop_->SetWidth(120, 0);
        g_messageText.clear();
        g_messageAnswer = IDYES;
        SetTimer(nullptr, 0, 50, AnswerPresetMessage);
        ChooseFromMenu(IDC_PRESETS, 2);  // Add Preset..., Update Preset: <current>...
        g_messageAnswer = IDOK;
        const size_t open = g_messageText.find('"'), close = g_messageText.rfind('"');
        return open < close ? g_messageText.substr(open + 1, close - open - 1) : g_messageText;
    };
    auto file = [&] {
        std::vector<std::string> presets;
        for (int n = 1; !Read(("Preset" + std::to_string(n)).c_str(), "Name").empty(); ++n)
            presets.push_back(Read(("Preset" + std::to_string(n)).c_str(), "Name") + "=" +
                              Read(("Preset" + std::to_string(n)).c_str(), "Data"));
        return presets;
    };

    // Added to a bank that sorts before the other presets, it is saved as the first preset.
    SetAll(5, 150, -10, 1, 0, 1);
    add("Wide & Loud", "Bass");
    EXPECT_EQ("Wide & Loud", updateAfterReopening());
    EXPECT_EQ((std::vector<std::string>{"Wide & Loud=5,120,-10,1,0,1", "Lead=3,100,0,0,1,0",
                                        "Pad=4,100,0,0,1,0"}),
              file());

    // A preset whose save failed stays with the plug-in when the editor closes, and the next
    // save that succeeds writes it.
    SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_READONLY);
    prop_->SetWidth(60, 0);
    SetTimer(nullptr, 0, 50, AnswerPresetMessage);
    add("Kept", "");
    EXPECT_EQ(0u, g_messageText.find("Unable to save the presets to ")) << g_messageText;
    SetFileAttributesA(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("Kept", updateAfterReopening());
    EXPECT_EQ((std::vector<std::string>{"Wide & Loud=5,120,-10,1,0,1", "Kept=5,120,-10,1,0,1",
                                        "Lead=3,100,0,0,1,0", "Pad=4,100,0,0,1,0"}),
              file());

    // A page given another plug-in leaves this one its current preset, found again later.
    ComPtr<IBaseFilter> other;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     other.PutVoid()));
    // Add Preset..., Update Preset: Kept..., Preset Manager..., Bass, Kept, Lead.
    ChooseFromMenu(IDC_PRESETS, 6);
    IUnknown* objects[] = {other.Get()};
    ASSERT_EQ(S_OK, page_->SetObjects(1, objects));
    EXPECT_EQ("Lead", updateAfterReopening());
}
