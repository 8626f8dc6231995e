#include "reader/steps/package_files.h"

const char* const CoInstallerNames[CoInstallerCount] = {"WinUSBCoInstaller2.dll", "WdfCoInstaller01009.dll"};
const char* const InfNames[InfCount] = {"Halvex_mdm.inf", "Halvex_ser.inf",   "Halvex_adb.inf", "cdc-acm.inf",
                                        "WceIS.inf",      "usbvcom_brom.inf", "usbvcom.inf"};
