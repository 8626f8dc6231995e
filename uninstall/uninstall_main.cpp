#include "uninstall/uninstall.h"

#include "paths/run_buffers.h"
#include "setup/begin_run.h"
#include "setup/classify.h"

int UninstallMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;

    // The half of the package that the setup run installed here.
    if (!BeginRun("Uninstall Device\n", AnyMachine, &pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }

    // A 32-bit process cannot remove devices on 64-bit Windows: the companion does all of it there.
    if (Is64BitHost == 1)
        StartUninstallCompanion();
    else
        UninstallSteps(pSysDir, pSourceDir);

Cleanup:
    CloseRunBuffers(pSysDir, pSourceDir);
    return Result;
}
