// The preset shell under Wine: real INI files through the private-profile functions (their
// reported failures, the replace in one step, names as the reader returns them), the
// registry lookup of the library file, the manager loading and saving through both, and the
// dialogs' placement over their owner.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/PluginGuids.h"
#include "presets/PresetFile.h"
#include "presets/PresetText.h"
#include "presets/win/DialogPlacement.h"
#include "presets/win/PresetFileLocation.h"
#include "presets/win/PresetManager.h"
#include "presets/win/PrivateProfileStore.h"

namespace {

// A class key of the tests' own, so the plug-in's registration in the shared prefix is
// never touched.
const std::string kTestClassKey =
    "SOFTWARE\\Classes\\CLSID\\{5C0A1E7B-2D8F-4A61-9C3E-7B14F0D2A958}";

// Never shown: these tests do not reach a message.
class CNoMessages : public IPresetMessages {
public:
    void ShowError(PresetMessageOwner, const std::string& text) override {
        ADD_FAILURE() << "unexpected message: " << text;
    }
    bool AskYesNo(PresetMessageOwner, const std::string& text) override {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

// A fresh folder in the temporary directory, removed with its files afterwards.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
        folder = std::string(temp) + "twpresets-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\twPhaseDX.ini";
        DeleteFileA(path.c_str());
    }
    void TearDown() override {
        for (const std::string& name : FolderFiles()) {
            const std::string file = folder + "\\" + name;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
        RemoveDirectoryA(folder.c_str());
    }
    std::vector<std::string> FolderFiles() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }
    std::string FileText() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void AddRecord(CPresetLibrary& library, const char* name, const char* bank, const char* data) {
        auto record = std::make_unique<PresetRecord>();
        record->SetName(name);
        record->SetBank(bank);
        record->data = data;
        ASSERT_EQ(CPresetLibrary::AddResult::kAdded, library.AddPreset(std::move(record)));
    }

    std::string folder, path;
    CPrivateProfileStore store;
    CNoMessages messages;
};

// Sets and removes values under HKEY_LOCAL_MACHINE\kTestClassKey.
class LocateTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestClassKey.c_str()); }
    void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestClassKey.c_str()); }

    static void SetValue(const std::string& keyName, const char* valueName, const char* value,
                         DWORD type) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, valueName, 0, type, reinterpret_cast<const BYTE*>(value),
                                 static_cast<DWORD>(strlen(value) + 1)));
        RegCloseKey(key);
    }
    static void SetPluginPath(const char* folder, DWORD type = REG_SZ) {
        SetValue(kTestClassKey, "PluginPath", folder, type);
    }
    static void SetServer(const char* server, DWORD type = REG_SZ) {
        SetValue(kTestClassKey + "\\InprocServer32", nullptr, server, type);
    }
    static void RemovePluginPath() {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestClassKey.c_str(), 0, KEY_SET_VALUE, &key));
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "PluginPath"));
        RegCloseKey(key);
    }
    static std::string Locate() {
        return LocatePresetFile(kTestClassKey.c_str(), presetfile::kLibraryFileName);
    }
};

TEST(DialogPlacement, CentreOverParentKeepsTheSizeAndRaisesTheWindow) {
    std::vector<HWND> windows;
    const auto create = [&](DWORD style, int x, int y, int w, int h, HWND parent) {
        windows.push_back(CreateWindowExW(0, L"STATIC", L"", style, x, y, w, h, parent, nullptr,
                                          nullptr, nullptr));
        EXPECT_NE(windows.back(), nullptr);
        return windows.back();
    };
    const auto windowRect = [](HWND window) {
        RECT r;
        GetWindowRect(window, &r);
        return r;
    };
    HWND owner = create(WS_POPUP, 100, 100, 301, 201, nullptr);
    HWND dialog = create(WS_POPUP, 0, 0, 100, 50, owner);
    CentreOverParent(dialog);
    RECT r = windowRect(dialog);
    EXPECT_TRUE(r.left == 100 + (301 - 100) / 2 && r.top == 100 + (201 - 50) / 2);
    EXPECT_TRUE(r.right - r.left == 100 && r.bottom - r.top == 50);

    // A child window lands at the same screen position, given in its parent's coordinates.
    HWND parent = create(WS_POPUP | WS_BORDER, 300, 200, 200, 100, nullptr);
    HWND first = create(WS_CHILD, 0, 0, 20, 10, parent);
    create(WS_CHILD, 50, 50, 20, 10, parent);
    SetWindowPos(first, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    CentreOverParent(first);
    r = windowRect(first);
    EXPECT_TRUE(r.left == 300 + (200 - 20) / 2 && r.top == 200 + (100 - 10) / 2);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), first) << "not at the top of the Z order";
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) DestroyWindow(*it);
}

}  // namespace

TEST(PresetClassKeyTest, NamesThePlugInsClassIdentifier) {
    WCHAR wide[40];
    ASSERT_EQ(39, StringFromGUID2(CLSID_TwPhase, wide, 40));
    char text[40];
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    EXPECT_EQ(std::string("SOFTWARE\\Classes\\CLSID\\") + text, presetfile::kClassKey);
}

TEST_F(TempFolderTest, SavedLibraryHasTheDocumentedLayoutAndReadsBack) {
    CPresetLibrary library(presetfile::kProductName, store, messages);
    AddRecord(library, "Narrow", "", "0,50,-30,0,1,0");
    AddRecord(library, "Wide", "Mixing", "0,150,0,0,1,0");
    library.SortLibrary();
    library.SaveLibrary(presetfile::kClassKey, path);

    const std::string classLine = std::string("CLSID=") + presetfile::kClassKey;
    EXPECT_EQ(Lines({"[Plug-in]", "PluginName=tw:Phase", classLine.c_str(), "DefaultPreset=1",
                     "[Preset1]", "Version=3", "Name=Wide", "Bank=Mixing", "Data=0,150,0,0,1,0",
                     "[Preset2]", "Version=3", "Name=Narrow", "Bank=", "Data=0,50,-30,0,1,0"}),
              FileText());

    CPresetLibrary reread(presetfile::kProductName, store, messages);
    reread.LoadPresetLibrary(presetfile::kClassKey, path);
    ASSERT_EQ(2, reread.Count());
    EXPECT_STREQ("Wide", reread.At(0)->name);
    EXPECT_STREQ("Mixing", reread.At(0)->bank);
    EXPECT_EQ("0,150,0,0,1,0", reread.At(0)->data);
    EXPECT_EQ(3u, reread.At(0)->version);
    EXPECT_STREQ("Narrow", reread.At(1)->name);
    EXPECT_FALSE(reread.At(1)->HasBank());
    EXPECT_EQ("0,50,-30,0,1,0", reread.At(1)->data);
}

TEST_F(TempFolderTest, SavingFewerPresetsLeavesNoOldSectionsBehind) {
    CPresetLibrary library(presetfile::kProductName, store, messages);
    for (const char* name : {"a", "b", "c", "d", "e"}) AddRecord(library, name, "", "1,1,1,1,1,1");
    library.SaveLibrary(presetfile::kClassKey, path);
    library.DeletePreset(library.At(4));
    library.DeletePreset(library.At(3));
    library.SaveLibrary(presetfile::kClassKey, path);

    const std::string text = FileText();
    EXPECT_NE(std::string::npos, text.find("[Preset3]"));
    EXPECT_EQ(std::string::npos, text.find("[Preset4]"));
    EXPECT_EQ(std::string::npos, text.find("[Preset5]"));
    CPresetLibrary reread(presetfile::kProductName, store, messages);
    reread.LoadPresetLibrary(presetfile::kClassKey, path);
    EXPECT_EQ(3, reread.Count());

    library.DeleteAllPresets();
    library.SaveLibrary(presetfile::kClassKey, path);
    const std::string classLine = std::string("CLSID=") + presetfile::kClassKey;
    EXPECT_EQ(Lines({"[Plug-in]", "PluginName=tw:Phase", classLine.c_str(), "DefaultPreset=1"}),
              FileText());
}

TEST_F(TempFolderTest, StoreReadsDefaultsAndCutsLongValues) {
    EXPECT_EQ("KEY_NOT_FOUND", store.GetString(path, "Preset1", "Version", "KEY_NOT_FOUND", 15));
    store.WriteString(path, "Preset1", "Name", std::string(200, 'n').c_str());
    store.WriteString(path, "Preset1", "Bank", "");
    EXPECT_EQ(std::string(127, 'n'), store.GetString(path, "PRESET1", "name", "", 127));
    EXPECT_EQ("", store.GetString(path, "Preset1", "Bank", "KEY_NOT_FOUND", 127));
    store.DeleteSection(path, "preset1");
    EXPECT_EQ("gone", store.GetString(path, "Preset1", "Name", "gone", 127));
}

TEST_F(TempFolderTest, StoreReportsFailedWritesAndReplacesTheFileInOneStep) {
    const std::string unreachable = folder + "\\missing\\twPhaseDX.ini";
    EXPECT_FALSE(store.WriteString(unreachable, "Preset1", "Name", "x"));
    EXPECT_EQ("", store.CreateTempCopy(unreachable));
    EXPECT_FALSE(store.Stamp(path).exists);

    ASSERT_TRUE(store.WriteString(path, "Preset1", "Name", "old"));
    const PresetFileStamp before = store.Stamp(path);
    EXPECT_TRUE(before.exists);
    const std::string temp = store.CreateTempCopy(path);
    ASSERT_EQ(folder + "\\", temp.substr(0, folder.size() + 1));  // beside the file
    EXPECT_EQ("old", store.GetString(temp, "PRESET1", "name", "", 127));
    ASSERT_TRUE(store.WriteString(temp, "Preset1", "Name", "new"));
    EXPECT_EQ(before, store.Stamp(path));  // the file is untouched until the replace
    ASSERT_TRUE(store.MoveReplacing(temp, path));
    EXPECT_EQ("new", store.GetString(path, "Preset1", "Name", "", 127));
    EXPECT_NE(before, store.Stamp(path));
    EXPECT_EQ(std::vector<std::string>{"twPhaseDX.ini"}, FolderFiles());
}

TEST_F(TempFolderTest, AFailedSaveLeavesTheLibraryFileAsItWas) {
    CPresetLibrary library(presetfile::kProductName, store, messages);
    AddRecord(library, "Kept", "", "1,1,1,1,1,1");
    ASSERT_TRUE(library.SaveLibrary(presetfile::kClassKey, path));
    const std::string saved = FileText();
    library.LoadPresetLibrary(presetfile::kClassKey, path);
    AddRecord(library, "New", "", "2,2,2,2,2,2");

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(library.SaveLibrary(presetfile::kClassKey, path));
    EXPECT_EQ(CPresetLibrary::SaveError::kWriteFailed, library.LastSaveError());
    EXPECT_EQ(0u, library.SaveErrorText().find("Unable to save the presets to " + path));
    EXPECT_EQ(saved, FileText());
    EXPECT_EQ(std::vector<std::string>{"twPhaseDX.ini"}, FolderFiles());  // no temporary left
    EXPECT_FALSE(library.SaveLibrary(presetfile::kClassKey, folder + "\\missing\\x.ini"));
    EXPECT_EQ(2, library.Count());

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(library.SaveLibrary(presetfile::kClassKey, path));
}

TEST_F(TempFolderTest, EnteredNamesReadBackAsEntered) {
    // Each of these comes back changed when written as typed.
    const std::string longQuoted = "\"" + std::string(125, 'n') + "\"";
    for (const std::string typed : {"  Pad  ", "\"Loud\"", "'Soft'", "\" 'Both' \"", "\tTab\t",
                                    longQuoted.c_str()}) {
        ASSERT_TRUE(store.WriteString(path, "Preset1", "Name", typed.c_str()));
        EXPECT_NE(typed, store.GetString(path, "Preset1", "Name", "", 127));
        const std::string entered = NormalisePresetName(typed.c_str());
        ASSERT_TRUE(store.WriteString(path, "Preset1", "Name", entered.c_str()));
        EXPECT_EQ(entered, store.GetString(path, "Preset1", "Name", "", 127)) << typed;
    }
}

TEST_F(LocateTest, ExpandableValuesAreExpanded) {
    ASSERT_TRUE(SetEnvironmentVariableA("TWPRESETS_TEST_ROOT", "D:\\Shared"));
    SetServer("%TWPRESETS_TEST_ROOT%\\twPhaseDX.dll", REG_EXPAND_SZ);
    EXPECT_EQ("D:\\Shared\\twPhaseDX.ini", Locate());
    SetPluginPath("%TWPRESETS_TEST_ROOT%\\Presets", REG_EXPAND_SZ);
    EXPECT_EQ("D:\\Shared\\Presets\\twPhaseDX.ini", Locate());
}

TEST_F(LocateTest, PluginPathNamesTheFolder) {
    SetServer("C:\\Program Files\\Corvane\\twPhaseDX.dll");
    SetPluginPath("D:\\Presets");
    EXPECT_EQ("D:\\Presets\\twPhaseDX.ini", Locate());
    SetPluginPath("D:\\Presets\\");
    EXPECT_EQ("D:\\Presets\\twPhaseDX.ini", Locate());
    // An empty folder names no place, and the server path is not tried.
    SetPluginPath("");
    EXPECT_EQ("", Locate());
}

TEST_F(LocateTest, WithoutPluginPathTheFileSitsBesideTheServer) {
    EXPECT_EQ("", Locate());  // no class key at all
    SetPluginPath("D:\\Presets");
    RemovePluginPath();
    EXPECT_EQ("", Locate());  // class key without either value

    SetServer("C:\\Program Files\\Corvane\\twPhaseDX.DLL");
    EXPECT_EQ("C:\\Program Files\\Corvane\\twPhaseDX.ini", Locate());
    SetServer("C:\\Plug-ins\\twPhase.dll.bak");  // ".dll" anywhere will do
    EXPECT_EQ("C:\\Plug-ins\\twPhaseDX.ini", Locate());
    SetServer("C:\\Plug-ins\\twPhaseDX.ocx");
    EXPECT_EQ("", Locate());
    SetServer("twPhaseDX.dll");  // no folder to put the file in
    EXPECT_EQ("", Locate());
}

TEST_F(LocateTest, ManagerLoadsAndSavesTheLocatedLibrary) {
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    const std::string file = std::string(temp) + presetfile::kLibraryFileName;
    DeleteFileA(file.c_str());
    SetPluginPath(temp);
    CPrivateProfileStore store;
    store.WriteString(file, "Plug-in", "CLSID", kTestClassKey.c_str());
    store.WriteString(file, "Preset1", "Version", "3");
    store.WriteString(file, "Preset1", "Name", "Root");
    store.WriteString(file, "Preset1", "Bank", "");
    store.WriteString(file, "Preset1", "Data", "0,100,0,0,1,0");

    {
        CPresetManager manager(nullptr, nullptr, presetfile::kProductName);
        manager.LoadPresetLibrary(kTestClassKey.c_str(), presetfile::kLibraryFileName);
        EXPECT_EQ(file, manager.Library().PresetFilePath());
        ASSERT_EQ(1, manager.Library().Count());
        EXPECT_EQ(3501, manager.Library().At(0)->id);
        manager.Library().At(0)->SetBank("Now Banked");
        manager.SaveLibrary();
    }
    CPresetManager again(nullptr, nullptr, presetfile::kProductName);
    again.LoadPresetLibrary(kTestClassKey.c_str(), presetfile::kLibraryFileName);
    ASSERT_EQ(1, again.Library().Count());
    EXPECT_STREQ("Now Banked", again.Library().At(0)->bank);
    EXPECT_EQ("tw:Phase", store.GetString(file, "Plug-in", "PluginName", "", 127));
    DeleteFileA(file.c_str());
}
