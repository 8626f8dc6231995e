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
    OSVERSIONINFOA VerInf;
    memset(&VerInf, 0, sizeof(VerInf));
    VerInf.dwOSVersionInfoSize = sizeof(VerInf);

    TraceMsg("Setup Device\n", 0, 0);
    if (!GetVersionExA(&VerInf)) {
        TraceMsg("Can't get system version\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }

    if (!OpenRunBuffers(&pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }
    SystemDriveLetter = pSysDir[0];
    PickPackageHalf(&VerInf, SystemDriveLetter, pSourceDir);

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
    CloseRunBuffers(pSysDir, pSourceDir);
    return Result;
}
