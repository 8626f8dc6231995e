/*
 * Stand-in co-installer for the sample driver package.
 *
 * The package ships two co-installer libraries, WinUSBCoInstaller2.dll and WdfCoInstaller01009.dll. Both are
 * built from this file; COINSTALLER_VERSION (a string literal set by the build) tells them apart. The entry
 * point accepts every install request and does nothing, which is all a staging test needs.
 *
 * Exports (undecorated on both architectures):
 *   CoInstallerEntry    DWORD CALLBACK (DWORD InstallFunction, void* DeviceInfoSet, void* DeviceInfoData,
 *                       void* Context), the co-installer entry point; always NO_ERROR.
 *   CoInstallerVersion  const char* (void), the version string of this library.
 */

#include <windows.h>

#ifndef COINSTALLER_VERSION
#define COINSTALLER_VERSION "Zamtre stand-in co-installer 0.0.0.0"
#endif

static const char g_version[] = COINSTALLER_VERSION;

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID pReserved) {
    (void)pReserved;
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(hInstance);
    return TRUE;
}

__declspec(dllexport) DWORD CALLBACK
    CoInstallerEntry(DWORD InstallFunction, void* DeviceInfoSet, void* DeviceInfoData, void* Context) {
    (void)InstallFunction;
    (void)DeviceInfoSet;
    (void)DeviceInfoData;
    (void)Context;
    return NO_ERROR;
}

__declspec(dllexport) const char* CoInstallerVersion(void) {
    return g_version;
}
