#include "setup/begin_run.h"

#include "paths/run_buffers.h"
#include "setup/classify.h"
#include "trace/trace.h"

int BeginRun(const char* pStartMessage, MachineRule Rule, char** ppSysDir, char** ppSourceDir) {
    OSVERSIONINFOA VerInf;
    memset(&VerInf, 0, sizeof(VerInf));
    VerInf.dwOSVersionInfoSize = sizeof(VerInf);
    *ppSysDir = NULL;
    *ppSourceDir = NULL;

    TraceMsg(pStartMessage, 0, 0);
    if (!GetVersionExA(&VerInf)) {
        TraceMsg("Can't get system version\n", 0, 0);
        return 0;
    }
    if (!OpenRunBuffers(ppSysDir, ppSourceDir))
        return 0;
    return PickPackageHalf(&VerInf, (*ppSysDir)[0], *ppSourceDir, Rule);
}

int BeginCompanionRun(const char* pStartMessage, MachineRule Rule, char** ppSysDir, char** ppSourceDir) {
    TraceMsg(pStartMessage, 0, 0);
    if (!OpenRunBuffers(ppSysDir, ppSourceDir))
        return 0;
    // An x64 process under emulation on another processor gets its native machine from the same call.
    if (!MachineHasHalf() && Rule == HalfRequired)
        return 0;
    wsprintfA(*ppSourceDir, "%c:%s%s", (*ppSysDir)[0], InstallFolder64, SubFolder64);
    return 1;
}
