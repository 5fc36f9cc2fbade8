// Where the help file is: beside the plug-in's own module.
#pragma once
#include <string>

constexpr char kHelpFileName[] = "CorvanetwPhase.chm";
// The longest path the help file may have, in characters without the terminator; a longer
// one would be cut short by the platform's fixed-size path buffers.
constexpr size_t kMaxHelpPathChars = 259;

// The module path with its file name (everything after the last ':' or '\') replaced by the
// help file's name: C:\Plug\x.dll gives C:\Plug\CorvanetwPhase.chm. False when the module
// path is empty or the result is longer than kMaxHelpPathChars.
bool HelpFilePathBeside(const std::string& modulePath, std::string* helpPath);
