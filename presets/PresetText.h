// Preset names as the user enters them and as menus, questions and file names show them.
#pragma once
#include <string>

// The name or bank text that survives a trip through a preset file unchanged. The platform's
// INI reader trims blanks and tabs around a value and then drops one pair of matching quotes
// (" or ') around it, so "  Pad  " would come back as "Pad" and "\"Loud\"" as "Loud". The
// text is therefore given the reader's form where it is entered: control characters become
// blanks, then blanks are trimmed, one pair of surrounding quotes is dropped and the text is
// cut to 127 characters, repeated until nothing changes. Every name and bank the user types
// goes through it (add, rename, new bank). Empty stays empty.
std::string NormalisePresetName(const char* text);

// The text of a menu item showing name: every '&' doubled, so that none becomes a mnemonic.
std::string MenuText(const std::string& name);

// The presets menu's update item, "Update Preset: <name>...", with the name as a menu text.
std::string UpdateItemText(const std::string& name);
// The question asked before a preset's parameters are replaced by the current settings.
std::string UpdateQuestionText(const std::string& name);

// True for the names Windows keeps for devices, whatever follows a first '.': CON, PRN, AUX,
// NUL, COM1..COM9, LPT1..LPT9, CONIN$ and CONOUT$, in any case.
bool IsReservedDeviceName(const std::string& fileName);
// The file name proposed for an export of text (product, bank or preset name): text + ".ini"
// with every blank, '*', '?', '<', '>', ':', '\', '"', '/', '|', tab, carriage return and line
// feed replaced by '_', and with '_' put in front when it would name a device ("CON.ini"
// opens the console, not a file).
std::string ExportFileName(const std::string& text);
