#include "deploy/deploy.h"

#include "trace/trace.h"

const char* const CoInstallerList[CoInstallerCount] = {"WinUSBCoInstaller2.dll", "WdfCoInstaller01009.dll"};

const char* const InfList[InfCount] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                                       "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};

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
