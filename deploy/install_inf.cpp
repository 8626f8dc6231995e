#include "deploy/deploy.h"

#include "paths/join_path.h"
#include "trace/trace.h"

int InstallInf(const char* pDir, const char* pFileName, char* pDestName) {
    int Result = 0;
    char* pFullName = NULL;
    char DestinationName[DestNameSize];
    memset(DestinationName, 0, sizeof(DestinationName));

    pFullName = static_cast<char*>(malloc(MAX_PATH));
    if (pFullName == NULL) {
        TraceMsg("Malloc for pFullName failed!\n", 0, 0);
        goto Cleanup;
    }
    if (!JoinPath(pFullName, pDir, pFileName)) {
        TraceMsg("Full name too long: %s\\%s\n", pDir, pFileName);
        goto Cleanup;
    }
    TraceMsg("Full name: %s\n", pFullName, 0);

    if (!SetupCopyOEMInfA(pFullName, pDir, SPOST_PATH, 0, DestinationName, sizeof(DestinationName), NULL,
                          NULL)) {
        DWORD Error = GetLastError();
        TraceMsg("SetupCopyOEMInf failed, error code: 0x%x\n", Error, 0);
        goto Cleanup;
    }
    // The platform's name is trusted only up to the buffer's end.
    DestinationName[sizeof(DestinationName) - 1] = '\0';
    TraceMsg("SetupCopyOEMInf success, destpath is %s\n", DestinationName, 0);
    if (pDestName != NULL)
        memcpy(pDestName, DestinationName, strlen(DestinationName) + 1);
    Result = 1;

Cleanup:
    if (pFullName != NULL)
        free(pFullName);
    return Result;
}
