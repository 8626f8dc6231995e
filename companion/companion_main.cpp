#include "companion/companion_main.h"

#include "deploy/deploy.h"
#include "devices/devices.h"
#include "paths/run_buffers.h"
#include "setup/classify.h"
#include "trace/trace.h"

int CompanionMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;

    TraceMsg("Setup Device, 64bit companion\n", 0, 0);
    if (!OpenRunBuffers(&pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }
    // The 64-bit half of the package; the 32-bit run's own copies went to the 32-bit system directory.
    wsprintfA(pSourceDir, "%c:%s%s", pSysDir[0], InstallFolder64, SubFolder64);

    CopyCoInstallers(pSourceDir);
    RemoveDriverlessDevices();
    RefreshDevNode();

Cleanup:
    CloseRunBuffers(pSysDir, pSourceDir);
    return Result;
}
