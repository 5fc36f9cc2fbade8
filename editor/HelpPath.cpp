// Where the help file is.
#include "editor/HelpPath.h"

bool HelpFilePathBeside(const std::string& modulePath, std::string* helpPath) {
    if (modulePath.empty()) return false;
    const size_t separator = modulePath.find_last_of(":\\");
    const size_t folderLength = separator == std::string::npos ? 0 : separator + 1;
    if (folderLength + sizeof kHelpFileName - 1 > kMaxHelpPathChars) return false;
    *helpPath = modulePath.substr(0, folderLength) + kHelpFileName;
    return true;
}
