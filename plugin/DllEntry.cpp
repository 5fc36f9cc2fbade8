// The DLL's entry points and its class table.
#include <windows.h>

#include "editor/analysis/page/AnalysisPropPage.h"
#include "editor/page/VxPlugInPropPage.h"
#include "framework/ClassFactory.h"
#include "plugin/FilterSetup.h"
#include "plugin/PluginGuids.h"
#include "plugin/Registration.h"
#include "plugin/VxPlugIn.h"

namespace {

const CFactoryTemplate kClassTable[] = {
    {kTwPhaseName, &CLSID_TwPhase, CVxPlugIn::CreateInstance, nullptr, &kTwPhaseFilterSetup},
    {L"Corvane:tw Phase Property Page", &CLSID_TwPhasePropertyPage,
     CVxPlugInPropPage::CreateInstance, nullptr, nullptr},
    {L"Corvane:tw Phase Analysis Page", &CLSID_TwPhaseAnalysisPage,
     CAnalysisPropPage::CreateInstance, nullptr, nullptr},
};
constexpr int kClassCount = sizeof kClassTable / sizeof kClassTable[0];

HMODULE g_module = nullptr;
DWORD g_platformId = VER_PLATFORM_WIN32_NT;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        g_module = instance;
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof version;
        g_platformId = GetVersionExA(&version) ? version.dwPlatformId : 1;
        FrameworkInitClasses(kClassTable, kClassCount, TRUE);
    } else if (reason == DLL_PROCESS_DETACH) {
        FrameworkInitClasses(kClassTable, kClassCount, FALSE);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return FrameworkGetClassObject(kClassTable, kClassCount, clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return FrameworkCanUnloadNow(); }

STDAPI DllRegisterServer() { return RegisterClassTable(g_module, kClassTable, kClassCount); }

STDAPI DllUnregisterServer() { return UnregisterClassTable(g_module, kClassTable, kClassCount); }
