#include "companion/companion_main.h"

#include "deploy/deploy.h"
#include "devices/devices.h"
#include "paths/run_buffers.h"
#include "setup/begin_run.h"

int CompanionMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;

    // The 64-bit half of the package; the 32-bit run's own copies went to the 32-bit system directory.
    if (!BeginCompanionRun("Setup Device, 64bit companion\n", HalfRequired, &pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }

    CopyCoInstallers(pSourceDir);
    RemoveDriverlessDevices();
    RefreshDevNode();

Cleanup:
    CloseRunBuffers(pSysDir, pSourceDir);
    return Result;
}
