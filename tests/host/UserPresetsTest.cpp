// Finding a preset of a library by "Name" or "Bank/Name", and the printed list.
#include <gtest/gtest.h>

#include <memory>

#include "host/cli/UserPresets.h"
#include "presets/PresetLibrary.h"
#include "tests/presets/MemoryIniStore.h"

namespace {

class UserPresets : public ::testing::Test {
protected:
    void Add(const char* bank, const char* name, const char* data) {
        auto record = std::make_unique<PresetRecord>();
        record->SetBank(bank);
        record->SetName(name);
        record->data = data;
        ASSERT_EQ(CPresetLibrary::AddResult::kAdded, library.AddPreset(std::move(record)));
    }
    std::string Find(const std::string& query) {
        std::string error;
        const PresetRecord* record = FindUserPreset(library, query, &error);
        return record ? PresetPath(*record) : "error: " + error;
    }

    CMemoryIniStore store;
    CScriptedMessages messages;
    CPresetLibrary library{"tw:Phase", store, messages};
};

TEST_F(UserPresets, FoundByNameOrBankAndNameWithAmbiguityListed) {
    Add("Drums", "Kick", "1,100,0,0,1,0");
    Add("Keys", "Kick", "2,100,0,0,1,0");
    Add("", "Pad", "3,100,0,0,1,0");
    Add("Keys", "Pad", "4,100,0,0,1,0");
    Add("A/B", "C", "5,100,0,0,1,0");
    Add("A", "B/C", "6,100,0,0,1,0");
    Add("Keys", "Lead", "7,100,0,0,1,0");
    const struct {
        const char* query;
        const char* found;
    } cases[] = {
        {"drums/KICK", "Drums/Kick"},
        {"Pad", "Pad"},  // the root preset is the exact match
        {"Keys/Pad", "Keys/Pad"},
        {"Lead", "Keys/Lead"},  // a plain name finds a banked preset too
        {"Kick", "error: the preset name \"Kick\" is ambiguous: \"Drums/Kick\", \"Keys/Kick\""},
        {"A/B/C", "error: the preset name \"A/B/C\" is ambiguous: \"A/B/C\", \"A/B/C\""},
        {"Nothing", "error: no preset \"Nothing\""},
        {"Drums/Pad", "error: no preset \"Drums/Pad\""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.found, Find(c.query)) << c.query;
}

TEST_F(UserPresets, ListedAsTheOptionsThatSetThem) {
    Add("Drums", "Kick", "10,200,-60,1,0,1");
    Add("", "Silent", "-180,0,-361,3,1,0");
    Add("", "Odd", "1,2,3,9,7,5");
    Add("", "Broken", "1,2");
    EXPECT_EQ("Drums/Kick: --phase 10 --width 200 --output -6.0 --mode ms --meter pre --filter fir\n"
              "Silent: --phase -180 --width 0 --output -inf --mode sc --meter post --filter iir\n"
              "Odd: --phase 1 --width 2 --output 0.3 --mode 9 --meter 7 --filter 5\n"
              "Broken: unreadable data \"1,2\"\n",
              FormatPresetList(library));
}

}  // namespace
