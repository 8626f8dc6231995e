#include "uninstall/uninstall.h"

#include "paths/run_buffers.h"
#include "setup/classify.h"
#include "trace/trace.h"

int UninstallMain() {
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;
    const char* pInstallFolder = NULL;
    const char* pSubFolder = NULL;
    OSVERSIONINFOA VerInf;
    memset(&VerInf, 0, sizeof(VerInf));
    VerInf.dwOSVersionInfoSize = sizeof(VerInf);

    TraceMsg("Uninstall Device\n", 0, 0);
    if (!GetVersionExA(&VerInf)) {
        TraceMsg("Can't get system version\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    pSysDir = GetSystemDir();
    if (pSysDir == NULL) {
        Result = 0;
        goto Cleanup;
    }
    pSourceDir = AllocSourceDir();
    if (pSourceDir == NULL) {
        Result = 0;
        goto Cleanup;
    }

    TraceMsg("VerInf.dwMajorVersion: %d", VerInf.dwMajorVersion, 0);
    TraceMsg("VerInf.dwMinorVersion: %d", VerInf.dwMinorVersion, 0);
    // The half of the package that the setup run installed here.
    ClassifyPlatform(VerInf.dwMajorVersion, VerInf.dwMinorVersion, &pInstallFolder, &pSubFolder);
    wsprintfA(pSourceDir, "%c:%s%s", pSysDir[0], pInstallFolder, pSubFolder);

    // A 32-bit process cannot remove devices on 64-bit Windows: the companion does all of it there.
    if (Is64BitHost == 1)
        StartUninstallCompanion();
    else
        UninstallSteps(pSysDir, pSourceDir);

Cleanup:
    if (pSourceDir != NULL)
        free(pSourceDir);
    if (pSysDir != NULL)
        free(pSysDir);
    return Result;
}
