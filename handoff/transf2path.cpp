#include "handoff/handoff.h"

#include "trace/trace.h"

int Transf2Path(char* pPathBuf) {
    if (pPathBuf == NULL) {
        TraceMsg("Transf2Path is null, line: %d", 451, 0);
        return 0;
    }
    char Temp[MAX_PATH];
    memset(Temp, 0, sizeof(Temp));

    // The scan never starts past the buffer, terminated or not, and never goes before its start.
    size_t Length = strnlen(pPathBuf, MAX_PATH - 1);
    size_t Index = Length;
    while (Index > 0 && pPathBuf[Index] != '\\')
        --Index;
    if (pPathBuf[Index] != '\\')
        return 0;

    pPathBuf[Index] = '\0';
    memcpy(Temp, pPathBuf, Index + 1);
    memset(pPathBuf, 0, MAX_PATH);
    memcpy(pPathBuf, Temp, Index + 1);
    return 1;
}
