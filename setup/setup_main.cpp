#include "setup/setup_main.h"

#include "deploy/deploy.h"
#include "devices/devices.h"
#include "handoff/handoff.h"
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
    UINT SysDirLength = 0;
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

    pSysDir = static_cast<char*>(malloc(MAX_PATH));
    if (pSysDir == NULL) {
        TraceMsg("Malloc for system dir failed!\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    // A length of MAX_PATH or more means the buffer was too small and holds no path.
    SysDirLength = GetSystemDirectoryA(pSysDir, MAX_PATH);
    if (SysDirLength == 0 || SysDirLength >= MAX_PATH) {
        TraceMsg("Get system dir failed!\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    TraceMsg("System path: %s", pSysDir, 0);
    SystemDriveLetter = pSysDir[0];

    pSourceDir = static_cast<char*>(malloc(MAX_PATH));
    if (pSourceDir == NULL) {
        TraceMsg("Malloc failed!\n", 0, 0);
        Result = 0;
        goto Cleanup;
    }
    memset(pSourceDir, 0, MAX_PATH);

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
