// DllRegisterServer and DllUnregisterServer's work. Keys live under HKEY_CLASSES_ROOT as
// "CLSID\{...}" and "Filter\{...}"; the filter mapper gets the filter's pins and merit.
#include "plugin/Registration.h"

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <new>

#include <strmif.h>
#include <uuids.h>

#include "framework/FilterMapper.h"

namespace {

// "{GUID}" as an ANSI key name.
void GuidText(const GUID& guid, char* out, size_t size) {
    WCHAR text[40];
    StringFromGUID2(guid, text, 40);
    WideCharToMultiByte(CP_ACP, 0, text, -1, out, static_cast<int>(size), nullptr, nullptr);
}

// "PREFIX\{GUID}" as an ANSI key name.
void KeyName(char* out, size_t size, const char* prefix, const GUID& guid) {
    char text[40];
    GuidText(guid, text, sizeof text);
    std::snprintf(out, size, "%s\\%s", prefix, text);
}

HRESULT FromRegistry(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

// The longest path the platform can name a file by ("\\?\" form), with its terminator.
constexpr DWORD kLongestPath = 32768;

HRESULT LastError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// The module's full path as the loader knows it, in UTF-16: a folder named outside the ANSI
// code page must reach the registry unchanged. The buffer grows until the path fits, up to
// the longest path there is; a truncated path is refused rather than registered.
HRESULT ModulePath(HMODULE module, std::unique_ptr<WCHAR[]>* path) {
    for (DWORD size = MAX_PATH;; size = size * 2 < kLongestPath ? size * 2 : kLongestPath) {
        path->reset(new (std::nothrow) WCHAR[size]);
        if (!*path) return E_OUTOFMEMORY;
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameW(module, path->get(), size);
        if (length == 0) return LastError();
        // A path that filled the buffer was cut short.
        if (length < size && GetLastError() != ERROR_INSUFFICIENT_BUFFER) return S_OK;
        if (size == kLongestPath) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
}

HRESULT SetString(HKEY key, const WCHAR* name, const WCHAR* value) {
    const DWORD bytes = static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(WCHAR));
    return FromRegistry(RegSetValueExW(key, name, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value), bytes));
}

void SetDword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// CLSID\{clsid} = name, with InprocServer32 = path and ThreadingModel = Both.
HRESULT RegisterComClass(const CFactoryTemplate& entry, const WCHAR* path) {
    char keyName[64];
    KeyName(keyName, sizeof keyName, "CLSID", *entry.m_ClsID);
    HKEY classKey = nullptr, serverKey = nullptr;
    HRESULT hr = FromRegistry(RegCreateKeyA(HKEY_CLASSES_ROOT, keyName, &classKey));
    if (SUCCEEDED(hr)) hr = SetString(classKey, nullptr, entry.m_Name);
    if (SUCCEEDED(hr)) hr = FromRegistry(RegCreateKeyA(classKey, "InprocServer32", &serverKey));
    if (SUCCEEDED(hr)) hr = SetString(serverKey, nullptr, path);
    if (SUCCEEDED(hr)) hr = SetString(serverKey, L"ThreadingModel", L"Both");
    if (serverKey) RegCloseKey(serverKey);
    if (classKey) RegCloseKey(classKey);
    return hr;
}

// Runs the mapper step for every entry that has a filter record, inside its own COM session.
HRESULT UpdateMapper(const CFactoryTemplate* table, int count, bool registering) {
    const HRESULT init = CoInitialize(nullptr);
    HRESULT hr;
    {
        CFilterMapper mapper;
        hr = mapper.Create();
        for (int i = 0; SUCCEEDED(hr) && i < count; ++i) {
            const AMOVIESETUP_FILTER* setup = table[i].m_pAMovieSetup_Filter;
            if (!setup) continue;
            hr = mapper.Unregister(*table[i].m_ClsID);
            if (SUCCEEDED(hr) && registering) hr = mapper.Register(*setup);
        }
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(init)) CoUninitialize();
    return hr;
}


// The "Pins" keys under the filter's class key and its "Filter" key. Their results are not
// checked: the mapper's record already makes the filter usable.
void WritePinKeys(const CFactoryTemplate& entry) {
    char keyName[64];
    KeyName(keyName, sizeof keyName, "CLSID", *entry.m_ClsID);
    HKEY classKey = nullptr, pins = nullptr;
    RegOpenKeyA(HKEY_CLASSES_ROOT, keyName, &classKey);
    RegCreateKeyA(classKey, "Pins", &pins);
    char audio[40], null[40];
    GuidText(MEDIATYPE_Audio, audio, sizeof audio);
    GuidText(GUID_NULL, null, sizeof null);
    const char* names[2] = {"In", "Out"};
    for (DWORD direction = 0; direction < 2; ++direction) {
        HKEY pin = nullptr, types = nullptr, major = nullptr, minor = nullptr;
        RegCreateKeyA(pins, names[direction], &pin);
        SetDword(pin, "AllowedMany", 0);
        SetDword(pin, "AllowedZero", 0);
        SetDword(pin, "IsRendered", 0);
        SetDword(pin, "Direction", direction);
        RegCreateKeyA(pin, "Types", &types);
        RegCreateKeyA(types, audio, &major);
        RegCreateKeyA(major, null, &minor);
        for (HKEY k : {minor, major, types, pin})
            if (k) RegCloseKey(k);
    }
    if (pins) RegCloseKey(pins);
    if (classKey) RegCloseKey(classKey);

    KeyName(keyName, sizeof keyName, "Filter", *entry.m_ClsID);
    HKEY filterKey = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, keyName, &filterKey) == ERROR_SUCCESS) {
        SetString(filterKey, nullptr, entry.m_Name);
        RegCloseKey(filterKey);
    }
}

// Deletes a key and everything below it, deepest first.
LONG DeleteTree(HKEY parent, const char* name) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (error != ERROR_SUCCESS) return error;
    char child[256];
    for (;;) {
        DWORD length = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (DeleteTree(key, child) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

}  // namespace

HRESULT RegisterClassTable(HMODULE module, const CFactoryTemplate* table, int count) {
    std::unique_ptr<WCHAR[]> path;
    HRESULT hr = ModulePath(module, &path);
    if (FAILED(hr)) return hr;
    for (int i = 0; i < count; ++i) {
        hr = RegisterComClass(table[i], path.get());
        if (FAILED(hr)) return hr;
    }
    hr = UpdateMapper(table, count, true);
    if (FAILED(hr)) return hr;
    for (int i = 0; i < count; ++i)
        if (table[i].m_pAMovieSetup_Filter) WritePinKeys(table[i]);
    return hr;
}

HRESULT UnregisterClassTable(HMODULE module, const CFactoryTemplate* table, int count) {
    std::unique_ptr<WCHAR[]> path;
    HRESULT hr = ModulePath(module, &path);
    if (FAILED(hr)) return hr;
    hr = UpdateMapper(table, count, false);
    if (SUCCEEDED(hr)) {
        for (int i = 0; i < count; ++i) {
            char keyName[64];
            KeyName(keyName, sizeof keyName, "CLSID", *table[i].m_ClsID);
            DeleteTree(HKEY_CLASSES_ROOT, keyName);
        }
    }
    if (hr != S_OK) return hr;
    for (int i = 0; i < count; ++i) {
        char keyName[64];
        KeyName(keyName, sizeof keyName, "Filter", *table[i].m_ClsID);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, keyName);
    }
    return S_OK;
}
