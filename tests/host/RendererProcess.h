// What the end-to-end renderer tests share: the build's files seen from Wine, the plug-in's
// registration through its own exports, and twphase-render run as a child process with its
// output captured. The including test passes TW_RENDER_EXE and TW_PLUGIN_DLL (Unix paths).
#pragma once
#include <windows.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace rendertest {

// The build passes Unix paths; the programs here see the same files under drive Z:.
inline std::wstring WinePath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

// Calls one of the DLL's exports (DllRegisterServer, DllUnregisterServer) by loading it by path.
inline HRESULT CallPlugInExport(const char* name) {
    HMODULE dll = LoadLibraryW(WinePath(TW_PLUGIN_DLL).c_str());
    if (!dll) return HRESULT_FROM_WIN32(GetLastError());
    auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, name)));
    const HRESULT hr = entry ? entry() : E_NOTIMPL;
    FreeLibrary(dll);
    return hr;
}

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;          // stdout and stderr together
    std::wstring windowCaption;  // set by a whileRunning that looks at the renderer's windows
};

// Runs twphase-render with the arguments (each passed quoted) in workDir (empty: this one),
// reading its output until it ends; whileRunning, if given, runs on a thread of its own
// meanwhile (to answer the renderer's windows) and may fill in the result.
inline RunResult RunRenderer(
    const std::vector<std::string>& args, const std::string& workDir = {},
    const std::function<void(const PROCESS_INFORMATION&, RunResult*)>& whileRunning = {}) {
    RunResult result;
    std::wstring commandLine = L"twphase-render.exe";
    for (const std::string& arg : args)
        commandLine += L" \"" + std::wstring(arg.begin(), arg.end()) + L"\"";

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    const std::wstring exe = WinePath(TW_RENDER_EXE);
    const std::wstring dir(workDir.begin(), workDir.end());
    const BOOL started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, dir.empty() ? nullptr : dir.c_str(), &startup,
                                        &process);
    CloseHandle(writeEnd);
    if (started) {
        std::thread watcher;
        if (whileRunning) watcher = std::thread([&] { whileRunning(process, &result); });
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            result.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        if (watcher.joinable()) watcher.join();
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return result;
}

// A file's bytes; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace rendertest
