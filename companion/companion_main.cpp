#include "companion/companion_main.h"

#include "deploy/deploy.h"
#include "devices/devices.h"
#include "trace/trace.h"

int CompanionMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;
    UINT SysDirLength = 0;

    TraceMsg("Setup Device, 64bit companion\n", 0, 0);
    pSysDir = static_cast<char*>(malloc(MAX_PATH));
    if (pSysDir == NULL) {
        TraceMsg("Malloc for system dir failed!\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    SysDirLength = GetSystemDirectoryA(pSysDir, MAX_PATH);
    if (SysDirLength == 0 || SysDirLength >= MAX_PATH) {
        TraceMsg("Get system dir failed!\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    TraceMsg("System path: %s", pSysDir, 0);

    pSourceDir = static_cast<char*>(malloc(MAX_PATH));
    if (pSourceDir == NULL) {
        TraceMsg("Malloc failed!\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    memset(pSourceDir, 0, MAX_PATH);
    // The 64-bit half of the package; the 32-bit run's own copies went to the 32-bit system directory.
    wsprintfA(pSourceDir, "%c:%s%s", pSysDir[0], "\\Program Files (x86)\\Zamtre_Driver", "\\fenwarr\\Win64");

    CopyCoInstallers(pSourceDir);
    RemoveDriverlessDevices();
    RefreshDevNode();

Cleanup:
    if (pSourceDir != NULL)
        free(pSourceDir);
    if (pSysDir != NULL)
        free(pSysDir);
    return Result;
}
