// The preset library in memory: list storage, the data text, identifiers and the cap,
// sorting, the duplicate test, the backup of an editing session, and the texts made from
// names.
#include "presets/PresetLibrary.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "presets/PresetData.h"
#include "presets/PresetText.h"
#include "tests/presets/MemoryIniStore.h"

namespace {

std::unique_ptr<PresetRecord> Record(const char* name, const char* bank = "",
                                     const char* data = "0,100,0,0,1,0") {
    auto record = std::make_unique<PresetRecord>();
    record->SetName(name);
    record->SetBank(bank);
    record->data = data;
    return record;
}

class LibraryTest : public ::testing::Test {
protected:
    PresetRecord* Add(const char* name, const char* bank = "", const char* data = "0,100,0,0,1,0") {
        EXPECT_EQ(CPresetLibrary::AddResult::kAdded, library.AddPreset(Record(name, bank, data)));
        return library.At(library.Count() - 1);
    }
    // "name/bank" for each record in library order.
    std::vector<std::string> Order() const {
        std::vector<std::string> order;
        for (int32_t i = 0; i < library.Count(); ++i)
            order.push_back(std::string(library.At(i)->name) + "/" + library.At(i)->bank);
        return order;
    }

    CMemoryIniStore store;
    CScriptedMessages messages;
    CPresetLibrary library{"tw:Phase", store, messages};
};

}  // namespace

TEST(PresetListTest, GrowsToExactlyTheStoredIndexAndRemovesWithoutFreeing) {
    CPresetList list;
    PresetRecord a, b, c;
    ASSERT_EQ(tw::kOk, list.Append(&a));
    ASSERT_EQ(tw::kOk, list.Append(&b));
    EXPECT_EQ(2, list.Capacity());

    // Storing past the end skips slots, which read as null.
    ASSERT_EQ(tw::kOk, list.SetAt(4, &c));
    EXPECT_EQ(5, list.Count());
    EXPECT_EQ(5, list.Capacity());
    EXPECT_EQ(nullptr, list.At(2));
    EXPECT_EQ(&c, list.At(4));
    EXPECT_EQ(nullptr, list.At(5));
    EXPECT_EQ(tw::kErrInvalidArg, list.SetAt(-1, &a));

    // Only the first slot holding the record goes; the slots stay allocated.
    ASSERT_EQ(tw::kOk, list.SetAt(3, &a));
    EXPECT_TRUE(list.Remove(&a));
    EXPECT_EQ(4, list.Count());
    EXPECT_EQ(&b, list.At(0));
    EXPECT_EQ(&a, list.At(2));
    EXPECT_EQ(&c, list.At(3));
    EXPECT_EQ(5, list.Capacity());
    EXPECT_TRUE(list.Remove(&a));
    EXPECT_FALSE(list.Remove(&a));
    EXPECT_EQ(3, list.Count());
}

TEST(PresetCompareTest, FoldsOnlyAsciiLettersToLowerCase) {
    EXPECT_EQ(0, AsciiCompareNoCase("Mixing Bank", "mIXING bANK"));
    // Folding to lower case puts '_' (0x5F) before letters, as _stricmp does.
    EXPECT_GT(AsciiCompareNoCase("A", "_"), 0);
    EXPECT_LT(AsciiCompareNoCase("ab", "abc"), 0);
    // Bytes above 127 compare by unsigned value and are not folded.
    EXPECT_GT(AsciiCompareNoCase("\xC4", "z"), 0);
    EXPECT_NE(0, AsciiCompareNoCase("\xC4", "\xE4"));
}

TEST(PresetDataTest, FormatsAndReadsTheSixValues) {
    EXPECT_EQ("0,100,0,0,1,0", FormatPresetData(kDefaultParams));
    const ParamValues odd = {{-180, 0, -361, 3, 0, 1}};
    EXPECT_EQ("-180,0,-361,3,0,1", FormatPresetData(odd));
    // Extreme values are written and read back whole; clamping is the engine's.
    const ParamValues extreme = {{INT32_MIN, INT32_MAX, -120, 7, -1, 2}};
    ParamValues read = kDefaultParams;
    EXPECT_EQ(6, ParsePresetData(FormatPresetData(extreme).c_str(), &read));
    EXPECT_EQ(extreme, read);
}

TEST(PresetDataTest, MalformedTextChangesOnlyItsReadableLeadingFields) {
    ParamValues values = kDefaultParams;
    EXPECT_EQ(2, ParsePresetData("45,150,abc,1,1,1", &values));
    EXPECT_EQ((ParamValues{{45, 150, 0, 0, 1, 0}}), values);

    values = kDefaultParams;
    EXPECT_EQ(0, ParsePresetData("", &values));
    EXPECT_EQ(0, ParsePresetData("abc", &values));
    EXPECT_EQ(0, ParsePresetData(nullptr, &values));
    EXPECT_EQ(kDefaultParams, values);

    // As with the scanf format: blanks may precede a number, but not a comma.
    EXPECT_EQ(3, ParsePresetData(" 1, 2,+3 ,4,5,6", &values));
    EXPECT_EQ((ParamValues{{1, 2, 3, 0, 1, 0}}), values);
    // Text after the sixth field is ignored; huge numbers hold at the 32-bit range.
    EXPECT_EQ(6, ParsePresetData("1,2,3,4,5,6,7", &values));
    EXPECT_EQ(6, ParsePresetData("99999999999,-99999999999,0,0,0,0", &values));
    EXPECT_EQ(INT32_MAX, values[0]);
    EXPECT_EQ(INT32_MIN, values[1]);
}

TEST_F(LibraryTest, IdentifiersFollowTheHighestAndAreReissuedAfterItIsDeleted) {
    EXPECT_EQ(3501, library.NextPresetId());
    PresetRecord* first = Add("one");
    PresetRecord* second = Add("two");
    PresetRecord* third = Add("three");
    EXPECT_EQ(3501, first->id);
    EXPECT_EQ(3502, second->id);
    EXPECT_EQ(3503, third->id);

    EXPECT_TRUE(library.DeletePreset(third));
    EXPECT_EQ(3503, Add("four")->id);
    // A gap below the highest is not filled.
    EXPECT_TRUE(library.DeletePreset(first));
    EXPECT_EQ(3504, Add("five")->id);
    EXPECT_EQ(second, library.FindById(3502));
    EXPECT_EQ(nullptr, library.FindById(3501));
    EXPECT_FALSE(library.DeletePreset(nullptr));
}

TEST_F(LibraryTest, IdentifiersStayBelowTheFixedCommandsAndAFullLibraryRefusesAdds) {
    for (int i = 0; i < CPresetLibrary::kMaxPresets; ++i) Add("p");
    EXPECT_EQ(4999, library.At(library.Count() - 1)->id);
    EXPECT_EQ(CPresetLibrary::kNoPreset, library.NextPresetId());
    EXPECT_EQ(CPresetLibrary::AddResult::kLibraryFull, library.AddPreset(Record("extra")));
    EXPECT_EQ(CPresetLibrary::kMaxPresets, library.Count());

    // With 4999 taken, a freed identifier further down is issued instead of 5000.
    library.DeletePreset(library.FindById(3600));
    EXPECT_EQ(3600, library.NextPresetId());
    EXPECT_EQ(3600, Add("again")->id);
    library.DeleteAllPresets();
    EXPECT_EQ(3501, library.NextPresetId());
}

TEST_F(LibraryTest, SortPutsBanksFirstTreatsCaseAsOneBankAndRootPresetsLast) {
    Add("b", "X");
    Add("A");
    Add("a", "x");
    Add("C", "Y");
    library.SortLibrary();
    // "x" joined bank X under the spelling the library held it under.
    EXPECT_EQ((std::vector<std::string>{"a/X", "b/X", "C/Y", "A/"}), Order());
}

TEST_F(LibraryTest, SortIsStableAndPutsEmptyNamesLast) {
    PresetRecord* early = Add("Same", "Bank", "1,1,1,1,1,1");
    Add("", "Bank");
    PresetRecord* late = Add("same", "bank", "2,2,2,2,2,2");
    Add("Alpha", "Bank");
    Add("");
    Add("Zed");
    library.SortLibrary();
    EXPECT_EQ(
        (std::vector<std::string>{"Alpha/Bank", "Same/Bank", "same/Bank", "/Bank", "Zed/", "/"}),
        Order());
    EXPECT_EQ(early, library.At(1));
    EXPECT_EQ(late, library.At(2));
}

TEST_F(LibraryTest, DuplicateNeedsNameBankAndDataEqualIgnoringCase) {
    Add("Wide", "Mixing", "0,150,0,0,1,0");
    EXPECT_TRUE(library.IsDuplicate(*Record("WIDE", "mixing", "0,150,0,0,1,0")));
    EXPECT_FALSE(library.IsDuplicate(*Record("Wide", "", "0,150,0,0,1,0")));
    EXPECT_FALSE(library.IsDuplicate(*Record("Wide", "Mixing", "0,150,0,0,1,1")));
    EXPECT_FALSE(library.IsDuplicate(*Record("Wider", "Mixing", "0,150,0,0,1,0")));
}

TEST_F(LibraryTest, RestoreBackupReturnsToTheLibraryAsItWasWhenEditingBegan) {
    PresetRecord* kept = Add("Keep", "Bank", "1,2,3,0,1,0");
    Add("Gone");
    ASSERT_TRUE(library.BeginEditing());
    // The working library is now a copy with the same identifiers.
    ASSERT_EQ(2, library.Count());
    EXPECT_NE(kept, library.At(0));
    EXPECT_EQ(kept->id, library.At(0)->id);
    EXPECT_EQ("1,2,3,0,1,0", library.At(0)->data);

    library.At(0)->SetName("Edited");
    library.At(0)->data = "9,9,9,9,9,9";
    library.DeletePreset(library.At(1));
    Add("New");
    library.RestoreBackup();
    EXPECT_EQ((std::vector<std::string>{"Keep/Bank", "Gone/"}), Order());
    EXPECT_EQ(kept, library.At(0));
    EXPECT_EQ("1,2,3,0,1,0", kept->data);

    // A second session frees the edited copies held as backup; the sanitizer sees any leak.
    ASSERT_TRUE(library.BeginEditing());
    library.At(1)->SetName("Changed");
    EXPECT_EQ((std::vector<std::string>{"Keep/Bank", "Changed/"}), Order());
}

TEST_F(LibraryTest, BackupNeedsAnOpenSessionAndCarriesTheCurrentPreset) {
    Add("a");
    const int32_t current = Add("b")->id;
    library.RestoreBackup();  // no session: there is nothing to swap in
    EXPECT_EQ(2, library.Count());

    library.SetCurrentId(current);
    ASSERT_TRUE(library.BeginEditing());
    library.DeletePreset(library.FindById(current));
    EXPECT_EQ(CPresetLibrary::kNoPreset, library.CurrentId());  // it names nothing now
    EXPECT_EQ(current, Add("c")->id);  // the identifier is issued again
    library.RestoreBackup();
    EXPECT_EQ(current, library.CurrentId());
    EXPECT_STREQ("b", library.FindById(current)->name);
    library.RestoreBackup();  // the session is over: the edits do not come back
    EXPECT_EQ((std::vector<std::string>{"a/", "b/"}), Order());

    // A session closed by EndEditing keeps its edits.
    ASSERT_TRUE(library.BeginEditing());
    library.DeleteAllPresets();
    EXPECT_EQ(CPresetLibrary::kNoPreset, library.CurrentId());
    library.EndEditing();
    library.RestoreBackup();
    EXPECT_EQ(0, library.Count());
}

TEST(PresetNameTest, EnteredNamesTakeTheFormTheIniReaderReturns) {
    const std::string longName = std::string(126, 'n') + " xyz";
    const struct {
        const char* entered;
        std::string stored;
    } cases[] = {
        {"  Pad  ", "Pad"},
        {"\"Loud\"", "Loud"},
        {"' Soft '", "Soft"},
        {"\" 'Both' \"", "Both"},
        {"a\tb\r\n", "a b"},
        {"\"open", "\"open"},
        {"x \"y\"", "x \"y\""},
        {"Rock & Roll", "Rock & Roll"},
        {"   ", ""},
        {nullptr, ""},
        {longName.c_str(), std::string(126, 'n')},  // cut to 127, then the blank trimmed
    };
    for (const auto& c : cases) {
        const std::string stored = NormalisePresetName(c.entered);
        EXPECT_EQ(c.stored, stored) << (c.entered ? c.entered : "null");
        EXPECT_EQ(stored, NormalisePresetName(stored.c_str()));
    }
}

TEST(PresetNameTest, MenuAndQuestionTextsHoldTheLongestNamesWhole) {
    EXPECT_EQ("Rock && Roll", MenuText("Rock & Roll"));
    const std::string ampersands(127, '&');
    EXPECT_EQ("Update Preset: " + std::string(254, '&') + "...", UpdateItemText(ampersands));
    const std::string name(127, 'n');
    EXPECT_NE(std::string::npos, UpdateQuestionText(name).find("\"" + name + "\" preset with"));
}

TEST(PresetNameTest, ExportFileNamesNeverNameADevice) {
    const struct {
        const char* name;
        const char* file;
    } cases[] = {
        {"CON", "_CON.ini"},           {"nul", "_nul.ini"},         {"Com1", "_Com1.ini"},
        {"LPT9.old", "_LPT9.old.ini"}, {"conout$", "_conout$.ini"}, {"COM0", "COM0.ini"},
        {"COM10", "COM10.ini"},        {"CONSOLE", "CONSOLE.ini"},  {"AUX ", "AUX_.ini"},
        {"tw:Phase", "tw_Phase.ini"},  {"a*b?c/d|e", "a_b_c_d_e.ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.file, ExportFileName(c.name)) << c.name;
}
