/* A job's list of process ids, read for whether any of them still runs (job_list.h). */
#include "capture/job_list.h"

int CaptureJobListEnded(const uintptr_t* pIds, uint32_t listed, uint32_t assigned, uint32_t room,
                        CaptureAliveFn pAlive, void* pContext) {
    uint32_t i;

    if (assigned > room || listed > room)
        return 0;
    for (i = 0; i < listed; i++)
        if (pIds[i] != 0 && pIds[i] <= UINT32_MAX && pAlive(pContext, (uint32_t)pIds[i]))
            return 0;
    return 1;
}
