#include "deploy/deploy.h"

// Apart from the deployment routines: the uninstaller reads the lists and deploys nothing.
const char* const CoInstallerList[CoInstallerCount] = {"WinUSBCoInstaller2.dll", "WdfCoInstaller01009.dll"};

const char* const InfList[InfCount] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                                       "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};
