#include "setup/setup_main.h"

#include "deploy/deploy.h"
#include "devices/devices.h"
#include "handoff/handoff.h"
#include "paths/run_buffers.h"
#include "setup/begin_run.h"
#include "setup/classify.h"

char SystemDriveLetter = 0;

int SetupMain(int argc, char** argv, char** envp) {
    (void)argc;
    (void)argv;
    (void)envp;
    int Result = 1;
    char* pSysDir = NULL;
    char* pSourceDir = NULL;

    if (!BeginRun("Setup Device\n", HalfRequired, &pSysDir, &pSourceDir)) {
        Result = 0;
        goto Cleanup;
    }
    SystemDriveLetter = pSysDir[0];

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
