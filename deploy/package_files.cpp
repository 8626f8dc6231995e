#include "deploy/deploy.h"

#include "trace/trace.h"

void CopyCoInstallers(const char* pDir) {
    for (const char* pName : CoInstallerList) {
        if (!CopyCoInstaller(pDir, pName))
            TraceMsg("Copy CoInstall %s failed!\n", pName, 0);
    }
}

void InstallInfs(const char* pDir) {
    for (const char* pName : InfList)
        InstallInf(pDir, pName, NULL);
}
