#include "devices/devices.h"

#include "trace/trace.h"

void RefreshDevNode() {
    DEVINST RootNode = 0;
    if (CM_Locate_DevNode_ExA(&RootNode, NULL, CM_LOCATE_DEVNODE_NORMAL, NULL) != CR_SUCCESS) {
        TraceMsg("Get device node failed, return", 0, 0);
        return;
    }
    TraceMsg("Refresh device node", 0, 0);
    // Asynchronous on purpose: the run ends without waiting for Plug and Play.
    CM_Reenumerate_DevNode_Ex(RootNode, CM_REENUMERATE_NORMAL, NULL);
}
