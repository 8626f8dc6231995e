#include "uninstall/uninstall.h"

#include "devices/devices.h"
#include "trace/trace.h"

void UninstallSteps(const char* pSysDir, const char* pSourceDir) {
    DWORD Found = 0;
    // Devices first: Windows keeps a store package that a device still uses.
    int DevicesSearched = RemoveListedDevices(&Found);
    int StoreSearched = RemoveStoreInfs(pSysDir, pSourceDir, &Found);
    // Other vendors' drivers are installed with the same co-installers and rely on them.
    TraceMsg("Co-installers kept: shared with other drivers\n", 0, 0);
    // Only a run that looked at every node and every store file may say there is nothing left.
    if (Found == 0 && DevicesSearched && StoreSearched)
        TraceMsg("Nothing to uninstall\n", 0, 0);
    RefreshDevNode();
}
