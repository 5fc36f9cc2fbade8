// The preset shell under Wine: real INI files through the private-profile functions, the
// registry lookup of the library file, and the manager loading and saving through both.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "plugin/PluginGuids.h"
#include "presets/PresetFile.h"
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
        DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
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

    static void SetValue(const std::string& keyName, const char* valueName, const char* value) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                 static_cast<DWORD>(strlen(value) + 1)));
        RegCloseKey(key);
    }
    static void SetPluginPath(const char* folder) { SetValue(kTestClassKey, "PluginPath", folder); }
    static void SetServer(const char* server) {
        SetValue(kTestClassKey + "\\InprocServer32", nullptr, server);
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
