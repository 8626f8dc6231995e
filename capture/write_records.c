/* The record writer: one escaped line per string, buffered, a failed write remembered for the end. */
#include "capture/capture_internal.h"

void CaptureFlush(Capture* pCapture) {
    size_t done = 0;
    while (!pCapture->outFailed && done < pCapture->outUsed) {
        DWORD written = 0;
        if (!WriteFile(pCapture->output, pCapture->out + done, (DWORD)(pCapture->outUsed - done), &written,
                       NULL) ||
            written == 0) {
            pCapture->outFailed = 1;
            pCapture->outError = GetLastError();
            break;
        }
        done += written;
    }
    pCapture->outUsed = 0;
}

/* Writes VALUE in decimal followed by a TAB; returns the end. */
static char* PutNumber(char* p, unsigned long value) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = (char)('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        *p++ = digits[--n];
    *p++ = '\t';
    return p;
}

/* Worst case of one record: two numbers of 10 digits with their TABs, 4 bytes per input byte, the LF. */
void CaptureWriteRecord(Capture* pCapture, DWORD arrival, DWORD pid, const unsigned char* pText,
                        size_t length) {
    static const char hexDigits[] = "0123456789abcdef";
    char* p;
    size_t i;

    if (pCapture->outUsed + 32 + 4 * length > sizeof(pCapture->out))
        CaptureFlush(pCapture);
    p = pCapture->out + pCapture->outUsed;
    if (pCapture->flags & CAPTURE_TIME_COLUMN)
        p = PutNumber(p, arrival - pCapture->startTick);
    p = PutNumber(p, pid);
    for (i = 0; i < length; i++) {
        unsigned char c = pText[i];
        switch (c) {
        case '\\':
            *p++ = '\\';
            *p++ = '\\';
            break;
        case '\n':
            *p++ = '\\';
            *p++ = 'n';
            break;
        case '\r':
            *p++ = '\\';
            *p++ = 'r';
            break;
        case '\t':
            *p++ = '\\';
            *p++ = 't';
            break;
        default:
            if (c < 0x20 || c > 0x7e) {
                *p++ = '\\';
                *p++ = 'x';
                *p++ = hexDigits[c >> 4];
                *p++ = hexDigits[c & 15];
            } else {
                *p++ = (char)c;
            }
        }
    }
    *p++ = '\n';
    pCapture->outUsed = (size_t)(p - pCapture->out);
}
