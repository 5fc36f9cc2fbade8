// What one opening of the editor hands on to the next: the current preset stays the same preset
// whatever the saves in between did to the file's order, presets whose save failed come back
// until a save succeeds, and a bank keeps the spelling the library holds it under.
#include "presets/PresetSessions.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "presets/PresetFile.h"
#include "presets/PresetLibrary.h"
#include "tests/presets/MemoryIniStore.h"

namespace {

const std::string kPath = "C:\\Plugins\\twPhaseDX.ini";
const std::string kImportPath = "C:\\Shared\\import.ini";
const char kUpdated[] = "9,9,9,9,9,9";

// A preset file holding presets given as "Bank/Name=Data" or "Name=Data", in that order.
std::string FileText(const std::vector<std::string>& presets) {
    std::string text =
        std::string("[Plug-in]\nPluginName=tw:Phase\nCLSID=") + presetfile::kClassKey + "\n";
    for (size_t i = 0; i < presets.size(); ++i) {
        const std::string& p = presets[i];
        const size_t slash = p.find('/'), eq = p.find('=');
        const size_t nameAt = slash < eq ? slash + 1 : 0;
        text += "[Preset" + std::to_string(i + 1) +
                "]\nVersion=3\nName=" + p.substr(nameAt, eq - nameAt) +
                "\nBank=" + (nameAt ? p.substr(0, slash) : "") + "\nData=" + p.substr(eq + 1) +
                "\n";
    }
    return text;
}

// The library as the product saves it: sorted, banked presets first.
const std::vector<std::string> kLibrary = {"Drums/Kick=1,100,0,0,1,0", "Keys/Organ=2,100,0,0,1,0",
                                           "Lead=3,100,0,0,1,0", "Pad=4,100,0,0,1,0"};

// Two plug-in objects, told apart by address as the editor page tells them; an editor is
// opened for one of them.
int g_firstPlugIn = 1, g_secondPlugIn = 2;

class SessionsTest : public ::testing::Test {
public:
    void Start(const std::vector<std::string>& presets = kLibrary) {
        store = CMemoryIniStore();
        store.SetText(kPath, FileText(presets));
        sessions = std::make_unique<CPresetSessions>();
        kept.clear();
    }
    // The editor page's opening and closing for a plug-in object.
    void Open(const void* plugin = &g_firstPlugIn) {
        library = std::make_unique<CPresetLibrary>(presetfile::kProductName, store, messages);
        library->LoadPresetLibrary(presetfile::kClassKey, kPath);
        sessions->TakeUnsaved(*library);
        const int32_t keptId = kept.count(plugin) ? kept[plugin] : CPresetLibrary::kNoPreset;
        library->SetCurrentId(sessions->FindCurrent(plugin, keptId, *library));
        openFor = plugin;
    }
    void Close() {
        kept[openFor] = sessions->KeepCurrent(openFor, *library);
        sessions->KeepUnsaved(*library);
        library.reset();
    }
    // One opening of the editor of plugin that does change.
    void Edit(const std::function<void(CPresetLibrary&)>& change,
              const void* plugin = &g_firstPlugIn) {
        Open(plugin);
        change(*library);
        Close();
    }
    // One opening of the preset manager that does change and saves.
    void Manage(const std::function<void(CPresetLibrary&)>& change,
                const void* plugin = &g_firstPlugIn) {
        Edit(
            [&](CPresetLibrary& l) {
                ASSERT_TRUE(l.BeginEditing());
                change(l);
                l.SortLibrary();
                ASSERT_TRUE(l.SaveLibrary(presetfile::kClassKey, kPath));
                l.EndEditing();
            },
            plugin);
    }
    PresetRecord* Named(const char* name) const {
        for (int32_t i = 0; i < library->Count(); ++i)
            if (std::string(library->At(i)->name) == name) return library->At(i);
        return nullptr;
    }
    std::string CurrentName() const {
        const PresetRecord* current = library->FindById(library->CurrentId());
        return current ? current->name : "(none)";
    }
    // The file's presets in file order, as FileText takes them.
    std::vector<std::string> FilePresets() {
        std::vector<std::string> presets;
        for (int n = 1;; ++n) {
            const std::string s = "Preset" + std::to_string(n);
            auto get = [&](const char* key) {
                return store.GetString(kPath, s.c_str(), key, "-", 999);
            };
            if (get("Version") == "-") return presets;
            presets.push_back((get("Bank").empty() ? "" : get("Bank") + "/") + get("Name") + "=" +
                              get("Data"));
        }
    }

    CMemoryIniStore store;
    CScriptedMessages messages;
    std::unique_ptr<CPresetSessions> sessions;
    std::unique_ptr<CPresetLibrary> library;
    std::map<const void*, int32_t> kept;
    const void* openFor = nullptr;
};

std::unique_ptr<PresetRecord> New(const char* name, const char* bank, const char* data) {
    return NewPresetRecord(name, bank, data);
}

}  // namespace

TEST_F(SessionsTest, TheCurrentPresetStaysTheSamePresetAcrossSavesAndReopenings) {
    using Library = CPresetLibrary;
    // clang-format off
    const struct {
        const char* what;
        const char* current;  // after reopening; "(none)" when it is gone
        std::function<void(SessionsTest&)> change;
    } cases[] = {
        {"add to a bank that sorts first", "Wide & Loud", [](SessionsTest& t) {
             t.Edit([](Library& l) {
                 l.AddPresetAndSave(New("Wide & Loud", "Bass", "5,5,5,5,5,5"));
             });
         }},
        {"update", "Lead", [](SessionsTest& t) {
             t.Edit([](Library& l) { l.UpdatePresetAndSave(l.CurrentId(), "6,6,6,6,6,6"); });
         }},
        {"rename", "Zed", [](SessionsTest& t) {
             t.Manage([&](Library&) { t.Named("Lead")->SetName("Zed"); });
         }},
        {"delete an earlier preset", "Lead", [](SessionsTest& t) {
             t.Manage([&](Library& l) { l.DeletePreset(t.Named("Kick")); });
         }},
        {"move into a bank", "Lead", [](SessionsTest& t) {
             t.Manage([&](Library&) { t.Named("Lead")->SetBank("Drums"); });
         }},
        {"import presets that sort first", "Lead", [](SessionsTest& t) {
             t.store.SetText(kImportPath,
                             FileText({"Bass/Sub=7,100,0,0,1,0", "Bass/Deep=8,100,0,0,1,0"}));
             t.Manage([](Library& l) { l.ReadPresets(kImportPath, true); });
         }},
        {"another plug-in's editor adds a preset that sorts first", "Lead", [](SessionsTest& t) {
             t.Edit([](Library& l) { l.AddPresetAndSave(New("Sub", "Bass", "7,100,0,0,1,0")); },
                    &g_secondPlugIn);
         }},
        {"delete it", "(none)", [](SessionsTest& t) {
             t.Manage([&](Library& l) { l.DeletePreset(t.Named("Lead")); });
         }},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start();
        Edit([&](CPresetLibrary& l) { l.SetCurrentId(Named("Lead")->id); });
        c.change(*this);
        Open();
        EXPECT_EQ(c.current, CurrentName());

        // "Update Preset" changes that preset and no other.
        std::vector<std::string> expected = FilePresets();
        const std::string name = c.current;
        for (std::string& p : expected) {
            const size_t at = p.find('/') + 1, eq = p.find('=');
            if (p.substr(at, eq - at) == name) p = p.substr(0, eq + 1) + kUpdated;
        }
        library->UpdatePresetAndSave(library->CurrentId(), kUpdated);
        EXPECT_EQ(expected, FilePresets());
        Close();
    }
}

TEST_F(SessionsTest, PresetsWhoseSaveFailedStayUntilASaveSucceeds) {
    // The failing saves: true when the save failed.
    const auto add = [](CPresetLibrary& l) {
        return l.AddPresetAndSave(New("New", "Keys", "7,7,7,7,7,7")) ==
               CPresetLibrary::AddResult::kSaveFailed;
    };
    const auto update = [](CPresetLibrary& l) {
        return l.UpdatePresetAndSave(l.CurrentId(), "7,7,7,7,7,7") ==
               CPresetLibrary::UpdateResult::kSaveFailed;
    };
    const auto nothing = [](CPresetLibrary&) {};
    // clang-format off
    const struct {
        const char* what;
        std::function<bool(CPresetLibrary&)> fail;
        std::function<void(CPresetLibrary&)> otherEditor;  // saves the file meanwhile
        const char* current;
        std::vector<std::string> fileAfterNextSave;
    } cases[] = {
        {"add", add, nothing, "New",
         {"Drums/Kick=1,100,0,0,1,0", "Keys/New=7,7,7,7,7,7", "Keys/Organ=2,100,0,0,1,0",
          "Lead=3,100,0,0,1,0", "Next=8,8,8,8,8,8", "Pad=4,100,0,0,1,0"}},
        {"update", update, nothing, "Lead",
         {"Drums/Kick=1,100,0,0,1,0", "Keys/Organ=2,100,0,0,1,0", "Lead=7,7,7,7,7,7",
          "Next=8,8,8,8,8,8", "Pad=4,100,0,0,1,0"}},
        {"add, while another editor adds", add,
         [](CPresetLibrary& l) { l.AddPresetAndSave(New("Theirs", "", "6,6,6,6,6,6")); }, "New",
         {"Drums/Kick=1,100,0,0,1,0", "Keys/New=7,7,7,7,7,7", "Keys/Organ=2,100,0,0,1,0",
          "Lead=3,100,0,0,1,0", "Next=8,8,8,8,8,8", "Pad=4,100,0,0,1,0", "Theirs=6,6,6,6,6,6"}},
        {"update, while another editor deletes that preset", update,
         [](CPresetLibrary& l) {
             l.DeletePreset(l.At(2));  // Lead
             l.SaveLibrary(presetfile::kClassKey, kPath);
         }, "Lead",
         {"Drums/Kick=1,100,0,0,1,0", "Keys/Organ=2,100,0,0,1,0", "Lead=7,7,7,7,7,7",
          "Next=8,8,8,8,8,8", "Pad=4,100,0,0,1,0"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        for (bool reopen : {false, true}) {
            SCOPED_TRACE(std::string(c.what) +
                         (reopen ? ", editor reopened" : ", editor kept open"));
            Start();
            Edit([&](CPresetLibrary& l) { l.SetCurrentId(Named("Lead")->id); });
            Open();
            store.readOnly.insert(kPath);
            EXPECT_TRUE(c.fail(*library));
            store.readOnly.clear();
            CPresetLibrary other(presetfile::kProductName, store, messages);
            other.LoadPresetLibrary(presetfile::kClassKey, kPath);
            c.otherEditor(other);
            if (reopen) {
                Close();
                Open();
            }
            EXPECT_EQ(c.current, CurrentName());
            // The next successful save writes them, once.
            ASSERT_EQ(CPresetLibrary::AddResult::kAdded,
                      library->AddPresetAndSave(New("Next", "", "8,8,8,8,8,8")));
            EXPECT_EQ(c.fileAfterNextSave, FilePresets());
            EXPECT_TRUE(library->UnsavedPresets().empty());
            Close();
            Open();
            EXPECT_EQ(c.fileAfterNextSave.size(), static_cast<size_t>(library->Count()));
            Close();
        }
    }
}

TEST_F(SessionsTest, ABankKeepsTheSpellingTheLibraryHoldsItUnder) {
    Start({"Keys/Organ=2,100,0,0,1,0", "keys/Lead=3,100,0,0,1,0"});
    store.SetText(kImportPath, FileText({"KEYS/Pad=4,100,0,0,1,0"}));
    Open();
    ASSERT_EQ(CPresetLibrary::AddResult::kAdded,
              library->AddPresetAndSave(New("Piano", "kEYs", "5,5,5,5,5,5")));
    library->ReadPresets(kImportPath, true);
    library->SortLibrary();
    for (int32_t i = 0; i < library->Count(); ++i)
        EXPECT_STREQ("Keys", library->At(i)->bank) << library->At(i)->name;
    EXPECT_EQ("Keys", library->BankSpelling("KEYS"));
    EXPECT_EQ("Drums", library->BankSpelling("Drums"));
    Close();
}
