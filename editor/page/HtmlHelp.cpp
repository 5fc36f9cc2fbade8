// Opening the help file through HTML Help.
#include "editor/page/HtmlHelp.h"

#include <string>

namespace {

// The ANSI HtmlHelp entry point of the HTML Help control, exported by ordinal.
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
constexpr WORD kHtmlHelpAOrdinal = 14;
constexpr UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr char kHtmlHelpServerKey[] =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

HtmlHelpFunction g_htmlHelp = nullptr;
bool g_htmlHelpUnavailable = false;

std::string SystemFolderFile(const char* name) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(folder) + "\\" + name;
}

// The control's file as its class registration names it (expanded); empty when not
// registered. A bare file name is taken from the system folder.
std::string RegisteredHtmlHelpPath() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    char value[MAX_PATH] = {};
    DWORD type = 0;
    DWORD bytes = sizeof value - 1;
    const LONG status =
        RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    std::string path = value;
    if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH];
        const DWORD length = ExpandEnvironmentStringsA(value, expanded, MAX_PATH);
        if (length == 0 || length > MAX_PATH) return std::string();
        path = expanded;
    }
    if (!path.empty() && path.find_first_of("\\/:") == std::string::npos)
        path = SystemFolderFile(path.c_str());
    return path;
}

HtmlHelpFunction LoadHtmlHelp() {
    if (g_htmlHelp || g_htmlHelpUnavailable) return g_htmlHelp;
    HMODULE module = nullptr;
    const std::string registered = RegisteredHtmlHelpPath();
    if (!registered.empty()) module = LoadLibraryA(registered.c_str());
    if (!module) {
        const std::string system = SystemFolderFile("hhctrl.ocx");
        if (!system.empty()) module = LoadLibraryA(system.c_str());
    }
    if (module) {
        g_htmlHelp = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(kHtmlHelpAOrdinal))));
        // The control stays loaded for the life of the process, as the entry point is kept.
        if (!g_htmlHelp) FreeLibrary(module);
    }
    g_htmlHelpUnavailable = !g_htmlHelp;
    return g_htmlHelp;
}

}  // namespace

HWND ShowHelpTopic(HWND owner, const char* path) {
    const HtmlHelpFunction htmlHelp = LoadHtmlHelp();
    return htmlHelp ? htmlHelp(owner, path, kDisplayTopic, 0) : nullptr;
}
