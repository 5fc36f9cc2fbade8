// Reading and writing preset files through an in-memory INI store: the section read and its
// stopping rules, whole and partial writes, the library load's header check, the import's
// duplicate question, and the file's safety: refused files, reads cut short, failed and
// interrupted writes, two editors on one file, and updates without data.
#include "presets/PresetLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
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

// The file's preset sections Preset1.. up to the first without Version, each as
// "Version|Name|Bank|Data" with "-" for a missing key, sorted: what a save must keep.
std::vector<std::string> SectionContents(CMemoryIniStore& store, const std::string& path) {
    std::vector<std::string> contents;
    for (int n = 1;; ++n) {
        const std::string section = "Preset" + std::to_string(n);
        std::string entry;
        for (const char* key : {"Version", "Name", "Bank", "Data"})
            entry += store.GetString(path, section.c_str(), key, "-", 99999) + "|";
        if (entry[0] == '-') break;
        contents.push_back(entry);
    }
    std::sort(contents.begin(), contents.end());
    return contents;
}

std::string Contents(const PresetRecord& record) {
    return std::to_string(static_cast<int>(record.version)) + "|" + record.name + "|" +
           record.bank + "|" + record.data + "|";
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
    // Written back as read, not as 4294967295.
    ASSERT_TRUE(library.SaveLibrary(presetfile::kClassKey, kPath));
    EXPECT_NE(std::string::npos, store.Text(kPath).find("Version=-1\n"));
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

TEST_F(PresetFileTest, ExportingOnePresetReplacesTheOldPresetsOfTheFile) {
    const std::string exportPath = "C:\\Exports\\Wide.ini";
    store.SetText(exportPath, "[Plug-in]\nPluginName=old\nCLSID=old\n[Other]\nKeep=yes\n" +
                                  FileOf(5).substr(kHeader.size()));
    AddRecord("Wide", "Mixing", "0,150,-120,0,1,0");
    ASSERT_TRUE(library.WritePresetFile(presetfile::kClassKey, exportPath, {library.At(0)}));

    // The user agreed to replace the file: none of its old presets may ride along.
    EXPECT_EQ(std::string("[Plug-in]\nPluginName=tw:Phase\nCLSID=") + presetfile::kClassKey +
                  "\n[Other]\nKeep=yes\n" + Section(1, "Wide", "Mixing", "0,150,-120,0,1,0"),
              store.Text(exportPath));

    // The import that follows checks the header against the library's class key.
    Load();
    ASSERT_EQ(CPresetLibrary::FileCheck::kAccepted, library.CheckPresetFile(exportPath, true));
    EXPECT_EQ(1, library.ReadPresets(exportPath, true).added);
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

TEST_F(PresetFileTest, ARefusedFileIsNeverWritten) {
    const std::string foreign =
        "[Plug-in]\nCLSID=SOFTWARE\\Classes\\CLSID\\{other}\n" + FileOf(3).substr(kHeader.size());
    const std::vector<std::pair<const char*, std::function<bool()>>> writes = {
        {"save", [&] { return library.SaveLibrary(presetfile::kClassKey, kPath, true); }},
        {"add",
         [&] {
             return library.AddPresetAndSave(NewPresetRecord("New", "", "1,1,1,1,1,1")) ==
                    CPresetLibrary::AddResult::kAdded;
         }},
        {"update",
         [&] {
             AddRecord("Mine", "", "1,1,1,1,1,1");
             return library.UpdatePresetAndSave(library.At(0)->id, "2,2,2,2,2,2") ==
                    CPresetLibrary::UpdateResult::kUpdated;
         }},
        {"export onto it",
         [&] {
             AddRecord("Mine", "", "1,1,1,1,1,1");
             return library.WritePresetFile(presetfile::kClassKey, kPath, {library.At(0)});
         }},
    };
    for (const auto& write : writes) {
        SCOPED_TRACE(write.first);
        // Refused at load, or turned foreign since: either way the file stays as it is.
        for (bool foreignAtLoad : {true, false}) {
            store.SetText(kPath, foreignAtLoad ? foreign : FileOf(1));
            Load();
            EXPECT_EQ(foreignAtLoad, library.LibraryFileRefused());
            store.SetText(kPath, foreign);
            EXPECT_FALSE(write.second());
            EXPECT_EQ(CPresetLibrary::SaveError::kRefusedFile, library.LastSaveError());
            EXPECT_EQ(foreign, store.Text(kPath));
        }
    }
}

TEST_F(PresetFileTest, AReadCutShortIsToldOnceAndSavesKeepTheUnreadSections) {
    const std::string broken = kHeader + Section(1, "kept", "", "1,1,1,1,1,1") +
                               "[Preset2]\nVersion=3\nName=nobank\nData=2,2,2,2,2,2\n" +
                               Section(3, "later", "X", "3,3,3,3,3,3");
    struct Case {
        const char* what;
        std::string file;
        const char* message;  // expected in the one message; null: no message
        int countAfterSave;   // presets a fresh load finds after delete one, add one, save
    };
    const Case cases[] = {
        {"missing key", broken, "its section \"Preset2\" has no \"Bank\" key", 1},
        {"over the cap", FileOf(CPresetLibrary::kMaxPresets + 2),
         "The section \"Preset1500\" and the ones after it were not read",
         CPresetLibrary::kMaxPresets},
        // Without our header nothing is read, silently; the sections stay and are read
        // once the save has written the header.
        {"untagged", "[Plug-in]\nPluginName=x\n" + FileOf(2).substr(kHeader.size()), nullptr, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store.SetText(kPath, c.file);
        messages.shown.clear();
        Load();
        ASSERT_EQ(c.message ? 1u : 0u, messages.shown.size());
        if (c.message) {
            EXPECT_NE(std::string::npos, messages.shown[0].text.find("\"" + kPath + "\""));
            EXPECT_NE(std::string::npos, messages.shown[0].text.find(c.message))
                << messages.shown[0].text;
        }

        // Whatever the file held stays, less the deleted preset and plus the added one.
        std::vector<std::string> expected = SectionContents(store, kPath);
        if (library.Count() > 0) {
            expected.erase(std::find(expected.begin(), expected.end(), Contents(*library.At(0))));
            library.DeletePreset(library.At(0));
        }
        AddRecord("Added", "", "9,9,9,9,9,9");
        expected.push_back(Contents(*library.At(library.Count() - 1)));
        std::sort(expected.begin(), expected.end());
        ASSERT_TRUE(library.SaveLibrary(presetfile::kClassKey, kPath));
        EXPECT_EQ(expected, SectionContents(store, kPath));

        CPresetLibrary reread(presetfile::kProductName, store, messages);
        reread.LoadPresetLibrary(presetfile::kClassKey, kPath);
        EXPECT_EQ(c.countAfterSave, reread.Count());
    }
}

TEST_F(PresetFileTest, AFailedSaveLeavesTheFileAndTheLibraryAsTheyWere) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string path;
        CPresetLibrary::SaveError error;
    };
    const Case cases[] = {
        {"no library file", [] {}, "", CPresetLibrary::SaveError::kNoFile},
        {"read-only file", [&] { store.readOnly.insert(kPath); }, kPath,
         CPresetLibrary::SaveError::kWriteFailed},
        {"unwritable folder", [&] { store.noTempFiles = true; }, kPath,
         CPresetLibrary::SaveError::kWriteFailed},
        {"disk full midway", [&] { store.writesLeft = 6; }, kPath,
         CPresetLibrary::SaveError::kWriteFailed},
    };
    for (const Case& c : cases) {
        for (bool whole : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (whole ? ", save" : ", export"));
            store = CMemoryIniStore();
            store.SetText(kPath, FileOf(3));
            Load(c.path);
            AddRecord("New", "", "1,1,1,1,1,1");
            c.arrange();
            EXPECT_FALSE(whole ? library.SaveLibrary(presetfile::kClassKey, c.path)
                               : library.WritePresetFile(presetfile::kClassKey, c.path,
                                                         {library.At(0)}));
            EXPECT_EQ(c.error, library.LastSaveError());
            EXPECT_EQ(FileOf(3), store.Text(kPath));
            EXPECT_EQ(std::vector<std::string>{kPath}, store.Paths());  // no temporary left
            EXPECT_EQ(c.path.empty() ? 1 : 4, library.Count());
            if (!c.path.empty()) {
                EXPECT_EQ(0u, library.SaveErrorText().find("Unable to save the presets to " + kPath));
            }
        }
    }
}

TEST_F(PresetFileTest, TwoEditorsKeepEachOthersPresets) {
    store.SetText(kPath, FileOf(1));
    CPresetLibrary other(presetfile::kProductName, store, messages);
    other.LoadPresetLibrary(presetfile::kClassKey, kPath);
    Load();
    // The file as "name=data" in library order.
    auto inFile = [&] {
        CPresetLibrary reader(presetfile::kProductName, store, messages);
        reader.LoadPresetLibrary(presetfile::kClassKey, kPath);
        std::string text;
        for (int32_t i = 0; i < reader.Count(); ++i)
            text += std::string(reader.At(i)->name) + "=" + reader.At(i)->data[0] + " ";
        return text;
    };

    // Add and Update read the file again when the other editor saved it, then apply their
    // one change, to the same preset under whatever identifier it has now.
    ASSERT_EQ(CPresetLibrary::AddResult::kAdded,
              other.AddPresetAndSave(NewPresetRecord("Theirs", "", "2,2,2,2,2,2")));
    EXPECT_TRUE(library.FileChangedSinceRead());
    ASSERT_EQ(CPresetLibrary::AddResult::kAdded,
              library.AddPresetAndSave(NewPresetRecord("Mine", "", "3,3,3,3,3,3")));
    EXPECT_FALSE(library.FileChangedSinceRead());
    EXPECT_STREQ("Mine", library.FindById(library.CurrentId())->name);
    ASSERT_EQ(CPresetLibrary::UpdateResult::kUpdated,
              other.UpdatePresetAndSave(other.At(1)->id, "4,4,4,4,4,4"));  // Theirs
    EXPECT_STREQ("Theirs", other.FindById(other.CurrentId())->name);
    EXPECT_EQ("Mine=3 P1=0 Theirs=4 ", inFile());

    // Updating a preset the other editor deleted brings it back with the new data.
    ASSERT_TRUE(other.DeletePreset(other.At(0)));  // Mine
    ASSERT_TRUE(other.SaveLibrary(presetfile::kClassKey, kPath));
    ASSERT_EQ(CPresetLibrary::UpdateResult::kUpdated,
              library.UpdatePresetAndSave(library.CurrentId(), "5,5,5,5,5,5"));
    EXPECT_EQ("Mine=5 P1=0 Theirs=4 ", inFile());

    // A whole save over the other editor's changes happens only when asked for.
    ASSERT_TRUE(other.DeletePreset(other.At(0)));
    ASSERT_TRUE(other.SaveLibrary(presetfile::kClassKey, kPath, true));
    const std::string changed = store.Text(kPath);
    EXPECT_FALSE(library.SaveLibrary(presetfile::kClassKey, kPath));
    EXPECT_EQ(CPresetLibrary::SaveError::kFileChanged, library.LastSaveError());
    EXPECT_EQ(changed, store.Text(kPath));
    EXPECT_TRUE(library.SaveLibrary(presetfile::kClassKey, kPath, true));
    EXPECT_EQ("Mine=5 P1=0 Theirs=4 ", inFile());
}

TEST_F(PresetFileTest, AddAndUpdateChangeNothingWithoutData) {
    store.SetText(kPath, kHeader + Section(1, "Old", "", "1,1,1,1,1,1", "7"));
    Load();
    const std::string file = store.Text(kPath);
    PresetRecord& old = *library.At(0);
    for (const char* data : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(CPresetLibrary::UpdateResult::kNoData, library.UpdatePresetAndSave(old.id, data));
        EXPECT_FALSE(old.ReplaceData(data));
        EXPECT_EQ(nullptr, NewPresetRecord("New", "", data));
        EXPECT_EQ(CPresetLibrary::AddResult::kNoData,
                  library.AddPreset(std::make_unique<PresetRecord>()));
    }
    EXPECT_EQ(CPresetLibrary::AddResult::kNoData, library.AddPresetAndSave(nullptr));
    EXPECT_EQ(1, library.Count());
    EXPECT_EQ("1,1,1,1,1,1", old.data);
    EXPECT_EQ(file, store.Text(kPath));

    // With data, the update takes version 3 and goes to the file; entered names are
    // normalised.
    ASSERT_EQ(CPresetLibrary::UpdateResult::kUpdated, library.UpdatePresetAndSave(old.id, "2,2,2,2,2,2"));
    EXPECT_EQ(kHeader + Section(1, "Old", "", "2,2,2,2,2,2"), store.Text(kPath));
    const std::unique_ptr<PresetRecord> entered = NewPresetRecord(" Pad ", " \"Drums\"", "1,1,1,1,1,1");
    EXPECT_STREQ("Pad", entered->name);
    EXPECT_STREQ("Drums", entered->bank);
}
