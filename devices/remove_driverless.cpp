#include "devices/devices.h"

#include "trace/trace.h"

namespace {

enum { DriverBufferSize = 512 };

// A listed member: removed when it has no driver, reported and kept when it has one.
void RemoveIfDriverless(HDEVINFO hDevInfo, SP_DEVINFO_DATA* pDevInfoData, const char* pFirstId) {
    DWORD Required = 0;
    // One byte more than the platform is told of, so the name is always terminated.
    PBYTE pDriver = static_cast<PBYTE>(LocalAlloc(LPTR, DriverBufferSize + 1));
    if (pDriver == NULL) {
        TraceMsg("Malloc failed\n", 0, 0);
        return;
    }
    TraceMsg("Found! [%s]\n", pFirstId, 0);
    if (SetupDiGetDeviceRegistryPropertyA(hDevInfo, pDevInfoData, SPDRP_DRIVER, NULL, pDriver,
                                          DriverBufferSize, &Required)) {
        TraceMsg("Driver inf is %s!\n", reinterpret_cast<const char*>(pDriver), 0);
    } else {
        DWORD Error = GetLastError();
        if (Error == ERROR_INVALID_DATA) {
            if (SetupDiCallClassInstaller(DIF_REMOVE, hDevInfo, pDevInfoData))
                TraceMsg("SetupDiCallClassInstaller successful, line: %d\n", 1228, 0);
            else
                TraceMsg("Remove failed!\n", 0, 0);
        } else {
            TraceMsg("remove driver failed getlasterror is not  ERROR_INVALID_DATA, is %d, line: %d\n", Error,
                     1232);
        }
    }
    LocalFree(pDriver);
}

} // namespace

int RemoveDriverlessDevices() {
    DeviceWalk Walk;
    // A member that cannot be read is passed over in silence, so one vanished node hides no other ghost.
    return WalkListedDevices(RemoveIfDriverless, WalkSilent, &Walk);
}
