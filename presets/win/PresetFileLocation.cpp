// LocatePresetFile: the registry lookup of the preset library's folder.
#include "presets/win/PresetFileLocation.h"

#include <windows.h>

#include <string>

namespace {

constexpr DWORD kRegistryTextBytes = MAX_PATH;

// A string value of HKEY_LOCAL_MACHINE\keyName (valueName null: the default value), read
// into a MAX_PATH buffer, with the environment variables of a REG_EXPAND_SZ value expanded
// ("%ProgramFiles%\\Corvane"). False when it is missing, not a string or longer than the
// buffer, before or after the expansion.
bool ReadMachineString(const std::string& keyName, const char* valueName, std::string* text) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    char buffer[kRegistryTextBytes];
    DWORD type = 0, bytes = sizeof buffer;
    const LONG error =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    // A stored string need not carry its terminator.
    buffer[bytes < sizeof buffer ? bytes : sizeof buffer - 1] = '\0';
    if (type == REG_SZ) {
        *text = buffer;
        return true;
    }
    char expanded[kRegistryTextBytes];
    const DWORD needed = ExpandEnvironmentStringsA(buffer, expanded, sizeof expanded);
    if (needed == 0 || needed > sizeof expanded) return false;
    *text = expanded;
    return true;
}

bool ContainsDllNoCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text.find(".dll") != std::string::npos;
}

}  // namespace

std::string LocatePresetFile(const char* classKey, const char* fileName) {
    if (!classKey || !*classKey || !fileName) return {};
    std::string path;
    std::string folder;
    std::string server;
    if (ReadMachineString(classKey, "PluginPath", &folder)) {
        // An empty folder names no place; no fallback to the server's folder either.
        if (folder.empty()) return {};
        path = folder;
        if (path.back() != '\\') path += '\\';
        path += fileName;
    } else if (ReadMachineString(std::string(classKey) + "\\InProcserver32", nullptr, &server) &&
               ContainsDllNoCase(server)) {
        const size_t slash = server.rfind('\\');
        if (slash == std::string::npos) return {};
        path = server.substr(0, slash + 1) + fileName;
    }
    // The path is kept in a MAX_PATH buffer by the platform's file functions.
    if (path.size() >= MAX_PATH) return {};
    return path;
}
