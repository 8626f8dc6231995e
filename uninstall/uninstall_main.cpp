#include "uninstall/uninstall.h"

#include "paths/run_buffers.h"
#include "setup/classify.h"
#include "trace/trace.h"

int UninstallMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;
    OSVERSIONINFOA VerInf;
    memset(&VerInf, 0, sizeof(VerInf));
    VerInf.dwOSVersionInfoSize = sizeof(VerInf);

    TraceMsg("Uninstall Device\n", 0, 0);
    if (!GetVersionExA(&VerInf)) {
        TraceMsg("Can't get system version\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    if (!OpenRunBuffers(&pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }
    // The half of the package that the setup run installed here.
    PickPackageHalf(&VerInf, pSysDir[0], pSourceDir);

    // A 32-bit process cannot remove devices on 64-bit Windows: the companion does all of it there.
    if (Is64BitHost == 1)
        StartUninstallCompanion();
    else
        UninstallSteps(pSysDir, pSourceDir);

Cleanup:
    CloseRunBuffers(pSysDir, pSourceDir);
    return Result;
}
