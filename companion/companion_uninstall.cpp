#include "companion/companion_main.h"

#include "paths/run_buffers.h"
#include "setup/classify.h"
#include "trace/trace.h"
#include "uninstall/uninstall.h"

int CompanionUninstallMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;

    TraceMsg("Uninstall Device, 64bit companion\n", 0, 0);
    if (!OpenRunBuffers(&pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }
    // The store's copies came from the 64-bit half of the package.
    wsprintfA(pSourceDir, "%c:%s%s", pSysDir[0], InstallFolder64, SubFolder64);
    UninstallSteps(pSysDir, pSourceDir);

Cleanup:
    CloseRunBuffers(pSysDir, pSourceDir);
    return Result;
}
