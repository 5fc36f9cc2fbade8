// The renderer's view of a preset library: finding a preset by "Name" or "Bank/Name", and the
// library as a printed list.
#pragma once
#include <string>

class CPresetLibrary;
struct PresetRecord;

// The preset `query` names: "Bank/Name" (the bank and name of one preset; the query is split
// at each '/' in turn, so names holding '/' work too) or a plain "Name", compared without
// regard to ASCII case. Null with *error set when none matches, or when several do (the error
// lists them as "Bank/Name").
const PresetRecord* FindUserPreset(const CPresetLibrary& library, const std::string& query,
                                   std::string* error);

// "Bank/Name" for a banked preset, "Name" for a root one.
std::string PresetPath(const PresetRecord& record);

// One line per preset in library order: its path, then its six values as the renderer's
// options that set them ("Drums/Kick: --phase 10 --width 200 --output -6.0 --mode ms --meter
// pre --filter fir"); a damaged data text shows as it is.
std::string FormatPresetList(const CPresetLibrary& library);
