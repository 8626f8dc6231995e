/* The capture's one-line message for its caller, and the names of its tree methods. */
#include "capture/capture_internal.h"

#include <string.h>

void CaptureSay(Capture* pCapture, const char* pText, DWORD error) {
    pCapture->message[0] = 0;
    pCapture->error = error;
    CaptureSayMore(pCapture, pText);
}

void CaptureSayMore(Capture* pCapture, const char* pText) {
    size_t used = strlen(pCapture->message);
    size_t room = sizeof(pCapture->message) - 1 - used;
    size_t length = strlen(pText);

    if (length > room)
        length = room;
    memcpy(pCapture->message + used, pText, length);
    pCapture->message[used + length] = 0;
}

const char* CaptureMethodText(CaptureTreeMethod method) {
    switch (method) {
    case CAPTURE_TREE_JOB:
        return "job object";
    case CAPTURE_TREE_SNAPSHOTS:
        return "process snapshots";
    default:
        return "none";
    }
}
