// The preset library as the editor and the renderer read it, through the in-memory store of
// the preset tests. The input is
//   answers byte, library file text, NUL, import file text, NUL, preset query
// with the files as "[Section]" and "key=value" lines. The library loads, the import file is
// imported into an editing session (duplicates accepted or declined by the answer bits), the
// session is kept or cancelled, the library is saved and read again. Every record's "Data"
// text is scanned, the renderer lists the library and looks the query up. Throughout, the
// library keeps its cap and unique identifiers, a full data text survives being written back,
// and a saved library reads back with every record it saved.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "host/cli/UserPresets.h"
#include "presets/PresetData.h"
#include "presets/PresetFile.h"
#include "presets/PresetLibrary.h"
#include "tests/presets/MemoryIniStore.h"

namespace {

const char kLibraryPath[] = "twPhaseDX.ini";
const char kImportPath[] = "import.ini";

bool SameRecord(const PresetRecord& a, const PresetRecord& b) {
    return a.version == b.version && std::strcmp(a.name, b.name) == 0 &&
           std::strcmp(a.bank, b.bank) == 0 && a.data == b.data;
}

void CheckLibrary(const CPresetLibrary& library) {
    FUZZ_CHECK(library.Count() <= CPresetLibrary::kMaxPresets);
    std::set<int32_t> ids;
    for (int32_t i = 0; i < library.Count(); ++i) {
        const PresetRecord* record = library.At(i);
        FUZZ_CHECK(record != nullptr);
        FUZZ_CHECK(record->id >= CPresetLibrary::kFirstPresetId &&
              record->id <= CPresetLibrary::kLastPresetId);
        FUZZ_CHECK(ids.insert(record->id).second);
        FUZZ_CHECK(strnlen(record->name, PresetRecord::kTextChars) < PresetRecord::kTextChars);
        FUZZ_CHECK(strnlen(record->bank, PresetRecord::kTextChars) < PresetRecord::kTextChars);

        // A text of six fields holds values that are written back as the same values.
        ParamValues values = kDefaultParams;
        const int fields = ParsePresetData(record->data.c_str(), &values);
        FUZZ_CHECK(fields >= 0 && fields <= kParamCount);
        if (fields == kParamCount) {
            ParamValues again = {};
            FUZZ_CHECK(ParsePresetData(FormatPresetData(values).c_str(), &again) == kParamCount);
            FUZZ_CHECK(again == values);
        }
    }
}

// Takes the text up to the next NUL (or the end) from data.
std::string NextPart(const uint8_t*& data, const uint8_t* end) {
    const uint8_t* stop = static_cast<const uint8_t*>(std::memchr(data, 0, end - data));
    if (!stop) stop = end;
    std::string part(reinterpret_cast<const char*>(data), stop - data);
    data = stop == end ? end : stop + 1;
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    unsigned answers = data[0];
    const uint8_t* p = data + 1;
    const uint8_t* end = data + size;
    CMemoryIniStore store;
    store.SetText(kLibraryPath, NextPart(p, end));
    store.SetText(kImportPath, NextPart(p, end));
    const std::string query = NextPart(p, end);
    CScriptedMessages messages;
    for (int i = 0; i < 7; ++i) messages.answers.push_back((answers >> i & 1) != 0);

    CPresetLibrary library(presetfile::kProductName, store, messages);
    library.SetAltClassKey(presetfile::kAltClassKey);
    library.LoadPresetLibrary(presetfile::kClassKey, kLibraryPath);
    CheckLibrary(library);

    // The preset manager's import, kept or cancelled by the last answer bit.
    const int32_t countBefore = library.Count();
    FUZZ_CHECK(library.BeginEditing());
    if (library.CheckPresetFile(kImportPath, true) == CPresetLibrary::FileCheck::kAccepted) {
        const CPresetLibrary::ReadSummary summary = library.ReadPresets(kImportPath, true);
        FUZZ_CHECK(library.Count() == countBefore + summary.added);
        if (summary.stop != CPresetLibrary::ReadStop::kEnd)
            FUZZ_CHECK(!library.ReadStopText(kImportPath, summary).empty());
        library.SortLibrary();
        CheckLibrary(library);
    }
    if (answers & 0x80) {
        library.EndEditing();
    } else {
        library.RestoreBackup();
        FUZZ_CHECK(library.Count() == countBefore);
    }

    // The renderer's view: the listing and the lookup.
    const std::string listing = FormatPresetList(library);
    FUZZ_CHECK(library.Count() == 0 || !listing.empty());
    std::string error;
    const PresetRecord* found = FindUserPreset(library, query, &error);
    FUZZ_CHECK(found != nullptr || !error.empty());

    // Saved and read again, every record is still there.
    if (library.SaveLibrary(presetfile::kClassKey, kLibraryPath, true)) {
        CPresetLibrary reloaded(presetfile::kProductName, store, messages);
        reloaded.LoadPresetLibrary(presetfile::kClassKey, kLibraryPath);
        CheckLibrary(reloaded);
        std::multiset<int32_t> unmatched;
        for (int32_t i = 0; i < reloaded.Count(); ++i) unmatched.insert(i);
        for (int32_t i = 0; i < library.Count(); ++i) {
            auto match = unmatched.begin();
            while (match != unmatched.end() && !SameRecord(*reloaded.At(*match), *library.At(i)))
                ++match;
            FUZZ_CHECK(match != unmatched.end());
            unmatched.erase(match);
        }
    } else {
        FUZZ_CHECK(library.LibraryFileRefused());
    }
    return 0;
}
