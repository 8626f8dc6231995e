/* What the capture's own files share; callers use capture.h. */
#ifndef FENWARR_CAPTURE_INTERNAL_H
#define FENWARR_CAPTURE_INTERNAL_H

#include "capture/capture.h"

#ifdef __cplusplus
extern "C" {
#endif

/* message: the text, then ": " and more, cut to fit. */
void CaptureSay(Capture* pCapture, const char* pText, DWORD error);
void CaptureSayMore(Capture* pCapture, const char* pText);

/* The record writer. A failed write is remembered in outFailed/outError and stops further writing. */
void CaptureWriteRecord(Capture* pCapture, DWORD arrival, DWORD pid, const unsigned char* pText,
                        size_t length);
void CaptureFlush(Capture* pCapture);

/* The tree: TreeStart takes the suspended command's handle, which members[0] then owns; TreePoll answers
   whether the tree has ended (and notes the command's own end in rootEnded); TreeHolds whether PID is in
   it; TreeEnd closes what the tree kept. */
void CaptureTreeStart(Capture* pCapture, HANDLE root, DWORD pid);
int CaptureTreePoll(Capture* pCapture, DWORD now);
int CaptureTreeHolds(Capture* pCapture, DWORD pid);
void CaptureTreeEnd(Capture* pCapture);

#ifdef __cplusplus
}
#endif

#endif
