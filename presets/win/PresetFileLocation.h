// Where the plug-in's preset library file lives, from the plug-in's registry entries.
#pragma once
#include <string>

// The full path of fileName in the folder named by the "PluginPath" value of the class key
// under HKEY_LOCAL_MACHINE, or else beside the server file that the class key's
// "InProcserver32" default value names (when that contains ".dll"); either value may be a
// REG_EXPAND_SZ, whose environment variables are expanded. Empty, meaning no
// library file, when neither value can be read, when PluginPath is empty, when the server
// path has no backslash, or when the result would not fit a MAX_PATH buffer.
std::string LocatePresetFile(const char* classKey, const char* fileName);
