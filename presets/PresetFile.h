// Names, keys and read limits of tw:Phase preset files (INI files: a "Plug-in" header
// section and the numbered sections Preset1, Preset2, ...).
#pragma once
#include <cstddef>

namespace presetfile {

constexpr char kLibraryFileName[] = "twPhaseDX.ini";
constexpr char kProductName[] = "tw:Phase";

// The registry path of the plug-in's COM class; it tags our files and locates the library.
constexpr char kClassKey[] = "SOFTWARE\\Classes\\CLSID\\{E887E202-C156-490B-930E-13C43990785E}";
// A second class key that import accepts (never the library load): files tagged by the
// plug-in's sibling build that shares this preset format.
constexpr char kAltClassKey[] = "SOFTWARE\\Classes\\CLSID\\{65732CC8-B0E8-4310-9B38-D169CB6CE657}";

constexpr char kHeaderSection[] = "Plug-in";
constexpr char kPluginNameKey[] = "PluginName";
constexpr char kClassKeyKey[] = "CLSID";
constexpr char kDefaultPresetKey[] = "DefaultPreset";
constexpr char kVersionKey[] = "Version";
constexpr char kNameKey[] = "Name";
constexpr char kBankKey[] = "Bank";
constexpr char kDataKey[] = "Data";

// Default text that tells a missing key from an empty one; a value that is literally this
// text counts as missing too.
constexpr char kKeyNotFound[] = "KEY_NOT_FOUND";

// Read limits in characters (the reader's buffer holds one more for the terminator).
constexpr size_t kVersionReadChars = 15;
constexpr size_t kTextReadChars = 127;  // Name and Bank
constexpr size_t kDataReadChars = 4095;
constexpr size_t kClassKeyReadChars = 99;
constexpr size_t kSaveProbeReadChars = 99;  // Version, when finding old sections to delete

}  // namespace presetfile
