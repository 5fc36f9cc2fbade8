// The preset manager's two small name dialogs: renaming a bank or a preset, and naming a new
// bank for the selected preset. Both are modal, centred over the manager, and stay open with
// an error message while the name is empty.
#pragma once
#include <windows.h>

#include <string>

class CPresetLibrary;

// The rename dialog with the title "Rename <product> bank" (bank set) or "Rename <product>
// preset", the field showing current. True with the new name, in the form a preset file keeps
// (NormalisePresetName), when the user chose "Rename"; false for Cancel and the close box.
bool RunRenameDialog(HINSTANCE instance, HWND owner, const CPresetLibrary& library, bool bank,
                     const std::string& current, std::string* name);

// The new-bank dialog with the title "Move preset "<name>" to new bank". True with the bank
// name (normalised as above) when the user chose "Create".
bool RunNewBankDialog(HINSTANCE instance, HWND owner, const CPresetLibrary& library,
                      const std::string& presetName, std::string* bank);
