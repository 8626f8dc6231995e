#include "uninstall/uninstall.h"

#include "devices/devices.h"
#include "trace/trace.h"

namespace {

// A listed member goes whether or not it has a driver: the driver package it uses is leaving too.
void RemoveListedMember(HDEVINFO hDevInfo, SP_DEVINFO_DATA* pDevInfoData, const char* pFirstId) {
    TraceMsg("Found! [%s]\n", pFirstId, 0);
    if (!SetupDiCallClassInstaller(DIF_REMOVE, hDevInfo, pDevInfoData)) {
        DWORD Error = GetLastError();
        TraceMsg("SetupDiCallClassInstaller DIF_REMOVE failed, error code: 0x%x\n", Error, 0);
        return;
    }
    TraceMsg("SetupDiCallClassInstaller DIF_REMOVE successful\n", 0, 0);
}

} // namespace

int RemoveListedDevices(DWORD* pFound) {
    DeviceWalk Walk;
    if (!WalkListedDevices(RemoveListedMember, WalkTraced, &Walk)) {
        // The device set is the walk's only call before it gives up.
        DWORD Error = GetLastError();
        TraceMsg("SetupDiGetClassDevs failed, error code: 0x%x\n", Error, 0);
        return 0;
    }
    *pFound += Walk.Listed;
    return Walk.Complete && Walk.Skipped == 0;
}
