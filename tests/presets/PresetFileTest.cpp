// Reading and writing preset files through an in-memory INI store: the section read and its
// stopping rules, whole and partial writes, the library load's header check and the import's
// duplicate question.
#include "presets/PresetLibrary.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "presets/PresetFile.h"
#include "tests/presets/MemoryIniStore.h"

namespace {

const std::string kPath = "C:\\Plugins\\twPhaseDX.ini";
const std::string kHeader = std::string("[Plug-in]\nPluginName=tw:Phase\nCLSID=") +
                            presetfile::kClassKey + "\nDefaultPreset=1\n";

std::string Section(int number, const char* name, const char* bank, const char* data,
                    const char* version = "3") {
    return "[Preset" + std::to_string(number) + "]\nVersion=" + version + "\nName=" + name +
           "\nBank=" + bank + "\nData=" + data + "\n";
}

// A library file holding count presets named P1, P2, ... at the root.
std::string FileOf(int count) {
    std::string text = kHeader;
    for (int i = 1; i <= count; ++i)
        text += Section(i, ("P" + std::to_string(i)).c_str(), "", "0,100,0,0,1,0");
    return text;
}

class PresetFileTest : public ::testing::Test {
protected:
    void Load(const std::string& path = kPath) {
        library.LoadPresetLibrary(presetfile::kClassKey, path);
    }
    void AddRecord(const char* name, const char* bank, const char* data) {
        auto record = std::make_unique<PresetRecord>();
        record->SetName(name);
        record->SetBank(bank);
        record->data = data;
        ASSERT_EQ(CPresetLibrary::AddResult::kAdded, library.AddPreset(std::move(record)));
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int32_t i = 0; i < library.Count(); ++i) names.push_back(library.At(i)->name);
        return names;
    }

    CMemoryIniStore store;
    CScriptedMessages messages;
    CPresetLibrary library{presetfile::kProductName, store, messages};
};

}  // namespace

TEST_F(PresetFileTest, LoadNumbersPresetsInFileOrderAndSortsThem) {
    store.SetText(kPath, kHeader + Section(1, "Narrow", "", "0,50,-30,0,1,0") +
                             Section(2, "Wide", "Mixing", "0,150,0,0,1,0", "7"));
    Load();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(kPath, library.PresetFilePath());
    ASSERT_EQ(2, library.Count());
    const PresetRecord& wide = *library.At(0);  // banked first
    EXPECT_STREQ("Wide", wide.name);
    EXPECT_STREQ("Mixing", wide.bank);
    EXPECT_EQ("0,150,0,0,1,0", wide.data);
    EXPECT_EQ(7u, wide.version);  // carried as read
    EXPECT_EQ(3502, wide.id);
    EXPECT_STREQ("Narrow", library.At(1)->name);
    EXPECT_FALSE(library.At(1)->HasBank());
    EXPECT_EQ(3501, library.At(1)->id);
}

TEST_F(PresetFileTest, VersionIsReadLikeAtoi) {
    store.SetText(kPath, kHeader + Section(1, "a", "", "1,1,1,1,1,1", "abc") +
                             Section(2, "b", "", "1,1,1,1,1,1", "12xyz") +
                             Section(3, "c", "", "1,1,1,1,1,1", "-1"));
    library.ReadPresets(kPath, false);
    ASSERT_EQ(3, library.Count());
    EXPECT_EQ(0u, library.At(0)->version);
    EXPECT_EQ(12u, library.At(1)->version);
    EXPECT_EQ(0xFFFFFFFFu, library.At(2)->version);
}

TEST_F(PresetFileTest, AMissingKeyOrAGapEndsTheRead) {
    // Preset2 has no Bank key at all: it and everything after it are ignored.
    store.SetText(kPath, kHeader + Section(1, "kept", "", "1,1,1,1,1,1") +
                             "[Preset2]\nVersion=3\nName=nobank\nData=1,1,1,1,1,1\n" +
                             Section(3, "later", "", "1,1,1,1,1,1"));
    EXPECT_EQ(1, library.ReadPresets(kPath, false).added);
    EXPECT_EQ((std::vector<std::string>{"kept"}), Names());

    // Numbering must run without gaps from 1.
    library.DeleteAllPresets();
    store.SetText(kPath, kHeader + Section(1, "one", "", "1,1,1,1,1,1") +
                             Section(2, "two", "", "1,1,1,1,1,1") +
                             Section(4, "four", "", "1,1,1,1,1,1"));
    EXPECT_EQ(2, library.ReadPresets(kPath, false).added);

    // A value that literally reads KEY_NOT_FOUND counts as missing.
    library.DeleteAllPresets();
    store.SetText(kPath, kHeader + Section(1, "x", "", "KEY_NOT_FOUND"));
    EXPECT_EQ(0, library.ReadPresets(kPath, false).added);
}

TEST_F(PresetFileTest, ValuesAreCutToTheReadLimits) {
    const std::string longName(300, 'n');
    const std::string longData = "1,2,3,4,5,6" + std::string(5000, '0');
    store.SetText(kPath,
                  kHeader + Section(1, longName.c_str(), longName.c_str(), longData.c_str()));
    library.ReadPresets(kPath, false);
    ASSERT_EQ(1, library.Count());
    EXPECT_EQ(127u, std::string(library.At(0)->name).size());
    EXPECT_EQ(127u, std::string(library.At(0)->bank).size());
    EXPECT_EQ(4095u, library.At(0)->data.size());
}

TEST_F(PresetFileTest, SaveWritesTheHeaderThenThePresetsInLibraryOrder) {
    AddRecord("Narrow", "", "0,50,-30,0,1,0");
    AddRecord("Wide", "Mixing", "0,150,0,0,1,0");
    library.SortLibrary();
    library.SaveLibrary(presetfile::kClassKey, kPath);
    EXPECT_EQ(kHeader + Section(1, "Wide", "Mixing", "0,150,0,0,1,0") +
                  Section(2, "Narrow", "", "0,50,-30,0,1,0"),
              store.Text(kPath));

    // And reads back the same, negative Output included.
    CPresetLibrary reread(presetfile::kProductName, store, messages);
    reread.LoadPresetLibrary(presetfile::kClassKey, kPath);
    ASSERT_EQ(2, reread.Count());
    EXPECT_EQ("0,50,-30,0,1,0", reread.At(1)->data);
    EXPECT_FALSE(reread.At(1)->HasBank());
}

TEST_F(PresetFileTest, SaveRemovesOldPresetSectionsUpToTheFirstGapOnly) {
    store.SetText(kPath,
                  FileOf(5) + "[Other]\nKeep=yes\n" + Section(7, "beyond gap", "", "1,1,1,1,1,1"));
    AddRecord("a", "", "1,1,1,1,1,1");
    AddRecord("b", "", "1,1,1,1,1,1");
    AddRecord("c", "", "1,1,1,1,1,1");
    library.SaveLibrary(presetfile::kClassKey, kPath);
    EXPECT_EQ(kHeader + "[Other]\nKeep=yes\n" + Section(7, "beyond gap", "", "1,1,1,1,1,1") +
                  Section(1, "a", "", "1,1,1,1,1,1") + Section(2, "b", "", "1,1,1,1,1,1") +
                  Section(3, "c", "", "1,1,1,1,1,1"),
              store.Text(kPath));

    library.DeleteAllPresets();
    library.SaveLibrary(presetfile::kClassKey, kPath);
    EXPECT_EQ(kHeader + "[Other]\nKeep=yes\n" + Section(7, "beyond gap", "", "1,1,1,1,1,1"),
              store.Text(kPath));
}

TEST_F(PresetFileTest, ExportingOnePresetReplacesOnlyPreset1) {
    const std::string exportPath = "C:\\Exports\\Wide.ini";
    store.SetText(exportPath,
                  "[Plug-in]\nPluginName=old\nCLSID=old\n" + FileOf(5).substr(kHeader.size()));
    AddRecord("Wide", "Mixing", "0,150,-120,0,1,0");
    library.WritePresetFile(presetfile::kClassKey, exportPath, {library.At(0)});

    std::string expected = std::string("[Plug-in]\nPluginName=tw:Phase\nCLSID=") +
                           presetfile::kClassKey + "\n" +
                           Section(1, "Wide", "Mixing", "0,150,-120,0,1,0");
    for (int i = 2; i <= 5; ++i)
        expected += Section(i, ("P" + std::to_string(i)).c_str(), "", "0,100,0,0,1,0");
    EXPECT_EQ(expected, store.Text(exportPath));

    // The import that follows checks the header against the library's class key.
    Load();
    ASSERT_EQ(CPresetLibrary::FileCheck::kAccepted, library.CheckPresetFile(exportPath, true));
    EXPECT_EQ(5, library.ReadPresets(exportPath, true).added);
    EXPECT_EQ("0,150,-120,0,1,0", library.At(0)->data);
}

TEST_F(PresetFileTest, MissingOrUntaggedFilesLoadEmptyAndSilently) {
    Load();  // no such file
    EXPECT_EQ(0, library.Count());
    store.SetText(kPath, "[Plug-in]\nPluginName=tw:Phase\n" + FileOf(2).substr(kHeader.size()));
    Load();
    EXPECT_EQ(0, library.Count());
    store.SetText(kPath, "[Plug-in]\nCLSID=\n" + FileOf(2).substr(kHeader.size()));
    Load();
    EXPECT_EQ(0, library.Count());
    Load("");  // no library file located
    EXPECT_EQ(0, library.Count());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(store.Exists(""));
}

TEST_F(PresetFileTest, LoadAcceptsOurKeyInAnyCaseAndRefusesEveryOther) {
    std::string lower = presetfile::kClassKey;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    store.SetText(kPath, "[plug-IN]\nclsid=" + lower + "\n" + FileOf(2).substr(kHeader.size()));
    Load();
    EXPECT_EQ(2, library.Count());

    // The alternate key is for import only.
    library.SetAltClassKey(presetfile::kAltClassKey);
    store.SetText(kPath, std::string("[Plug-in]\nCLSID=") + presetfile::kAltClassKey + "\n" +
                             FileOf(2).substr(kHeader.size()));
    Load();
    EXPECT_EQ(0, library.Count());
    ASSERT_EQ(1u, messages.shown.size());
    EXPECT_FALSE(messages.shown[0].question);
    EXPECT_EQ(PresetMessageOwner::kNone, messages.shown[0].owner);
    EXPECT_EQ(
        "No presets could be loaded because the preset file\n\"C:\\Plugins\\twPhaseDX.ini\""
        "\ndoes not contain preset data compatible with this plug-in.",
        messages.shown[0].text);
    EXPECT_EQ(CPresetLibrary::FileCheck::kAccepted, library.CheckPresetFile(kPath, true));
    store.SetText(kPath, "[Plug-in]\nCLSID=SOFTWARE\\Classes\\CLSID\\{other}\n");
    EXPECT_EQ(CPresetLibrary::FileCheck::kForeign, library.CheckPresetFile(kPath, true));
}

TEST_F(PresetFileTest, ImportAsksAboutDuplicatesAndKeepsReading) {
    AddRecord("Wide", "Mixing", "0,150,0,0,1,0");
    AddRecord("Narrow", "", "0,50,-30,0,1,0");
    store.SetText(kPath, kHeader + Section(1, "WIDE", "mixing", "0,150,0,0,1,0") +
                             Section(2, "Fresh", "", "1,1,1,1,1,1") +
                             Section(3, "narrow", "", "0,50,-30,0,1,0"));
    messages.answers = {false, true};
    const CPresetLibrary::ReadSummary summary = library.ReadPresets(kPath, true);
    EXPECT_EQ(2, summary.added);
    EXPECT_EQ(1, summary.declined);
    // Appended at the end, unsorted, with new identifiers.
    EXPECT_EQ((std::vector<std::string>{"Wide", "Narrow", "Fresh", "narrow"}), Names());
    EXPECT_EQ(3504, library.At(3)->id);

    ASSERT_EQ(2u, messages.shown.size());
    EXPECT_TRUE(messages.shown[0].question);
    EXPECT_EQ(PresetMessageOwner::kManager, messages.shown[0].owner);
    EXPECT_EQ(
        "The preset \"WIDE\" you are importing already exists in the tw:Phase preset "
        "list.\nDo you want to add it anyway?",
        messages.shown[0].text);

    // Without the import flag nothing is asked.
    messages.shown.clear();
    library.ReadPresets(kPath, false);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(7, library.Count());
}

TEST_F(PresetFileTest, ReadingStopsWhenTheLibraryIsFull) {
    for (int i = 0; i < CPresetLibrary::kMaxPresets - 1; ++i) AddRecord("p", "", "0,100,0,0,1,0");
    store.SetText(kPath, FileOf(3));
    const CPresetLibrary::ReadSummary summary = library.ReadPresets(kPath, false);
    EXPECT_EQ(1, summary.added);
    EXPECT_TRUE(summary.libraryFull);
    EXPECT_EQ(CPresetLibrary::kMaxPresets, library.Count());
    EXPECT_STREQ("P1", library.At(library.Count() - 1)->name);
}
