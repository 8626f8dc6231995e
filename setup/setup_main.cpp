#include "setup/setup_main.h"

#include "deploy/deploy.h"
#include "devices/devices.h"
#include "handoff/handoff.h"
#include "paths/run_buffers.h"
#include "setup/classify.h"
#include "trace/trace.h"

char SystemDriveLetter = 0;

int SetupMain(int argc, char** argv, char** envp) {
    (void)argc;
    (void)argv;
    (void)envp;
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;
    const char* pInstallFolder = NULL;
    const char* pSubFolder = NULL;
    OSVERSIONINFOA VerInf;
    memset(&VerInf, 0, sizeof(VerInf));
    VerInf.dwOSVersionInfoSize = sizeof(VerInf);

    TraceMsg("Setup Device\n", 0, 0);
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
    SystemDriveLetter = pSysDir[0];

    pSourceDir = AllocSourceDir();
    if (pSourceDir == NULL) {
        Result = 0;
        goto Cleanup;
    }

    TraceMsg("VerInf.dwMajorVersion: %d", VerInf.dwMajorVersion, 0);
    TraceMsg("VerInf.dwMinorVersion: %d", VerInf.dwMinorVersion, 0);
    ClassifyPlatform(VerInf.dwMajorVersion, VerInf.dwMinorVersion, &pInstallFolder, &pSubFolder);
    // Constant parts: always far shorter than MAX_PATH.
    wsprintfA(pSourceDir, "%c:%s%s", SystemDriveLetter, pInstallFolder, pSubFolder);

    // Co-installers first, all INF files next, and only then the devices or the companion.
    CopyCoInstallers(pSourceDir);
    InstallInfs(pSourceDir);
    if (Is64BitHost == 1) {
        StartCompanion();
    } else {
        RemoveDriverlessDevices();
        RefreshDevNode();
    }

Cleanup:
    if (pSourceDir != NULL)
        free(pSourceDir);
    if (pSysDir != NULL)
        free(pSysDir);
    return Result;
}
