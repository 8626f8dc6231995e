/* Reading a job object's list of process ids when its count and its port have not said it is empty. Plain C
   without Windows headers, so that the host's unit tests compile it as it ships. */
#ifndef FENWARR_CAPTURE_JOB_LIST_H
#define FENWARR_CAPTURE_JOB_LIST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Whether process PID still runs; pContext is the caller's. */
typedef int (*CaptureAliveFn)(void* pContext, uint32_t pid);

/* Whether the job's list shows no process that still runs. pIds holds `listed` ids in `room` slots, and the
   job said it has `assigned` processes. The list alone cannot say so when it is cut (more assigned than there
   is room for); ids of 0 name no process (a list padded out to a count the job kept for a process that never
   ran). */
int CaptureJobListEnded(const uintptr_t* pIds, uint32_t listed, uint32_t assigned, uint32_t room,
                        CaptureAliveFn pAlive, void* pContext);

#ifdef __cplusplus
}
#endif

#endif
