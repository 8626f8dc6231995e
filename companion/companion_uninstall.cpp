#include "companion/companion_main.h"

#include "paths/run_buffers.h"
#include "setup/begin_run.h"
#include "uninstall/uninstall.h"

int CompanionUninstallMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;

    // The store's copies came from the 64-bit half of the package.
    if (!BeginCompanionRun("Uninstall Device, 64bit companion\n", AnyMachine, &pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }
    UninstallSteps(pSysDir, pSourceDir);

Cleanup:
    CloseRunBuffers(pSysDir, pSourceDir);
    return Result;
}
